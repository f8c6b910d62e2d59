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

#if defined(BREAK_MISSPELT_KEY_RULE)
#define KEY_RULE eedb::hokKey
#elif defined(BREAK_UNNAMED_KEY_VALUE)
#define KEY_RULE eedb::logKey
#else
#define KEY_RULE eedb::ownKey
#endif
#ifdef BREAK_UNNAMED_HOOK
#define RIF_RULES eedb::fields
#else
#define RIF_RULES eedb::fieldsAndHook
#endif

class ProbeUtil final : public eedb::MdbTableUtil<ProbeUtil, ZuriErrm::EedbOutrifLogEntryWrapper,
                                                  ZuriErrm::EedbOutrifConstants> {
 public:
  static constexpr std::string_view kName = "probe::ProbeUtil";
#ifdef BREAK_DUPLICATE_VIEW
  using Views = eedb::ViewMap<KEY_RULE, eedb::View<1, Rif60, RIF_RULES>,
                              eedb::View<2, Vxlan, eedb::hook>, eedb::View<1, Rif60, RIF_RULES>>;
#else
  using Views =
      eedb::ViewMap<KEY_RULE, eedb::View<1, Rif60, RIF_RULES>, eedb::View<2, Vxlan, eedb::hook>>;
#endif
  using TableUtil::TableUtil;

#ifdef BREAK_MISSPELT_KEY_VALUE
  static std::uint32_t swKeyVal(LogEntry const& sw) {
    return sw.key().value();
  }
#else
  static std::uint32_t swKeyValue(LogEntry const& sw) {
    return sw.key().value();
  }
#endif

#ifdef BREAK_OWN_APPLICABLE
  static bool applicable(LogEntry const&) {
    return true;
  }
#endif

#ifdef BREAK_NON_CONST_TRANSLATOR
  void setTranslatorFields(Rif60& hw, LogEntry const& sw) {
#else
  void setTranslatorFields(Rif60& hw, LogEntry const& sw) const {
#endif
    hw.mtuProfileIs(checked<U4>(sw.mtuProfile()));
  }
#if defined(BREAK_NON_CONST_HOOK)
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Rif60& hw) {
#elif defined(BREAK_MISSPELT_SECOND_HOOK)
  void doSetHwEntyr(Asic::UnitId, LogEntry& sw, Rif60& hw) const {
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
