// VXLAN tunnel table: IPv4 VXLAN tunnels (view 0). The translator copies the profiles and the
// destination address; the hook sets the constants of a VXLAN encapsulation and the next out-LIF.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbVxlanTunnel.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using Ipv4TunnelVxlan = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry;

class EedbVxlanTunnelUtil final
    : public eedb::MdbTableUtil<EedbVxlanTunnelUtil, ZuriErrm::EedbVxlanTunnelLogEntryWrapper,
                                ZuriErrm::EedbVxlanTunnelConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbVxlanTunnelUtil";
  using Views = eedb::ViewMap<eedb::logKey, eedb::View<0, Ipv4TunnelVxlan, eedb::fieldsAndHook>>;

  using TableUtil::TableUtil;

  // ---- Ipv4TunnelVxlan (view 0) ----
  void setTranslatorFields(Ipv4TunnelVxlan& hw, LogEntry const& sw) const {
    hw.esemNameSpaceIs(copy(sw.esemNameSpace()));
    hw.outLifProfileIs(copy(sw.outLifProfile()));
    hw.ttlPipeProfileIs(copy(sw.ttlPipeProfile()));
    hw.nwkQosIdxIs(copy(sw.nwkQosIdx()));
    hw.sourceIdxIs(copy(sw.sourceIdx()));
    hw.ipv4DipIs(ipv4Number(sw.dip()));
  }
  // The constants of a VXLAN encapsulation; an invalid next out-LIF points nowhere (0).
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Ipv4TunnelVxlan& hw) const {
    hw.esemCommandIs(fixed<U3, 1>);
    hw.ttlModeIs(fixed<U1, 1>);
    hw.ipv4HeaderDfFlagIs(fixed<U1, 1>);
    Hardware::Zuri::Outlif const next = sw.nextOutlif();
    hw.nextOutlifPointerIs(next.valid() ? cut<U20>(next.value()) : U20());
  }
};

EEDB_TABLE_UTIL(EedbVxlanTunnelUtil, eedbVxlanTunnelUtilFactory, eedbVxlanTunnelUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
