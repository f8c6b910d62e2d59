// ARP table: next-hop link-layer encapsulations. Five views onto three formats; the key is the
// low 20 bits of the software key, mapped without the key guard. The ARP formats take the
// statistics command and id as they are (no statistics object rule).
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbArpTable.h"

namespace chip26_a0::ZuriErrmArpUtil {

using chip26_a0::EedbHwMdb;
using namespace eedb::rules;
using Arp60 = EedbHwMdb::EedbArpEtpsArp60Entry;
using RifArpStat = EedbHwMdb::EedbArpEtpsRifArpStat120Entry;
using RifArpAc1TagStat = EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry;

class EedbArpTableUtil final
    : public eedb::MdbTableUtil<EedbArpTableUtil, ZuriErrmArp::EedbArpTableLogEntryWrapper,
                                ZuriErrmArp::EedbArpTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmArpUtil::EedbArpTableUtil";
  // Views 1 and 5 produce identical entries; view 3 adds the VLAN ID.
  using Views = eedb::ViewMap<eedb::hookKey, eedb::View<1, RifArpAc1TagStat, eedb::fieldsAndHook>,
                              eedb::View<2, Arp60, eedb::fieldsAndHook>,
                              eedb::View<3, RifArpAc1TagStat, eedb::fieldsAndHook>,
                              eedb::View<4, RifArpStat, eedb::fieldsAndHook>,
                              eedb::View<5, RifArpAc1TagStat, eedb::fieldsAndHook>>;

  using TableUtil::TableUtil;

  // The translator checks, in this order: the first field out of range is the one reported.
  // fodo and the statistics id are cut to their fields; the command is bounded.

  // ---- Arp60 (view 2): destination MAC ----
  void setTranslatorFields(Arp60& hw, LogEntry const& sw) const {
    hw.actionProfileIs(checked<U2>(sw.actionProfile()));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Arp60& hw) const {
    hw.l2MacIs(macNumber(sw.l2Mac()));
  }

  // ---- RifArpStat (view 4): out-RIF data and statistics ----
  void setTranslatorFields(RifArpStat& hw, LogEntry const& sw) const {
    hw.actionProfileIs(checked<U2>(sw.actionProfile()));
    hw.mtuProfileIs(checked<U4>(sw.mtuProfile()));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, RifArpStat& hw) const {
    hw.l2MacIs(macNumber(sw.l2Mac()));
    setStatFields(sw, hw);
  }

  // ---- RifArpAc1TagStat (views 1, 3, 5): out-RIF data, one VLAN tag edit, statistics ----
  void setTranslatorFields(RifArpAc1TagStat& hw, LogEntry const& sw) const {
    hw.actionProfileIs(checked<U2>(sw.actionProfile()));
    hw.egressLastLayerIs(checked<U1>(sw.egressLastLayer()));
    hw.vlanEditProfileIs(checked<U3>(sw.vlanEditProfile()));
    hw.mtuProfileIs(checked<U3>(sw.mtuProfile()));
    if (sw.viewType() == 3) hw.vlanEditVid1Is(checked<U12>(sw.vlanEditVid1()));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, RifArpAc1TagStat& hw) const {
    hw.l2MacIs(macNumber(sw.l2Mac()));
    setStatFields(sw, hw);
  }

 private:
  // fodo and the id are cut to their fields (15 and 17 or 15 bits); the command is a bounded U5.
  template <class Format>
  static void setStatFields(LogEntry const& sw, Format& hw) {
    hw.fodoIs(cut<U15>(sw.fodo()));
    hw.statObjectCmdIs(bounded<U5>(sw.statObjectCmd()));
    hw.statObjectIdIs(cut(sw.statObjectId()));
  }
};

EEDB_TABLE_UTIL(EedbArpTableUtil, eedbArpTableUtilFactory, eedbArpTableUtilFile);

}  // namespace chip26_a0::ZuriErrmArpUtil
