// IPv6 DIP data entries of IPv6 tunnels over UDP (2).
#include "tables/IpTunnelRules.h"

namespace chip26_a0::ZuriErrmUtil {

class EedbIpv6TunnelDipUtil final : public Ipv6TunnelDipUtilBase<EedbIpv6TunnelDipUtil> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipUtil";
  using Views = eedb::ViewMap<eedb::ownKey, eedb::View<2, Ipv6DataDip, eedb::hook>>;

  using Ipv6TunnelDipUtilBase::Ipv6TunnelDipUtilBase;
};

EEDB_TABLE_UTIL(EedbIpv6TunnelDipUtil, eedbIpv6TunnelDipUtilFactory, eedbIpv6TunnelDipUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
