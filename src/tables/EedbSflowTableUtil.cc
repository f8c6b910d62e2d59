// sFlow first-pass entries (view 0) under the key's outlif: the sample and record header values,
// and the pointer to the first-pass data entry under dataOutlif.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbSflowTable.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using SflowFirstPass = EedbHwMdb::EedbSflowEtpsSflowFirstPass150Entry;

class EedbSflowTableUtil final
    : public eedb::MdbTableUtil<EedbSflowTableUtil, ZuriErrm::EedbSflowTableLogEntryWrapper,
                                ZuriErrm::EedbSflowTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbSflowTableUtil";
  using Views = eedb::ViewMap<eedb::ownKey, eedb::View<0, SflowFirstPass, eedb::fieldsAndHook>>;

  using TableUtil::TableUtil;

  static std::uint32_t swKeyValue(LogEntry const& sw) { return sw.key().outlif(); }

  // ---- SflowFirstPass (view 0) ----
  // Checked in field order: the first field out of range is the one reported.
  void setTranslatorFields(SflowFirstPass& hw, LogEntry const& sw) const {
    hw.headerSampleSampleLengthIs(checked<U14>(sw.headerSampleSampleLength()));
    hw.headerSampleSamplingRateIs(copy(sw.headerSampleSamplingRate()));
    hw.headerSampleFlowRecordIs(checked<U4>(sw.headerSampleFlowRecord()));
    hw.headerRecordEnterpriseFormatIs(copy(sw.headerRecordEnterpriseFormat()));
    hw.headerRecordDataLengthIs(checked<U14>(sw.headerRecordDataLength()));
    hw.headerRecordProtocolIs(checked<U13>(sw.headerRecordProtocol()));
    hw.headerRecordSizeIs(checked<U14>(sw.headerRecordSize()));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, SflowFirstPass& hw) const {
    hw.nextOutlifPointerIs(bounded<U20>(sw.key().dataOutlif()));
  }
};

EEDB_TABLE_UTIL(EedbSflowTableUtil, eedbSflowTableUtilFactory, eedbSflowTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
