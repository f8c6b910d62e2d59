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

using namespace eedb::rules;
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

  // The one field the translator owns, in every format.
  template <class Format>
  void setTranslatorFields(Format& hw, LogEntry const& sw) const {
    hw.sourceIdxIs(copy(sw.sourceIdx()));
  }

  // ---- Ipv4TunnelRaw (view 0): carries its destination, no next pointer ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv4TunnelRaw& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpIpIs(cut<U2>(sw.lifAhp()));
    hw.ipv4HeaderDfFlagIs(copy(sw.ipv4HeaderDfFlag()));
    hw.ipv4HeaderReservedFlagIs(copy(sw.ipv4HeaderReservedFlag()));
    hw.ipv4DipIs(ipv4Number(sw.dip()));
  }

  // ---- Ipv4TunnelUdp (view 1) ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv4TunnelUdp& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpUdpIs(copy(sw.lifAhp()));
    hw.fodoIs(copy(sw.fodo()));
    hw.forwardQosModelIs(copy(sw.forwardQosModel()));
    hw.nextOutlifPointerIs(copy(sw.nextOutlifPointer()));
    hw.ipv4HeaderDfFlagIs(copy(sw.ipv4HeaderDfFlag()));
    hw.ipv4HeaderReservedFlagIs(copy(sw.ipv4HeaderReservedFlag()));
    hw.ipv4DipIs(ipv4Number(sw.dip()));
  }

  // ---- Ipv6TunnelUdp (view 2): points to its DIP data entry ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv6TunnelUdp& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpUdpIs(copy(sw.lifAhp()));
    hw.fodoIs(copy(sw.fodo()));
    hw.forwardQosModelIs(copy(sw.forwardQosModel()));
    hw.nextOutlifPointerIs(bounded<U20>(sw.key().dipOutlif()));
  }

  // ---- Ipv6TunnelRaw (view 3): points to its DIP data entry ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv6TunnelRaw& hw) const {
    setSharedFields(sw, hw);
    hw.lifAhpIpIs(cut<U2>(sw.lifAhp()));
    hw.fodoIs(copy(sw.fodo()));
    hw.forwardQosModelIs(copy(sw.forwardQosModel()));
    hw.nextOutlifPointerIs(bounded<U20>(sw.key().dipOutlif()));
  }

 private:
  // Copied into every tunnel format, and its statistics object.
  template <class Format>
  static void setSharedFields(LogEntry const& sw, Format& hw) {
    hw.esemCommandIs(copy(sw.esemCommand()));
    hw.actionProfileIs(copy(sw.actionProfile()));
    hw.nwkQosIdxIs(copy(sw.nwkQosIdx()));
    hw.encapQosModelIs(copy(sw.encapQosModel()));
    hw.ttlDecrementDisableIs(copy(sw.ttlDecrementDisable()));
    hw.ttlModeIs(copy(sw.ttlMode()));
    hw.remarkProfileIs(copy(sw.remarkProfile()));
    hw.mtuProfileIs(copy(sw.mtuProfile()));
    hw.ttlPipeProfileIs(copy(sw.ttlPipeProfile()));
    applyStatObject(hw, sw.statObjectId());
  }
};

// IPv6 DIP data entries, under the key's dipOutlif.
template <class Derived>
class Ipv6TunnelDipUtilBase : public IpTunnelTableUtil<Derived> {
 public:
  using LogEntry = ZuriErrm::EedbIpTunnelLogEntry;
  using IpTunnelTableUtil<Derived>::IpTunnelTableUtil;

  static std::uint32_t swKeyValue(LogEntry const& sw) { return sw.key().dipOutlif(); }

  // ---- Ipv6DataDip (views 2 and 3): the destination address and the next pointer ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv6DataDip& hw) const {
    hw.ipv6DipIs(bitmapOf128(sw.dip().v6Addr()));
    hw.dataEntry2BReservedIs(fixed<U2, 3>);
    hw.nextOutlifPointerIs(copy(sw.nextOutlifPointer()));
  }
};

}  // namespace chip26_a0::ZuriErrmUtil
