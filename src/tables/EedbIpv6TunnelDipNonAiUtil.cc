// IPv6 DIP data entries of IPv6 tunnels without UDP (3).
#include "tables/IpTunnelRules.h"

namespace chip26_a0::ZuriErrmUtil {

class EedbIpv6TunnelDipNonAiUtil final : public Ipv6TunnelDipUtilBase<EedbIpv6TunnelDipNonAiUtil> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipNonAiUtil";
  using Views = eedb::ViewMap<eedb::ownKey, eedb::View<3, Ipv6DataDip, eedb::hook>>;

  using Ipv6TunnelDipUtilBase::Ipv6TunnelDipUtilBase;
};

EEDB_TABLE_UTIL(EedbIpv6TunnelDipNonAiUtil, eedbIpv6TunnelDipNonAiUtilFactory,
                eedbIpv6TunnelDipNonAiUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
