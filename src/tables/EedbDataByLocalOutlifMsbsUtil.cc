// Direct table EedbDataByLocalOutlifMsbs: one bit per entry, under the 16-bit software key. Every
// entry that passes the FAP mask filter is taken; there is no view.
#include "chip26_a0/EedbHwDirect.h"
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbDataByLocalOutlifMsbs.h"

namespace chip26_a0::ZuriErrmUtil {

class EedbDataByLocalOutlifMsbsUtil final
    : public eedb::DirectTableUtil<EedbDataByLocalOutlifMsbsUtil, EedbDataByLocalOutlifMsbsHwDirect,
                                   ZuriErrm::EedbDataByLocalOutlifMsbsLogEntryWrapper,
                                   ZuriErrm::EedbDataByLocalOutlifMsbsConstants> {
 public:
  static constexpr std::string_view kName =
      "chip26_a0::ZuriErrmUtil::EedbDataByLocalOutlifMsbsUtil";

  using TableUtil::TableUtil;

  // ---- the one-bit entry ----
  static void fillEntry(Entry& hw, LogEntry const& sw) {
    hw.eesIsDataEntryappedIs(eedb::bounded<U1>(sw.eesIsDataEntryapped()));
  }
};

EEDB_TABLE_UTIL(EedbDataByLocalOutlifMsbsUtil, eedbDataByLocalOutlifMsbsUtilFactory,
                eedbDataByLocalOutlifMsbsUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
