// Statistics table: statistics-only entries (view 1) carrying a statistics object and the
// pointer to the next out-LIF.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbStatTable.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using Stat90 = EedbHwMdb::EedbStatEtpsOnlyStat90Entry;

class EedbStatTableUtil final
    : public eedb::MdbTableUtil<EedbStatTableUtil, ZuriErrm::EedbStatTableLogEntryWrapper,
                                ZuriErrm::EedbStatTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbStatTableUtil";
  using Views = eedb::ViewMap<eedb::logKey, eedb::View<1, Stat90, eedb::fieldsAndHook>>;

  using TableUtil::TableUtil;

  // ---- Stat90 (view 1) ----
  void setTranslatorFields(Stat90& hw, LogEntry const& sw) const {
    hw.nextOutlifPointerIs(checked<U20>(sw.nextOutlifPointer()));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Stat90& hw) const {
    applyStatObject(hw, sw.statObjectId());
  }
};

EEDB_TABLE_UTIL(EedbStatTableUtil, eedbStatTableUtilFactory, eedbStatTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
