// sFlow first-pass data entries (view 0) under the key's dataOutlif: the ESEM command, the OAM
// LIF flag and the eventor id.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbSflowTable.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using SflowFirstPassData = EedbHwMdb::EedbSflowEtpsSflowFirstPassData90Entry;

class EedbSflowDataTableUtil final
    : public eedb::MdbTableUtil<EedbSflowDataTableUtil, ZuriErrm::EedbSflowTableLogEntryWrapper,
                                ZuriErrm::EedbSflowTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbSflowDataTableUtil";
  using Views = eedb::ViewMap<eedb::ownKey, eedb::View<0, SflowFirstPassData, eedb::fieldsAndHook>>;

  using TableUtil::TableUtil;

  static std::uint32_t swKeyValue(LogEntry const& sw) { return sw.key().dataOutlif(); }

  // ---- SflowFirstPassData (view 0) ----
  // The ESEM command is written twice: the software item here, checked, then its hardware value by
  // the hook. A failing hook's report shows the entry as the translator left it (the item), so
  // the first write stays.
  void setTranslatorFields(SflowFirstPassData& hw, LogEntry const& sw) const {
    hw.esemCommandIs(checked<U6>(sw.esemCommand()));
    hw.oamLifSetIs(checked<U1>(sw.oamLifSet()));
    hw.eventorIdIs(copy(sw.eventorId()));
  }
  // The chip takes the ESEM command's hardware value, which the item list defines per revision;
  // this entry format always uses the Gen3 A0 numbering, whatever revision the table serves.
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, SflowFirstPassData& hw) const {
    hw.esemCommandIs(bounded<U6>(
        Gen3EsemCmds::hwValue(Hardware::Zuri::FapRevision::fapRevGen3A0(), sw.esemCommand())));
  }
};

EEDB_TABLE_UTIL(EedbSflowDataTableUtil, eedbSflowDataTableUtilFactory, eedbSflowDataTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
