// ZuriErrm::EedbOutrif*: the software Out-RIF table (egress router interfaces): its key, log entry,
// log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbOutrifEntryKey = detail::ScalarKey<struct EedbOutrifKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_OUTRIF_FIELDS(FIELD)                                        \
  FIELD(EedbOutrifEntryKey, key)                                         \
  FIELD(std::uint16_t, fodo)    /* Low 15 bits used. */                  \
  FIELD(std::uint8_t, viewType) /* 1: the Out-RIF view; others: none. */ \
  FIELD(std::uint8_t, forwardQosModel)                                   \
  FIELD(std::uint8_t, remarkProfile)                                     \
  FIELD(std::uint8_t, mtuProfile)

class EedbOutrifLogEntry {
 public:
  bool operator==(EedbOutrifLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbOutrifLogEntry, EEDB_OUTRIF_FIELDS)
};

using EedbOutrifLogFlumeEntry = LogFlumeEntry<EedbOutrifLogEntry>;

class EedbOutrifLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                        public detail::WrapperData<EedbOutrifLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbOutrifLogEntryWrapper() override;
};

struct EedbOutrifConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C07};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbOutrifLogEntry> {
  static constexpr std::string_view table = "EedbOutrif";
  static constexpr auto list = ZuriErrm::EedbOutrifLogEntry::fieldList();
};
