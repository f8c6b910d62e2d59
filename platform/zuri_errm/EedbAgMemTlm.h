// ZuriErrm::EedbAgMemTlm*: the software AgMemTlm table (a direct EEDB table of one bit per key):
// its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbAgMemTlmEntryKey = detail::ScalarKey<struct EedbAgMemTlmKeyTag, std::uint16_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_AG_MEM_TLM_FIELDS(FIELD) \
  FIELD(EedbAgMemTlmEntryKey, key)    \
  FIELD(std::uint8_t, agFieldTlm) /* 0 or 1. */

class EedbAgMemTlmLogEntry {
 public:
  bool operator==(EedbAgMemTlmLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbAgMemTlmLogEntry, EEDB_AG_MEM_TLM_FIELDS)
};

using EedbAgMemTlmLogFlumeEntry = LogFlumeEntry<EedbAgMemTlmLogEntry>;

class EedbAgMemTlmLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                          public detail::WrapperData<EedbAgMemTlmLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbAgMemTlmLogEntryWrapper() override;
};

struct EedbAgMemTlmConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C01};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbAgMemTlmLogEntry> {
  static constexpr std::string_view table = "EedbAgMemTlm";
  static constexpr auto list = ZuriErrm::EedbAgMemTlmLogEntry::fieldList();
};
