// IP tunnel entries of the IPv6 raw kind (3).
#include "tables/IpTunnelRules.h"

namespace chip26_a0::ZuriErrmUtil {

class EedbIpTunnelNonAiUtil final : public IpTunnelUtilBase<EedbIpTunnelNonAiUtil> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbIpTunnelNonAiUtil";
  using Views = eedb::ViewMap<eedb::ownKey, eedb::View<3, Ipv6TunnelRaw, eedb::fieldsAndHook>>;

  using IpTunnelUtilBase::IpTunnelUtilBase;
};

EEDB_TABLE_UTIL(EedbIpTunnelNonAiUtil, eedbIpTunnelNonAiUtilFactory, eedbIpTunnelNonAiUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
