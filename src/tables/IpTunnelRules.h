// Rules shared by the four table utilities of the software IP tunnel table: the two that write
// tunnel entries under the key's outlif (EedbIpTunnelUtil: IPv4 raw, IPv4 UDP, IPv6 UDP;
// EedbIpTunnelNonAiUtil: IPv6 raw) and the two that write the IPv6 DIP data entry under the key's
// dipOutlif (EedbIpv6TunnelDipUtil: IPv6 UDP; EedbIpv6TunnelDipNonAiUtil: IPv6 raw). Each table
// file adds its names and its view map.
//
// An IPv6 tunnel entry carries no destination address: its next pointer is dipOutlif, where the
// DIP data entry holds the address and the log entry's own next pointer.
#pragma once

#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbIpTunnel.h"

namespace chip26_a0::ZuriErrmUtil {

using Ipv4TunnelRaw = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry;
using Ipv4TunnelUdp = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry;
using Ipv6TunnelUdp = EedbHwMdb::EedbIpv6TunnelEtpsIpv6TunnelUdp150Entry;
using Ipv6TunnelRaw = EedbHwMdb::EedbIpv6TunnelEtpsIpv6TunnelRaw150Entry;
using Ipv6DataDip = EedbHwMdb::EedbIpv6DataDipEtpsDataIpv6Dip150Entry;

template <class Derived>
using IpTunnelTableUtil = eedb::MdbTableUtil<Derived, ZuriErrm::EedbIpTunnelLogEntryWrapper,
                                             ZuriErrm::EedbIpTunnelConstants>;

// Tunnel entries, under the key's outlif.
template <class Derived>
class IpTunnelUtilBase : public IpTunnelTableUtil<Derived> {
 public:
  using LogEntry = ZuriErrm::EedbIpTunnelLogEntry;
  using IpTunnelTableUtil<Derived>::IpTunnelTableUtil;

  static std::uint32_t swKeyValue(LogEntry const& sw) { return sw.key().outlif(); }

  // The one field the translator owns.
  template <class Format>
  void setTranslatorFields(Format& hw, LogEntry const& sw) const {
    hw.sourceIdxIs(sw.sourceIdx());
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv4TunnelRaw& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpIpIs(eedb::lowBits<U2>(sw.lifAhp().value()));
    hw.ipv4HeaderDfFlagIs(sw.ipv4HeaderDfFlag());
    hw.ipv4HeaderReservedFlagIs(sw.ipv4HeaderReservedFlag());
    hw.ipv4DipIs(eedb::ipv4Number(sw.dip()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv4TunnelUdp& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpUdpIs(sw.lifAhp());
    hw.fodoIs(sw.fodo());
    hw.forwardQosModelIs(sw.forwardQosModel());
    hw.nextOutlifPointerIs(sw.nextOutlifPointer());
    hw.ipv4HeaderDfFlagIs(sw.ipv4HeaderDfFlag());
    hw.ipv4HeaderReservedFlagIs(sw.ipv4HeaderReservedFlag());
    hw.ipv4DipIs(eedb::ipv4Number(sw.dip()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv6TunnelUdp& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpUdpIs(sw.lifAhp());
    hw.fodoIs(sw.fodo());
    hw.forwardQosModelIs(sw.forwardQosModel());
    hw.nextOutlifPointerIs(U20(sw.key().dipOutlif()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv6TunnelRaw& hw) const {
    setSharedFields(sw, hw);
    hw.sourceIdxIs(sw.sourceIdx());
    hw.lifAhpIpIs(eedb::lowBits<U2>(sw.lifAhp().value()));
    hw.fodoIs(sw.fodo());
    hw.forwardQosModelIs(sw.forwardQosModel());
    hw.nextOutlifPointerIs(U20(sw.key().dipOutlif()));
  }

 private:
  // Copied into every tunnel format, and its statistics object.
  template <class Format>
  static void setSharedFields(LogEntry const& sw, Format& hw) {
    hw.esemCommandIs(sw.esemCommand());
    hw.actionProfileIs(sw.actionProfile());
    hw.nwkQosIdxIs(sw.nwkQosIdx());
    hw.encapQosModelIs(sw.encapQosModel());
    hw.ttlDecrementDisableIs(sw.ttlDecrementDisable());
    hw.ttlModeIs(sw.ttlMode());
    hw.remarkProfileIs(sw.remarkProfile());
    hw.mtuProfileIs(sw.mtuProfile());
    hw.ttlPipeProfileIs(sw.ttlPipeProfile());
    eedb::applyStatObject(hw, sw.statObjectId());
  }
};

// IPv6 DIP data entries, under the key's dipOutlif.
template <class Derived>
class Ipv6TunnelDipUtilBase : public IpTunnelTableUtil<Derived> {
 public:
  using LogEntry = ZuriErrm::EedbIpTunnelLogEntry;
  using IpTunnelTableUtil<Derived>::IpTunnelTableUtil;

  static std::uint32_t swKeyValue(LogEntry const& sw) { return sw.key().dipOutlif(); }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv6DataDip& hw) const {
    hw.ipv6DipIs(eedb::bitmapOf128(sw.dip().v6Addr()));
    hw.dataEntry2BReservedIs(U2(3));
    hw.nextOutlifPointerIs(sw.nextOutlifPointer());
  }
};

}  // namespace chip26_a0::ZuriErrmUtil
