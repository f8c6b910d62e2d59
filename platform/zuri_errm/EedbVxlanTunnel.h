// ZuriErrm::EedbVxlanTunnel*: the software VXLAN tunnel table: its key, log entry, log Flume entry,
// wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "hardware/FapRevision.h"
#include "hardware/FieldTypes.h"
#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbVxlanTunnelEntryKey = detail::ScalarKey<struct EedbVxlanTunnelKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_VXLAN_TUNNEL_FIELDS(FIELD)                                     \
  FIELD(EedbVxlanTunnelEntryKey, key)                                       \
  FIELD(Hardware::Zuri::Outlif, nextOutlif) /* Not valid: no next entry. */ \
  FIELD(std::uint8_t, viewType)             /* 0: IPv4 VXLAN tunnel. */     \
  FIELD(Plexo::IpGenAddr, dip)                                              \
  FIELD(U4, esemNameSpace)                                                  \
  FIELD(U3, outLifProfile)                                                  \
  FIELD(std::uint8_t, sourceIdx)                                            \
  FIELD(U4, ttlPipeProfile)                                                 \
  FIELD(U6, nwkQosIdx)

class EedbVxlanTunnelLogEntry {
 public:
  bool operator==(EedbVxlanTunnelLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbVxlanTunnelLogEntry, EEDB_VXLAN_TUNNEL_FIELDS)
};

using EedbVxlanTunnelLogFlumeEntry = LogFlumeEntry<EedbVxlanTunnelLogEntry>;

class EedbVxlanTunnelLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbVxlanTunnelLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbVxlanTunnelLogEntryWrapper() override;
};

struct EedbVxlanTunnelConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0D};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbVxlanTunnelLogEntry> {
  static constexpr std::string_view table = "EedbVxlanTunnel";
  static constexpr auto list = ZuriErrm::EedbVxlanTunnelLogEntry::fieldList();
};
