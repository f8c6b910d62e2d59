// Direct table EedbAgMemTlm: one bit per entry, under the 16-bit software key. Every entry that
// passes the FAP mask filter is taken; there is no view.
#include "chip26_a0/EedbHwDirect.h"
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbAgMemTlm.h"

namespace chip26_a0::ZuriErrmUtil {

class EedbAgMemTlmUtil final : public eedb::DirectTableUtil<EedbAgMemTlmUtil, EedbAgMemTlmHwDirect,
                                                            ZuriErrm::EedbAgMemTlmLogEntryWrapper,
                                                            ZuriErrm::EedbAgMemTlmConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbAgMemTlmUtil";

  using TableUtil::TableUtil;

  // ---- the one-bit entry ----
  static void fillEntry(Entry& hw, LogEntry const& sw) {
    hw.agFieldTlmIs(eedb::bounded<U1>(sw.agFieldTlm()));
  }
};

EEDB_TABLE_UTIL(EedbAgMemTlmUtil, eedbAgMemTlmUtilFactory, eedbAgMemTlmUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
