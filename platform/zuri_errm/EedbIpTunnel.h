// ZuriErrm::EedbIpTunnel*: the software IP tunnel table (IPv4 and IPv6 tunnels, with or without
// UDP): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "hardware/FieldTypes.h"
#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

// The fields of the key, in storage order (see EEDB_SW_RECORD).
#define EEDB_IP_TUNNEL_KEY_FIELDS(FIELD)                             \
  FIELD(std::uint32_t, outlif)    /* Out-LIF of the tunnel entry. */ \
  FIELD(std::uint32_t, dipOutlif) /* Out-LIF of the IPv6 DIP data entry. */

class EedbIpTunnelEntryKey {
 public:
  constexpr EedbIpTunnelEntryKey() noexcept = default;
  constexpr EedbIpTunnelEntryKey(std::uint32_t outlif, std::uint32_t dipOutlif) noexcept
      : outlif_(outlif), dipOutlif_(dipOutlif) {}

  constexpr auto operator<=>(EedbIpTunnelEntryKey const&) const noexcept = default;

  EEDB_SW_RECORD(EedbIpTunnelEntryKey, EEDB_IP_TUNNEL_KEY_FIELDS)
};

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_IP_TUNNEL_FIELDS(FIELD)                                              \
  FIELD(std::uint32_t, reserved1) /* Not used by the EEDB. */                     \
  FIELD(std::uint32_t, statObjectId)                                              \
  FIELD(U4, lifAhp)                                                               \
  FIELD(U20, nextOutlifPointer)                                                   \
  FIELD(EedbIpTunnelEntryKey, key)                                                \
  FIELD(U10, fodo)                                                                \
  FIELD(std::uint8_t, viewType) /* 0 ipv4Raw, 1 ipv4Udp, 2 ipv6Udp, 3 ipv6Raw. */ \
  FIELD(U6, esemCommand)                                                          \
  FIELD(U2, actionProfile)                                                        \
  FIELD(U6, nwkQosIdx)                                                            \
  FIELD(U3, encapQosModel)                                                        \
  FIELD(U1, ttlDecrementDisable)                                                  \
  FIELD(U1, ttlMode)                                                              \
  FIELD(U1, ipv4HeaderDfFlag)                                                     \
  FIELD(U1, ipv4HeaderReservedFlag)                                               \
  FIELD(Plexo::IpGenAddr, dip) /* Tunnel destination, IPv4 or IPv6. */            \
  FIELD(U5, remarkProfile)                                                        \
  FIELD(U4, mtuProfile)                                                           \
  FIELD(std::uint8_t, sourceIdx)                                                  \
  FIELD(U4, ttlPipeProfile)                                                       \
  FIELD(U1, forwardQosModel)

class EedbIpTunnelLogEntry {
 public:
  bool operator==(EedbIpTunnelLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbIpTunnelLogEntry, EEDB_IP_TUNNEL_FIELDS)
};

using EedbIpTunnelLogFlumeEntry = LogFlumeEntry<EedbIpTunnelLogEntry>;

class EedbIpTunnelLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                          public detail::WrapperData<EedbIpTunnelLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbIpTunnelLogEntryWrapper() override;
};

struct EedbIpTunnelConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C04};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbIpTunnelLogEntry> {
  static constexpr std::string_view table = "EedbIpTunnel";
  static constexpr auto list = ZuriErrm::EedbIpTunnelLogEntry::fieldList();
};
