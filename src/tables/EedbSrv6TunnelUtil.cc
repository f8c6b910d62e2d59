// SRv6 tunnel table: the SRv6 header entry (view 0), the data entries carrying one 128-bit SID
// each (view 1) and the outer IPv6 tunnel entry (view 2). Each view reads its own view data.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbSrv6.h"

namespace chip26_a0::ZuriErrmUtil {

using Srv6 = EedbHwMdb::EedbSrv6EtpsSrv6150Entry;
using DataSid = EedbHwMdb::EedbSrv6DataSidEtpsDataSid150Entry;
using Ipv6TunnelRaw = EedbHwMdb::EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry;

class EedbSrv6TunnelUtil final
    : public eedb::MdbTableUtil<EedbSrv6TunnelUtil, ZuriErrm::EedbSrv6LogEntryWrapper,
                                ZuriErrm::EedbSrv6Constants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbSrv6TunnelUtil";
  using Views =
      eedb::ViewMap<eedb::View<0, Srv6>, eedb::View<1, DataSid>, eedb::View<2, Ipv6TunnelRaw>>;

  using TableUtil::TableUtil;

  // The segment routing header of n SIDs; the derived fields are 8-bit, modulo 256.
  void doSetHwEntry(Asic::UnitId, LogEntry& swEntry, Srv6& hw) const {
    EEDB_GRACEFUL_ASSERT(swEntry.viewType() == ZuriErrm::EedbSrv6View::etpsSrv6150(),
                         "invalid viewType");
    auto const view = swEntry.etpsSrv6150();
    std::uint8_t const n = view.nofSids() & 0x1F;
    hw.nofSidsIs(U5(n));
    hw.srhSegmentLeftIs(static_cast<std::uint8_t>(n - 1));
    hw.srhLastEntryIs(static_cast<std::uint8_t>(n - 2));
    hw.srhHdrExtLenIs(static_cast<std::uint8_t>(2 * n - 2));
    hw.srhRoutingTypeIs(view.srhRoutingType());
    hw.nextOutlifPointerIs(eedb::lowBits<U20>(swEntry.nextOutlifPointer()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& swEntry, DataSid& hw) const {
    EEDB_GRACEFUL_ASSERT(swEntry.viewType() == ZuriErrm::EedbSrv6View::etpsDataSid150(),
                         "invalid viewType");
    hw.srv6SidDataIs(eedb::bitmapOf128(swEntry.etpsDataSid150().sid().v6Addr()));
    hw.dataEntry2BReservedIs(U2(3));
    hw.nextOutlifPointerIs(eedb::lowBits<U20>(swEntry.nextOutlifPointer()));
  }

  void doSetHwEntry(Asic::UnitId, LogEntry& swEntry, Ipv6TunnelRaw& hw) const {
    EEDB_GRACEFUL_ASSERT(swEntry.viewType() == ZuriErrm::EedbSrv6View::etpsIpv6TunnelRaw150(),
                         "invalid viewType");
    auto const view = swEntry.etpsIpv6TunnelRaw150();
    hw.forwardQosModelIs(eedb::lowBits<U1>(view.forwardQosModel()));
    hw.ttlPipeProfileIs(eedb::lowBits<U4>(view.ttlPipeProfile()));
    hw.sourceIdxIs(view.sourceIdx());
    hw.remarkProfileIs(eedb::lowBits<U5>(view.remarkProfile()));
    hw.ttlModeIs(eedb::lowBits<U1>(view.ttlMode()));
    hw.ttlDecrementDisableIs(eedb::lowBits<U1>(view.ttlDecrementDisable()));
    hw.encapQosModelIs(eedb::lowBits<U3>(view.encapQosModel()));
    hw.nwkQosIdxIs(eedb::lowBits<U6>(view.nwkQosIdx()));
    hw.actionProfileIs(eedb::lowBits<U2>(view.actionProfile()));
    eedb::applyStatObject(hw, swEntry.statObjectId());
    hw.fodoIs(eedb::lowBits<U10>(view.fodo()));
    // Unlike views 0 and 1, a pointer beyond 20 bits is refused here.
    hw.nextOutlifPointerIs(U20(swEntry.nextOutlifPointer()));
  }
};

EEDB_TABLE_UTIL(EedbSrv6TunnelUtil, eedbSrv6TunnelUtilFactory, eedbSrv6TunnelUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
