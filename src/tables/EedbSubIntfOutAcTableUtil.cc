// Sub-interface out-AC table: the VLAN edit of a sub-interface (view 1). The key is the low 20
// bits of the software key, mapped without the key guard; the translator sets every field by
// checked cast and no hook runs.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbSubIntfOutAcTable.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using OutAc3TagStat120 = EedbHwMdb::EedbOutAcEtpsAc3TagStat120Entry;

class EedbSubIntfOutAcTableUtil final
    : public eedb::MdbTableUtil<EedbSubIntfOutAcTableUtil,
                                ZuriErrm::EedbSubIntfOutAcTableLogEntryWrapper,
                                ZuriErrm::EedbSubIntfOutAcTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbSubIntfOutAcTableUtil";
  using Views = eedb::ViewMap<eedb::hookKey, eedb::View<1, OutAc3TagStat120, eedb::fields>>;

  using TableUtil::TableUtil;

  // ---- OutAc3TagStat120 (view 1) ----
  void setTranslatorFields(OutAc3TagStat120& hw, LogEntry const& sw) const { setVlanEdit(hw, sw); }
};

EEDB_TABLE_UTIL(EedbSubIntfOutAcTableUtil, eedbSubIntfOutAcTableUtilFactory,
                eedbSubIntfOutAcTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
