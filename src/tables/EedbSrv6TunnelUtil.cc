// SRv6 tunnel table: the SRv6 header entry (view 0), the data entries carrying one 128-bit SID
// each (view 1) and the outer IPv6 tunnel entry (view 2). Each view reads its own view data.
#include "frame/UtilPlugin.h"
#include "zuri_errm/EedbSrv6.h"

namespace chip26_a0::ZuriErrmUtil {

using namespace eedb::rules;
using Srv6 = EedbHwMdb::EedbSrv6EtpsSrv6150Entry;
using DataSid = EedbHwMdb::EedbSrv6DataSidEtpsDataSid150Entry;
using Ipv6TunnelRaw = EedbHwMdb::EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry;

class EedbSrv6TunnelUtil final
    : public eedb::MdbTableUtil<EedbSrv6TunnelUtil, ZuriErrm::EedbSrv6LogEntryWrapper,
                                ZuriErrm::EedbSrv6Constants> {
 public:
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbSrv6TunnelUtil";
  using Views =
      eedb::ViewMap<eedb::logKey, eedb::View<0, Srv6, eedb::hook>,
                    eedb::View<1, DataSid, eedb::hook>, eedb::View<2, Ipv6TunnelRaw, eedb::hook>>;

  using TableUtil::TableUtil;

  // The view data of each format is checked to be that format's: the assertion text shows the
  // expression as written, `swEntry` included, and the host matches that text.

  // ---- Srv6 (view 0): the segment routing header of n SIDs ----
  // The derived fields are 8-bit, modulo 256.
  void doSetHwEntry(Asic::UnitId, LogEntry& swEntry, Srv6& hw) const {
    EEDB_GRACEFUL_ASSERT(swEntry.viewType() == ZuriErrm::EedbSrv6View::etpsSrv6150(),
                         "invalid viewType");
    auto const view = swEntry.etpsSrv6150();
    U5 const n = cut<U5>(view.nofSids());
    hw.nofSidsIs(n);
    hw.srhSegmentLeftIs(cut<std::uint8_t>(n.value() - 1));
    hw.srhLastEntryIs(cut<std::uint8_t>(n.value() - 2));
    hw.srhHdrExtLenIs(cut<std::uint8_t>(2 * n.value() - 2));
    hw.srhRoutingTypeIs(copy(view.srhRoutingType()));
    hw.nextOutlifPointerIs(cut<U20>(swEntry.nextOutlifPointer()));
  }

  // ---- DataSid (view 1): one SID ----
  void doSetHwEntry(Asic::UnitId, LogEntry& swEntry, DataSid& hw) const {
    EEDB_GRACEFUL_ASSERT(swEntry.viewType() == ZuriErrm::EedbSrv6View::etpsDataSid150(),
                         "invalid viewType");
    hw.srv6SidDataIs(bitmapOf128(swEntry.etpsDataSid150().sid().v6Addr()));
    hw.dataEntry2BReservedIs(fixed<U2, 3>);
    hw.nextOutlifPointerIs(cut<U20>(swEntry.nextOutlifPointer()));
  }

  // ---- Ipv6TunnelRaw (view 2): the outer IPv6 header ----
  // Unlike views 0 and 1, a next pointer beyond 20 bits is refused here (bounded, the last rule).
  void doSetHwEntry(Asic::UnitId, LogEntry& swEntry, Ipv6TunnelRaw& hw) const {
    EEDB_GRACEFUL_ASSERT(swEntry.viewType() == ZuriErrm::EedbSrv6View::etpsIpv6TunnelRaw150(),
                         "invalid viewType");
    auto const view = swEntry.etpsIpv6TunnelRaw150();
    hw.forwardQosModelIs(cut<U1>(view.forwardQosModel()));
    hw.ttlPipeProfileIs(cut<U4>(view.ttlPipeProfile()));
    hw.sourceIdxIs(copy(view.sourceIdx()));
    hw.remarkProfileIs(cut<U5>(view.remarkProfile()));
    hw.ttlModeIs(cut<U1>(view.ttlMode()));
    hw.ttlDecrementDisableIs(cut<U1>(view.ttlDecrementDisable()));
    hw.encapQosModelIs(cut<U3>(view.encapQosModel()));
    hw.nwkQosIdxIs(cut<U6>(view.nwkQosIdx()));
    hw.actionProfileIs(cut<U2>(view.actionProfile()));
    applyStatObject(hw, swEntry.statObjectId());
    hw.fodoIs(cut<U10>(view.fodo()));
    hw.nextOutlifPointerIs(bounded<U20>(swEntry.nextOutlifPointer()));
  }
};

EEDB_TABLE_UTIL(EedbSrv6TunnelUtil, eedbSrv6TunnelUtilFactory, eedbSrv6TunnelUtilFile);

}  // namespace chip26_a0::ZuriErrmUtil
