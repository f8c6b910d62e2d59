// TAP aggregation table: a VLAN edit of up to two tags (view 1, and view 2 with a next out-LIF)
// or a rewrite of the destination MAC (view 3, and view 4 with the source MAC). The key is the
// low 20 bits of the software key, mapped without the key guard. The out-AC views are set by the
// translator alone; only the MAC views run a hook.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbTapAggTable.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using OutAc3TagStat120 = EedbHwMdb::EedbOutAcEtpsAc3TagStat120Entry;
using OutAc3TagStat150 = EedbHwMdb::EedbOutAcEtpsAc3TagStat150Entry;
using TapaggDest = EedbHwMdb::EedbArpEtpsArpAcTapaggDest120Entry;
using TapaggDestAndSrc = EedbHwMdb::EedbArpEtpsArpAcTapaggDestAndSrc120Entry;

class EedbTapAggTableUtil final
    : public eedb::MdbTableUtil<EedbTapAggTableUtil, ZuriErrm::EedbTapAggTableLogEntryWrapper,
                                ZuriErrm::EedbTapAggTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbTapAggTableUtil";
  using Views = eedb::ViewMap<eedb::hookKey, eedb::View<1, OutAc3TagStat120, eedb::fields>,
                              eedb::View<2, OutAc3TagStat150, eedb::fields>,
                              eedb::View<3, TapaggDest, eedb::hook>,
                              eedb::View<4, TapaggDestAndSrc, eedb::hook>>;

  using TableUtil::TableUtil;

  // ---- OutAc3TagStat120 (view 1): VLAN edit ----
  void setTranslatorFields(OutAc3TagStat120& hw, LogEntry const& sw) const { setVlanEdit(hw, sw); }

  // ---- OutAc3TagStat150 (view 2): VLAN edit and next out-LIF ----
  void setTranslatorFields(OutAc3TagStat150& hw, LogEntry const& sw) const {
    setVlanEdit(hw, sw);
    hw.nextOutlifPointerIs(checked<U20>(sw.nextOutlifPointer()));
  }

  // ---- TapaggDest (view 3): destination MAC ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, TapaggDest& hw) const {
    hw.l2MacIs(macNumber(sw.destMac()));
  }

  // ---- TapaggDestAndSrc (view 4): destination and source MACs ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, TapaggDestAndSrc& hw) const {
    hw.l2MacIs(macNumber(sw.destMac()));
    hw.rawDataIs(macNumber(sw.srcMac()));
  }
};

EEDB_TABLE_UTIL(EedbTapAggTableUtil, eedbTapAggTableUtilFactory, eedbTapAggTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
