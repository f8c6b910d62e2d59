// ARP table: next-hop link-layer encapsulations. Five views onto three formats; the key is the
// low 20 bits of the software key, mapped without the key guard. The ARP formats take the
// statistics command and id as they are (no statistics object rule).
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbArpTable.h"

namespace chip26_a0::ZuriErrmArpUtil {

using chip26_a0::EedbHwMdb;
using Arp60 = EedbHwMdb::EedbArpEtpsArp60Entry;
using RifArpStat = EedbHwMdb::EedbArpEtpsRifArpStat120Entry;
using RifArpAc1TagStat = EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry;

class EedbArpTableUtil final
    : public eedb::MdbTableUtil<EedbArpTableUtil, ZuriErrmArp::EedbArpTableLogEntryWrapper,
                                ZuriErrmArp::EedbArpTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmArpUtil::EedbArpTableUtil";
  static constexpr eedb::KeyMapping kKeyMapping = eedb::KeyMapping::hook;
  // Views 1 and 5 produce identical entries; view 3 adds the VLAN ID.
  using Views = eedb::ViewMap<eedb::View<1, RifArpAc1TagStat>, eedb::View<2, Arp60>,
                              eedb::View<3, RifArpAc1TagStat>, eedb::View<4, RifArpStat>,
                              eedb::View<5, RifArpAc1TagStat>>;

  using TableUtil::TableUtil;

  // Checked casts, in this order: the first field out of range is the one reported.
  void setTranslatorFields(Arp60& hw, LogEntry const& sw) const {
    hw.actionProfileIs(Asic::checkedCast<U2>(sw.actionProfile()));
  }
  void setTranslatorFields(RifArpStat& hw, LogEntry const& sw) const {
    hw.actionProfileIs(Asic::checkedCast<U2>(sw.actionProfile()));
    hw.mtuProfileIs(Asic::checkedCast<U4>(sw.mtuProfile()));
  }
  void setTranslatorFields(RifArpAc1TagStat& hw, LogEntry const& sw) const {
    hw.actionProfileIs(Asic::checkedCast<U2>(sw.actionProfile()));
    hw.egressLastLayerIs(Asic::checkedCast<U1>(sw.egressLastLayer()));
    hw.vlanEditProfileIs(Asic::checkedCast<U3>(sw.vlanEditProfile()));
    hw.mtuProfileIs(Asic::checkedCast<U3>(sw.mtuProfile()));
    if (sw.viewType() == 3) hw.vlanEditVid1Is(Asic::checkedCast<U12>(sw.vlanEditVid1()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Arp60& hw) const {
    hw.l2MacIs(eedb::macNumber(sw.l2Mac()));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, RifArpStat& hw) const {
    hw.l2MacIs(eedb::macNumber(sw.l2Mac()));
    setStatFields(sw, hw);
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, RifArpAc1TagStat& hw) const {
    hw.l2MacIs(eedb::macNumber(sw.l2Mac()));
    setStatFields(sw, hw);
  }

 private:
  // fodo and the id are cut to their fields (17 or 15 bits); the command is a bounded U5.
  template <class Format>
  static void setStatFields(LogEntry const& sw, Format& hw) {
    hw.fodoIs(eedb::lowBits<U15>(sw.fodo()));
    hw.statObjectCmdIs(U5(sw.statObjectCmd()));
    using StatId = typename eedb::detail::SetterArg<decltype(&Format::statObjectIdIs)>::type;
    hw.statObjectIdIs(eedb::lowBits<StatId>(sw.statObjectId()));
  }
};

EEDB_TABLE_UTIL(EedbArpTableUtil, eedbArpTableUtilFactory, eedbArpTableUtilFile);

}  // namespace chip26_a0::ZuriErrmArpUtil
