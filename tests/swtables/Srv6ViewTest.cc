// The SRv6 log entry's three views over one block of view data.
#include <gtest/gtest.h>

#include "zuri_errm/EedbSrv6.h"

namespace {

using ZuriErrm::EedbSrv6LogEntry;
using ZuriErrm::EedbSrv6View;
using ViewData = EedbSrv6LogEntry::ViewData;

TEST(Srv6ViewTest, ViewNumbers) {
  EXPECT_EQ(EedbSrv6View::etpsSrv6150().value(), 0);
  EXPECT_EQ(EedbSrv6View::etpsDataSid150().value(), 1);
  EXPECT_EQ(EedbSrv6View::etpsIpv6TunnelRaw150().value(), 2);
  EedbSrv6LogEntry e;
  e.viewTypeIs(EedbSrv6View(1));
  EXPECT_TRUE(e.viewType() == EedbSrv6View::etpsDataSid150());
  EXPECT_FALSE(e.viewType() == EedbSrv6View::etpsSrv6150());
}

TEST(Srv6ViewTest, Srv6150Bytes) {
  EedbSrv6LogEntry e;
  e.etpsSrv6150().nofSidsIs(0x23);
  e.etpsSrv6150().srhRoutingTypeIs(4);
  ViewData expected{};
  expected[2] = 0x23;  // nofSids
  expected[3] = 4;     // srhRoutingType
  EXPECT_EQ(e.viewData(), expected);
  EedbSrv6LogEntry const& c = e;
  EXPECT_EQ(c.etpsSrv6150().nofSids(), 0x23);
  EXPECT_EQ(c.etpsSrv6150().srhRoutingType(), 4);
}

TEST(Srv6ViewTest, DataSid150HoldsSidInNetworkOrder) {
  EedbSrv6LogEntry e;
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("2001:db8::1"));
  ViewData expected{0x20, 0x01, 0x0d, 0xb8};
  expected[15] = 0x01;
  EXPECT_EQ(e.viewData(), expected);
  EXPECT_EQ(std::as_const(e).etpsDataSid150().sid(), *Plexo::IpGenAddr::parse("2001:db8::1"));

  // An IPv4 SID is held IPv4-mapped.
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("10.1.2.3"));
  EXPECT_EQ(e.etpsDataSid150().sid(), *Plexo::IpGenAddr::parse("::ffff:10.1.2.3"));
}

TEST(Srv6ViewTest, Ipv6TunnelRaw150Offsets) {
  EedbSrv6LogEntry e;
  auto v = e.etpsIpv6TunnelRaw150();
  v.fodoIs(0x1234);
  v.actionProfileIs(0x07);
  v.nwkQosIdxIs(0x08);
  v.encapQosModelIs(0x09);
  v.ttlDecrementDisableIs(0x0a);
  v.ttlModeIs(0x0b);
  v.remarkProfileIs(0x0e);
  v.sourceIdxIs(0x0f);
  v.ttlPipeProfileIs(0x10);
  v.forwardQosModelIs(0x11);
  //                  0  1  2  3  4     5     6  7     8     9     10    11    12 13 14
  ViewData const expected{0,    0,    0,    0, 0x12, 0x34, 0,    0x07, 0x08,
                          0x09, 0x0a, 0x0b, 0, 0,    0x0e, 0x0f, 0x10, 0x11};
  EXPECT_EQ(e.viewData(), expected);
  auto const r = std::as_const(e).etpsIpv6TunnelRaw150();
  EXPECT_EQ(r.fodo(), 0x1234);
  EXPECT_EQ(r.forwardQosModel(), 0x11);
  EXPECT_EQ(r.sourceIdx(), 0x0f);
}

TEST(Srv6ViewTest, ViewsShareTheSameBytes) {
  EedbSrv6LogEntry e;
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("0:0203::"));
  EXPECT_EQ(e.etpsSrv6150().nofSids(), 2);
  EXPECT_EQ(e.etpsSrv6150().srhRoutingType(), 3);
}

}  // namespace
