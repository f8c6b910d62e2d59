// MPLS tunnel table: label push entries (views 1 to 4), MPLS data entries carrying the further
// labels of a long label list (views 5 to 10) and label swap entries (view 11). Labels and the
// next pointer are cut to 20 bits; three small profiles are bounded U3 values.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbMplsTunnelTable.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using Mpls1 = EedbHwMdb::EedbMplsTunnelEtpsMpls190Entry;
using Mpls1Stat = EedbHwMdb::EedbMplsTunnelEtpsMpls1Stat150Entry;
using Mpls2Stat = EedbHwMdb::EedbMplsTunnelEtpsMpls2Stat150Entry;
using Mpls2StatPlus = EedbHwMdb::EedbMplsTunnelEtpsMpls2StatPlus150Entry;
using DataMpls1 = EedbHwMdb::EedbMplsDataTunnelEtpsDataMpls190Entry;
using DataMpls2 = EedbHwMdb::EedbMplsDataTunnelEtpsDataMpls290Entry;
using DataMpls3 = EedbHwMdb::EedbMplsDataTunnelEtpsDataMpls390Entry;
using DataMpls4 = EedbHwMdb::EedbMplsDataTunnelEtpsDataMpls4150Entry;
using DataMpls5 = EedbHwMdb::EedbMplsDataTunnelEtpsDataMpls5150Entry;
using DataMpls6 = EedbHwMdb::EedbMplsDataTunnelEtpsDataMpls6150Entry;
using MplsSwap = EedbHwMdb::EedbMplsTunnelEtpsMplsSwap90Entry;

class EedbMplsTunnelTableUtil final
    : public eedb::MdbTableUtil<EedbMplsTunnelTableUtil,
                                ZuriErrm::EedbMplsTunnelTableLogEntryWrapper,
                                ZuriErrm::EedbMplsTunnelTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbMplsTunnelTableUtil";
  using Views =
      eedb::ViewMap<eedb::logKey, eedb::View<1, Mpls1, eedb::hook>,
                    eedb::View<2, Mpls1Stat, eedb::hook>, eedb::View<3, Mpls2Stat, eedb::hook>,
                    eedb::View<4, Mpls2StatPlus, eedb::hook>, eedb::View<5, DataMpls1, eedb::hook>,
                    eedb::View<6, DataMpls2, eedb::hook>, eedb::View<7, DataMpls3, eedb::hook>,
                    eedb::View<8, DataMpls4, eedb::hook>, eedb::View<9, DataMpls5, eedb::hook>,
                    eedb::View<10, DataMpls6, eedb::hook>, eedb::View<11, MplsSwap, eedb::hook>>;

  using TableUtil::TableUtil;

  // Labels and next pointers are cut to 20 bits; the ESEM command, lifAhpMpls and the VLAN edit
  // profile are bounded, in field order.

  // ---- Mpls1 (view 1): push of one label ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls1& hw) const { setLabelAndNext(sw, hw); }

  // ---- Mpls1Stat (view 2): push of one label, with statistics ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls1Stat& hw) const {
    hw.mplsLabelIs(cut<U20>(sw.label1()));
    hw.esemCommandIs(bounded<U3>(sw.esemCommand()));
    hw.lifAhpMplsIs(bounded<U3>(sw.lifAhpMpls()));
    hw.nextOutlifPointerIs(cut<U20>(sw.nextOutlifPointer()));
    setStatTail(sw, hw);
  }

  // ---- Mpls2Stat (view 3): push of two labels, with statistics ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls2Stat& hw) const {
    hw.mplsLabelIs(cut<U20>(sw.label1()));
    hw.mplsLabel2Is(cut<U20>(sw.label2()));
    hw.nextOutlifPointerIs(cut<U20>(sw.nextOutlifPointer()));
    setStatTail(sw, hw);
  }

  // ---- Mpls2StatPlus (view 4): push of two labels, with statistics and a VLAN edit ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls2StatPlus& hw) const {
    hw.mplsLabelIs(cut<U20>(sw.label1()));
    hw.mplsLabel2Is(cut<U20>(sw.label2()));
    hw.vlanEditProfileIs(bounded<U3>(sw.vlanEditProfile()));
    hw.nextOutlifPointerIs(cut<U20>(sw.nextOutlifPointer()));
    setStatTail(sw, hw);
  }

  // ---- DataMpls1 to DataMpls6 (views 5 to 10): the further labels of a long label list ----
  // The first software label always goes to mplsLabel3, and a format with N labels takes label1
  // to labelN.
  template <class Format>
  requires requires(Format& hw) { hw.mplsLabel3Is(U20()); }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Format& hw) const {
    hw.mplsLabel3Is(cut<U20>(sw.label1()));
    if constexpr (requires { hw.mplsLabel4Is(U20()); }) hw.mplsLabel4Is(cut<U20>(sw.label2()));
    if constexpr (requires { hw.mplsLabel5Is(U20()); }) hw.mplsLabel5Is(cut<U20>(sw.label3()));
    if constexpr (requires { hw.mplsLabel6Is(U20()); }) hw.mplsLabel6Is(cut<U20>(sw.label4()));
    if constexpr (requires { hw.mplsLabel7Is(U20()); }) hw.mplsLabel7Is(cut<U20>(sw.label5()));
    if constexpr (requires { hw.mplsLabel8Is(U20()); }) hw.mplsLabel8Is(cut<U20>(sw.label6()));
    hw.nextOutlifPointerIs(cut<U20>(sw.nextOutlifPointer()));
  }

  // ---- MplsSwap (view 11): label swap ----
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, MplsSwap& hw) const { setLabelAndNext(sw, hw); }

 private:
  template <class Format>
  static void setLabelAndNext(LogEntry const& sw, Format& hw) {
    hw.mplsLabelIs(cut<U20>(sw.label1()));
    hw.nextOutlifPointerIs(cut<U20>(sw.nextOutlifPointer()));
  }

  // Common tail of the entries with statistics; ttlMode is 1 only for a software 1.
  template <class Format>
  static void setStatTail(LogEntry const& sw, Format& hw) {
    hw.ttlPipeProfileIs(cut<U4>(sw.ttlPipeProfile()));
    hw.ttlModeIs(flag(sw.ttlMode() == 1));
    hw.nwkQosIdxIs(cut<U6>(sw.nwkQosIdx()));
    hw.encapQosModelIs(cut<U3>(sw.encapQosModel()));
    applyStatObject(hw, sw.statObjectId());
  }
};

EEDB_TABLE_UTIL(EedbMplsTunnelTableUtil, eedbMplsTunnelTableUtilFactory,
                eedbMplsTunnelTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
