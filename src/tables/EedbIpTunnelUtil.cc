// IP tunnel entries of the IPv4 raw (0), IPv4 UDP (1) and IPv6 UDP (2) kinds.
#include "tables/IpTunnelRules.h"

namespace chip26_a0::ZuriErrmUtil {

class EedbIpTunnelUtil final : public IpTunnelUtilBase<EedbIpTunnelUtil> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbIpTunnelUtil";
  using Views = eedb::ViewMap<eedb::ownKey, eedb::View<0, Ipv4TunnelRaw, eedb::fieldsAndHook>,
                              eedb::View<1, Ipv4TunnelUdp, eedb::fieldsAndHook>,
                              eedb::View<2, Ipv6TunnelUdp, eedb::fieldsAndHook>>;

  using IpTunnelUtilBase::IpTunnelUtilBase;
};

EEDB_TABLE_UTIL(EedbIpTunnelUtil, eedbIpTunnelUtilFactory, eedbIpTunnelUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
