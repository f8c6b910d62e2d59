// MPLS tunnel table: label push entries (views 1 to 4), MPLS data entries carrying the further
// labels of a long label list (views 5 to 10) and label swap entries (view 11). Labels and the
// next pointer are cut to 20 bits; three small profiles are bounded U3 values.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbMplsTunnelTable.h"

namespace chip26_a0::ZuriErrmUtil {

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
      eedb::ViewMap<eedb::View<1, Mpls1>, eedb::View<2, Mpls1Stat>, eedb::View<3, Mpls2Stat>,
                    eedb::View<4, Mpls2StatPlus>, eedb::View<5, DataMpls1>,
                    eedb::View<6, DataMpls2>, eedb::View<7, DataMpls3>, eedb::View<8, DataMpls4>,
                    eedb::View<9, DataMpls5>, eedb::View<10, DataMpls6>, eedb::View<11, MplsSwap>>;

  using TableUtil::TableUtil;

  // ---- label push and swap ----

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls1& hw) const { setLabelAndNext(sw, hw); }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, MplsSwap& hw) const { setLabelAndNext(sw, hw); }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls1Stat& hw) const {
    hw.mplsLabelIs(label(sw.label1()));
    hw.esemCommandIs(U3(sw.esemCommand()));
    hw.lifAhpMplsIs(U3(sw.lifAhpMpls()));
    hw.nextOutlifPointerIs(label(sw.nextOutlifPointer()));
    setStatTail(sw, hw);
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls2Stat& hw) const {
    hw.mplsLabelIs(label(sw.label1()));
    hw.mplsLabel2Is(label(sw.label2()));
    hw.nextOutlifPointerIs(label(sw.nextOutlifPointer()));
    setStatTail(sw, hw);
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Mpls2StatPlus& hw) const {
    hw.mplsLabelIs(label(sw.label1()));
    hw.mplsLabel2Is(label(sw.label2()));
    hw.vlanEditProfileIs(U3(sw.vlanEditProfile()));
    hw.nextOutlifPointerIs(label(sw.nextOutlifPointer()));
    setStatTail(sw, hw);
  }

  // Data entries (views 5 to 10): the first software label always goes to mplsLabel3, and a
  // format with N labels takes label1 to labelN.
  template <class Format>
  requires requires(Format& hw) { hw.mplsLabel3Is(U20()); }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Format& hw) const {
    hw.mplsLabel3Is(label(sw.label1()));
    if constexpr (requires { hw.mplsLabel4Is(U20()); }) hw.mplsLabel4Is(label(sw.label2()));
    if constexpr (requires { hw.mplsLabel5Is(U20()); }) hw.mplsLabel5Is(label(sw.label3()));
    if constexpr (requires { hw.mplsLabel6Is(U20()); }) hw.mplsLabel6Is(label(sw.label4()));
    if constexpr (requires { hw.mplsLabel7Is(U20()); }) hw.mplsLabel7Is(label(sw.label5()));
    if constexpr (requires { hw.mplsLabel8Is(U20()); }) hw.mplsLabel8Is(label(sw.label6()));
    hw.nextOutlifPointerIs(label(sw.nextOutlifPointer()));
  }

 private:
  // Labels and pointers: the low 20 bits.
  static U20 label(std::uint32_t value) { return eedb::lowBits<U20>(value); }

  template <class Format>
  static void setLabelAndNext(LogEntry const& sw, Format& hw) {
    hw.mplsLabelIs(label(sw.label1()));
    hw.nextOutlifPointerIs(label(sw.nextOutlifPointer()));
  }

  // Common tail of the entries with statistics.
  template <class Format>
  static void setStatTail(LogEntry const& sw, Format& hw) {
    hw.ttlPipeProfileIs(eedb::lowBits<U4>(sw.ttlPipeProfile()));
    hw.ttlModeIs(U1(sw.ttlMode() == 1 ? 1 : 0));
    hw.nwkQosIdxIs(eedb::lowBits<U6>(sw.nwkQosIdx()));
    hw.encapQosModelIs(eedb::lowBits<U3>(sw.encapQosModel()));
    eedb::applyStatObject(hw, sw.statObjectId());
  }
};

EEDB_TABLE_UTIL(EedbMplsTunnelTableUtil, eedbMplsTunnelTableUtilFactory,
                eedbMplsTunnelTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
