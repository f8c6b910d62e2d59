// ZuriErrm::EedbStatTable*: the software statistics table (statistics-only encapsulation entries):
// its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbStatTableEntryKey = detail::ScalarKey<struct EedbStatTableKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_STAT_TABLE_FIELDS(FIELD)                             \
  FIELD(EedbStatTableEntryKey, key)                               \
  FIELD(std::uint32_t, nextOutlifPointer) /* Low 20 bits used. */ \
  FIELD(std::uint32_t, statObjectId)                              \
  FIELD(std::uint8_t, viewType) /* 1: the statistics view. */

class EedbStatTableLogEntry {
 public:
  bool operator==(EedbStatTableLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbStatTableLogEntry, EEDB_STAT_TABLE_FIELDS)
};

using EedbStatTableLogFlumeEntry = LogFlumeEntry<EedbStatTableLogEntry>;

class EedbStatTableLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                           public detail::WrapperData<EedbStatTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbStatTableLogEntryWrapper() override;
};

struct EedbStatTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0A};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbStatTableLogEntry> {
  static constexpr std::string_view table = "EedbStatTable";
  static constexpr auto list = ZuriErrm::EedbStatTableLogEntry::fieldList();
};
