// Software table types whose behaviour the replay goldens do not show: the SRv6 views sharing one
// block of bytes, ESEM command values per revision.
#include <gtest/gtest.h>

#include "zuri_errm/EedbSrv6.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace {

using namespace ZuriErrm;

// The three views overlay one block: writing one view changes what the others read.
TEST(Srv6ViewTest, ViewsShareTheSameBytesInNetworkOrder) {
  EedbSrv6LogEntry e;
  e.etpsSrv6150().nofSidsIs(0x23);
  e.etpsSrv6150().srhRoutingTypeIs(4);
  EedbSrv6LogEntry::ViewData expected{};
  expected[2] = 0x23;
  expected[3] = 4;
  EXPECT_EQ(e.viewData(), expected);
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("2001:db8::1"));
  expected = {0x20, 0x01, 0x0d, 0xb8};
  expected[15] = 0x01;
  EXPECT_EQ(e.viewData(), expected);
  EXPECT_EQ(e.etpsSrv6150().nofSids(), 0x0d);
  EXPECT_EQ(e.etpsSrv6150().srhRoutingType(), 0xb8);
  EXPECT_EQ(std::as_const(e).etpsIpv6TunnelRaw150().fodo(), 0);
  e.etpsIpv6TunnelRaw150().fodoIs(0x1234);  // bytes 4 and 5, high byte first
  EXPECT_EQ(e.viewData()[4], 0x12);
  EXPECT_EQ(e.viewData()[5], 0x34);
  // An IPv4 SID is held IPv4-mapped.
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("10.1.2.3"));
  EXPECT_EQ(e.etpsDataSid150().sid(), *Plexo::IpGenAddr::parse("::ffff:10.1.2.3"));
}

// Only 26:A0 renumbers items 1 to 4; item 4's value there does not fit a 6-bit field.
TEST(Gen3EsemCmdsTest, HwValuePerRevision) {
  using Hardware::ChipType;
  using Hardware::Zuri::FapRevision;
  for (auto const& [item, onA0] :
       {std::pair{0, 0}, {1, 21}, {2, 22}, {3, 42}, {4, 64}, {5, 5}, {63, 63}, {255, 255}}) {
    Gen3EsemCmds::Item const i{static_cast<std::uint8_t>(item)};
    EXPECT_EQ(Gen3EsemCmds::hwValue(FapRevision::fapRevGen3A0(), i), unsigned(onA0)) << item;
    EXPECT_EQ(Gen3EsemCmds::hwValue(FapRevision(ChipType{26}, 'B', 0), i), unsigned(item));
    EXPECT_EQ(Gen3EsemCmds::hwValue(FapRevision(ChipType{25}, 'A', 0), i), unsigned(item));
  }
}

}  // namespace
