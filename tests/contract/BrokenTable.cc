// One table file, broken in the way the macro given on the command line names; each way must
// stop the build with the table contract's reason (see CMakeLists.txt). Without a macro it is a
// well-formed table and compiles.
#include <cstdint>

#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbOutrif.h"

namespace probe {

using namespace eedb::rules;
using Rif60 = chip26_a0::EedbHwMdb::EedbRifBasicEtpsEthRif60Entry;
using Vxlan = chip26_a0::EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry;

class ProbeUtil final : public eedb::MdbTableUtil<ProbeUtil, ZuriErrm::EedbOutrifLogEntryWrapper,
                                                  ZuriErrm::EedbOutrifConstants> {
 public:
  static constexpr std::string_view kName = "probe::ProbeUtil";
#ifdef BREAK_DUPLICATE_VIEW
  using Views = eedb::ViewMap<eedb::View<1, Rif60>, eedb::View<2, Vxlan>, eedb::View<1, Rif60>>;
#else
  using Views = eedb::ViewMap<eedb::View<1, Rif60>, eedb::View<2, Vxlan>>;
#endif
  using TableUtil::TableUtil;

#ifdef BREAK_NON_CONST_TRANSLATOR
  void setTranslatorFields(Rif60& hw, LogEntry const& sw) {
#else
  void setTranslatorFields(Rif60& hw, LogEntry const& sw) const {
#endif
    hw.mtuProfileIs(checked<U4>(sw.mtuProfile()));
  }
#ifdef BREAK_NON_CONST_HOOK
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Rif60& hw) {
#else
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Rif60& hw) const {
#endif
    hw.fodoIs(cut<U15>(sw.fodo()));
  }

#ifdef BREAK_MISSPELT_HOOK
  void doSetHWEntry(Asic::UnitId, LogEntry&, Vxlan& hw) const {
#else
  void doSetHwEntry(Asic::UnitId, LogEntry&, Vxlan& hw) const {
#endif
      hw.ttlModeIs(fixed<U1, 1>);
}
};  // namespace probe

// A raw 8-bit field takes only std::uint8_t.
[[maybe_unused]] void sourceIndexOf(Vxlan& hw, std::uint32_t index) {
#ifdef BREAK_WIDE_SETTER
  hw.sourceIdxIs(index);
#else
  hw.sourceIdxIs(cut<std::uint8_t>(index));
#endif
}

EEDB_TABLE_UTIL(ProbeUtil, probeUtilFactory, probeUtilFile);

}  // namespace probe
