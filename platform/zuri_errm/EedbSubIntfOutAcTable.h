// ZuriErrm::EedbSubIntfOutAcTable*: the software sub-interface out-AC table (egress VLAN tags of
// sub-interfaces): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbSubIntfOutAcTableEntryKey =
    detail::ScalarKey<struct EedbSubIntfOutAcTableKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_SUB_INTF_OUT_AC_TABLE_FIELDS(FIELD)                                    \
  FIELD(EedbSubIntfOutAcTableEntryKey, key) /* Low 20 bits are the hardware key. */ \
  FIELD(std::uint16_t, vlanEditVid1)                                                \
  FIELD(std::uint16_t, vlanEditVid2)                                                \
  FIELD(std::uint8_t, viewType) /* 1: the out-AC view. */                           \
  FIELD(std::uint8_t, egressLastLayer)                                              \
  FIELD(std::uint8_t, vlanEditProfile)

class EedbSubIntfOutAcTableLogEntry {
 public:
  bool operator==(EedbSubIntfOutAcTableLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbSubIntfOutAcTableLogEntry, EEDB_SUB_INTF_OUT_AC_TABLE_FIELDS)
};

using EedbSubIntfOutAcTableLogFlumeEntry = LogFlumeEntry<EedbSubIntfOutAcTableLogEntry>;

class EedbSubIntfOutAcTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbSubIntfOutAcTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbSubIntfOutAcTableLogEntryWrapper() override;
};

struct EedbSubIntfOutAcTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0B};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbSubIntfOutAcTableLogEntry> {
  static constexpr std::string_view table = "EedbSubIntfOutAcTable";
  static constexpr auto list = ZuriErrm::EedbSubIntfOutAcTableLogEntry::fieldList();
};
