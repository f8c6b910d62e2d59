// Out-RIF table: egress router-interface entries. One view (1), written as
// EedbRifBasicEtpsEthRif60Entry; the profiles are checked casts, fodo is cut to 15 bits.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbOutrif.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using Rif60 = EedbHwMdb::EedbRifBasicEtpsEthRif60Entry;

class EedbOutrifUtil final
    : public eedb::MdbTableUtil<EedbOutrifUtil, ZuriErrm::EedbOutrifLogEntryWrapper,
                                ZuriErrm::EedbOutrifConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbOutrifUtil";
  using Views = eedb::ViewMap<eedb::logKey, eedb::View<1, Rif60, eedb::fieldsAndHook>>;

  using TableUtil::TableUtil;

  // ---- EedbRifBasicEtpsEthRif60Entry (view 1) ----
  // Checked in field order: the first field out of range is the one reported.
  void setTranslatorFields(Rif60& hw, LogEntry const& sw) const {
    hw.forwardQosModelIs(checked<U1>(sw.forwardQosModel()));
    hw.mtuProfileIs(checked<U4>(sw.mtuProfile()));
    hw.remarkProfileIs(checked<U5>(sw.remarkProfile()));
  }
#ifndef EEDB_FODO_KEEPS_14_BITS
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Rif60& hw) const {
    hw.fodoIs(cut<U15>(sw.fodo()));
  }
#else
  // A second build of the library, which tests compare with this one, keeps one bit less.
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Rif60& hw) const {
    hw.fodoIs(U15(cut<U14>(sw.fodo()).value()));
  }
#endif
};

EEDB_TABLE_UTIL(EedbOutrifUtil, eedbOutrifUtilFactory, eedbOutrifUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
