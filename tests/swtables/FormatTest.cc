// Printed forms of the software table types, as they appear in traces and error contexts.
#include <gtest/gtest.h>

#include "pelix/Ptr.h"
#include "zuri_errm/SwTables.h"

namespace {

using namespace ZuriErrm;

TEST(FormatTest, LogEntryListsFieldsInStorageOrder) {
  EedbOutrifLogEntry e;
  e.keyIs(EedbOutrifEntryKey(4096));
  e.fodoIs(100);
  e.viewTypeIs(1);
  e.forwardQosModelIs(1);
  e.remarkProfileIs(3);
  e.mtuProfileIs(2);
  EXPECT_EQ(fmt::format("{}", e),
            "EedbOutrifLogEntry(key=4096, fodo=100, viewType=1, forwardQosModel=1, "
            "remarkProfile=3, mtuProfile=2)");
}

TEST(FormatTest, FlumeEntryAndWrapper) {
  EedbAgMemTlmLogEntry e;
  e.keyIs(EedbAgMemTlmEntryKey(0xffff));
  e.agFieldTlmIs(1);
  EedbAgMemTlmLogFlumeEntry const f(e, Asic::UnitId::of(1, 2), LogFlumeFlags::kTableDelete);
  char const* text =
      "EedbAgMemTlmLogFlumeEntry(unitId=0x0102, flags=0x02, "
      "logEntry=EedbAgMemTlmLogEntry(key=65535, agFieldTlm=1))";
  EXPECT_EQ(fmt::format("{}", f), text);
  EXPECT_EQ(fmt::format("{}", *Pelix::make<EedbAgMemTlmLogEntryWrapper>(f)), text);
}

TEST(FormatTest, CompoundKeysAddressesAndOutlifs) {
  EXPECT_EQ(fmt::format("{}", EedbIpTunnelEntryKey(4096, 8192)), "{outlif=4096, dipOutlif=8192}");
  EedbVxlanTunnelLogEntry v;
  v.nextOutlifIs(Hardware::Zuri::Outlif(0x1234));
  v.dipIs(*Plexo::IpGenAddr::parse("10.1.2.3"));
  v.esemNameSpaceIs(U4(15));
  EXPECT_EQ(fmt::format("{}", v),
            "EedbVxlanTunnelLogEntry(key=0, nextOutlif=0x1234, viewType=0, dip=10.1.2.3, "
            "esemNameSpace=15, outLifProfile=0, sourceIdx=0, ttlPipeProfile=0, nwkQosIdx=0)");
  ZuriErrmArp::EedbArpTableLogEntry a;
  a.l2MacIs(*Plexo::EthAddr::parse("02:00:00:AA:bb:cc"));
  EXPECT_NE(fmt::format("{}", a).find("l2Mac=02:00:00:aa:bb:cc,"), std::string::npos);
}

TEST(FormatTest, Srv6ShowsOnlyItsOwnView) {
  EedbSrv6LogEntry e;
  e.viewTypeIs(EedbSrv6View::etpsDataSid150());
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("2001:db8::1"));
  EXPECT_EQ(fmt::format("{}", e),
            "EedbSrv6LogEntry(key=0, nextOutlifPointer=0, statObjectId=0, viewType=1, "
            "etpsDataSid150={sid=2001:db8::1})");
  e.viewTypeIs(EedbSrv6View(3));
  EXPECT_EQ(fmt::format("{}", e),
            "EedbSrv6LogEntry(key=0, nextOutlifPointer=0, statObjectId=0, viewType=3)");
}

}  // namespace
