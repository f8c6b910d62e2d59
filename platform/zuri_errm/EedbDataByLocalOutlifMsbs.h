// ZuriErrm::EedbDataByLocalOutlifMsbs*: the software DataByLocalOutlifMsbs table (a direct EEDB
// table of one bit per key): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbDataByLocalOutlifMsbsEntryKey =
    detail::ScalarKey<struct EedbDataByLocalOutlifMsbsKeyTag, std::uint16_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_DATA_BY_LOCAL_OUTLIF_MSBS_FIELDS(FIELD) \
  FIELD(EedbDataByLocalOutlifMsbsEntryKey, key)      \
  FIELD(std::uint8_t, eesIsDataEntryapped) /* 0 or 1. */

class EedbDataByLocalOutlifMsbsLogEntry {
 public:
  bool operator==(EedbDataByLocalOutlifMsbsLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbDataByLocalOutlifMsbsLogEntry, EEDB_DATA_BY_LOCAL_OUTLIF_MSBS_FIELDS)
};

using EedbDataByLocalOutlifMsbsLogFlumeEntry = LogFlumeEntry<EedbDataByLocalOutlifMsbsLogEntry>;

class EedbDataByLocalOutlifMsbsLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbDataByLocalOutlifMsbsLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbDataByLocalOutlifMsbsLogEntryWrapper() override;
};

struct EedbDataByLocalOutlifMsbsConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C03};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbDataByLocalOutlifMsbsLogEntry> {
  static constexpr std::string_view table = "EedbDataByLocalOutlifMsbs";
  static constexpr auto list = ZuriErrm::EedbDataByLocalOutlifMsbsLogEntry::fieldList();
};
