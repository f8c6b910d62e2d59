// ZuriErrmArp::EedbArpTable*: the software ARP table (next-hop link-layer encapsulations): its key,
// log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrmArp {

using EedbArpTableEntryKey = ZuriErrm::detail::ScalarKey<struct EedbArpTableKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_ARP_TABLE_FIELDS(FIELD)                                       \
  FIELD(EedbArpTableEntryKey, key) /* Low 20 bits are the hardware key. */ \
  FIELD(std::uint32_t, statObjectId)                                       \
  FIELD(std::uint16_t, vlanEditVid1)                                       \
  FIELD(std::uint16_t, fodo)                                               \
  FIELD(Plexo::EthAddr, l2Mac)                                             \
  FIELD(std::uint8_t, viewType) /* 1 to 5 select the format. */            \
  FIELD(std::uint8_t, actionProfile)                                       \
  FIELD(std::uint8_t, egressLastLayer)                                     \
  FIELD(std::uint8_t, statObjectCmd)                                       \
  FIELD(std::uint8_t, vlanEditProfile)                                     \
  FIELD(std::uint8_t, mtuProfile)

class EedbArpTableLogEntry {
 public:
  bool operator==(EedbArpTableLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbArpTableLogEntry, EEDB_ARP_TABLE_FIELDS)
};

using EedbArpTableLogFlumeEntry = ZuriErrm::LogFlumeEntry<EedbArpTableLogEntry>;

class EedbArpTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public ZuriErrm::detail::WrapperData<EedbArpTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbArpTableLogEntryWrapper() override;
};

struct EedbArpTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03011001};
};

}  // namespace ZuriErrmArp

template <>
struct ZuriErrm::Fields<ZuriErrmArp::EedbArpTableLogEntry> {
  static constexpr std::string_view table = "EedbArpTable";
  static constexpr auto list = ZuriErrmArp::EedbArpTableLogEntry::fieldList();
};
