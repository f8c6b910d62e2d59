// sFlow first-pass entries (view 0) under the key's outlif: the sample and record header values,
// and the pointer to the first-pass data entry under dataOutlif.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbSflowTable.h"

namespace chip26_a0::ZuriErrmUtil {

using SflowFirstPass = EedbHwMdb::EedbSflowEtpsSflowFirstPass150Entry;

class EedbSflowTableUtil final
    : public eedb::MdbTableUtil<EedbSflowTableUtil, ZuriErrm::EedbSflowTableLogEntryWrapper,
                                ZuriErrm::EedbSflowTableConstants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbSflowTableUtil";
  using Views = eedb::ViewMap<eedb::View<0, SflowFirstPass>>;

  using TableUtil::TableUtil;

  static std::uint32_t swKeyValue(LogEntry const& sw) { return sw.key().outlif(); }

  // In this order: the first field out of range is the one reported.
  void setTranslatorFields(SflowFirstPass& hw, LogEntry const& sw) const {
    hw.headerSampleSampleLengthIs(Asic::checkedCast<U14>(sw.headerSampleSampleLength()));
    hw.headerSampleSamplingRateIs(sw.headerSampleSamplingRate());
    hw.headerSampleFlowRecordIs(Asic::checkedCast<U4>(sw.headerSampleFlowRecord()));
    hw.headerRecordEnterpriseFormatIs(sw.headerRecordEnterpriseFormat());
    hw.headerRecordDataLengthIs(Asic::checkedCast<U14>(sw.headerRecordDataLength()));
    hw.headerRecordProtocolIs(Asic::checkedCast<U13>(sw.headerRecordProtocol()));
    hw.headerRecordSizeIs(Asic::checkedCast<U14>(sw.headerRecordSize()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& sw, SflowFirstPass& hw) const {
    hw.nextOutlifPointerIs(U20(sw.key().dataOutlif()));
  }
};

EEDB_TABLE_UTIL(EedbSflowTableUtil, eedbSflowTableUtilFactory, eedbSflowTableUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
