// VXLAN tunnel table: IPv4 VXLAN tunnels (view 0). The translator copies the profiles and the
// destination address; the hook sets the constants of a VXLAN encapsulation and the next out-LIF.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbVxlanTunnel.h"

namespace chip26_a0::ZuriErrmUtil {

using Ipv4TunnelVxlan = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry;

class EedbVxlanTunnelUtil final
    : public eedb::MdbTableUtil<EedbVxlanTunnelUtil, ZuriErrm::EedbVxlanTunnelLogEntryWrapper,
                                ZuriErrm::EedbVxlanTunnelConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbVxlanTunnelUtil";
  using Views = eedb::ViewMap<eedb::View<0, Ipv4TunnelVxlan>>;

  using TableUtil::TableUtil;

  void setTranslatorFields(Ipv4TunnelVxlan& hw, LogEntry const& sw) const {
    hw.esemNameSpaceIs(sw.esemNameSpace());
    hw.outLifProfileIs(sw.outLifProfile());
    hw.ttlPipeProfileIs(sw.ttlPipeProfile());
    hw.nwkQosIdxIs(sw.nwkQosIdx());
    hw.sourceIdxIs(sw.sourceIdx());
    hw.ipv4DipIs(eedb::ipv4Number(sw.dip()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv4TunnelVxlan& hw) const {
    hw.esemCommandIs(U3(1));
    hw.ttlModeIs(U1(1));
    hw.ipv4HeaderDfFlagIs(U1(1));
    Hardware::Zuri::Outlif const next = sw.nextOutlif();
    hw.nextOutlifPointerIs(next.valid() ? eedb::lowBits<U20>(next.value()) : U20(0));
  }
};

EEDB_TABLE_UTIL(EedbVxlanTunnelUtil, eedbVxlanTunnelUtilFactory, eedbVxlanTunnelUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
