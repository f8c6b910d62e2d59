// ZuriErrm::EedbTapAggTable*: the software TAP aggregation table (VLAN edits and MAC rewrites per
// out-LIF): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbTapAggTableEntryKey = detail::ScalarKey<struct EedbTapAggTableKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_TAP_AGG_TABLE_FIELDS(FIELD)                                      \
  FIELD(EedbTapAggTableEntryKey, key) /* Low 20 bits are the hardware key. */ \
  FIELD(std::uint32_t, nextOutlifPointer)                                     \
  FIELD(std::uint16_t, vlanEditVid1)                                          \
  FIELD(std::uint16_t, vlanEditVid2)                                          \
  FIELD(std::uint16_t, reserved1) /* Not used by the EEDB. */                 \
  FIELD(Plexo::EthAddr, destMac)                                              \
  FIELD(Plexo::EthAddr, srcMac)                                               \
  FIELD(std::uint8_t, viewType) /* 1 to 4 select the format. */               \
  FIELD(std::uint8_t, egressLastLayer)                                        \
  FIELD(std::uint8_t, vlanEditProfile)

class EedbTapAggTableLogEntry {
 public:
  bool operator==(EedbTapAggTableLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbTapAggTableLogEntry, EEDB_TAP_AGG_TABLE_FIELDS)
};

using EedbTapAggTableLogFlumeEntry = LogFlumeEntry<EedbTapAggTableLogEntry>;

class EedbTapAggTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbTapAggTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbTapAggTableLogEntryWrapper() override;
};

struct EedbTapAggTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0C};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbTapAggTableLogEntry> {
  static constexpr std::string_view table = "EedbTapAggTable";
  static constexpr auto list = ZuriErrm::EedbTapAggTableLogEntry::fieldList();
};
