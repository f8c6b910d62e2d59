// The view check of the SRv6 tunnel table's per-format hooks. Translation only ever calls the
// hook of the entry's own view, so the check cannot be reached through the plug-in; the table's
// source is compiled in here (without its registration objects) to call each hook directly with
// entries of the other views, in both assertion modes.

#include "frame/UtilPlugin.h"

// The table's source without its free factory and registration objects: this binary is not the
// plug-in and registers nothing.
#undef EEDB_TABLE_UTIL
#define EEDB_TABLE_UTIL(Util, factoryFunction, fileObject) static_assert(true)
#include "tables/EedbSrv6TunnelUtil.cc"

#include <cstdint>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "asic/OrderedTableException.h"
#include "zuri_asic_utils/TableManager.h"

namespace {

using chip26_a0::EedbHwMdb;
using chip26_a0::ZuriErrmUtil::EedbSrv6TunnelUtil;
using ::testing::MatchesRegex;
using LogEntry = ZuriErrm::EedbSrv6LogEntry;

class Srv6ViewCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    util_ = EedbSrv6TunnelUtil::create(
        ZuriAsicUtils::UtilKey{Pelix::String(EedbSrv6TunnelUtil::kName),
                               ZuriErrm::EedbSrv6Constants::swTableId,
                               Hardware::Zuri::FapRevision::fapRevGen3A0()},
        Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
  }

  static LogEntry entryOfView(std::uint8_t viewType) {
    LogEntry e;
    e.keyIs(ZuriErrm::EedbSrv6EntryKey(0x10));
    e.viewTypeIs(ZuriErrm::EedbSrv6View(viewType));
    return e;
  }

  // Calls the hook of Format directly, then under its guard; returns the assertion's text and
  // checks that the guard adds its context and that the hook left the entry as initialised.
  template <class Format>
  std::string hookText(std::uint8_t viewType) {
    LogEntry logEntry = entryOfView(viewType);
    Format hwEntry{EedbHwMdb::EntryKey(0x10)};
    hwEntry.handleInitialized();
    Format const initialised = hwEntry;
    std::string text;
    try {
      util_->doSetHwEntry(Asic::UnitId(0x0102), logEntry, hwEntry);
      ADD_FAILURE() << "no assertion";
    } catch (Asic::GracefulAssertException const& e) {
      text = e.what();
    }
    EXPECT_EQ(EedbHwMdb::Entry(hwEntry), EedbHwMdb::Entry(initialised));
    try {
      ZuriAsicUtils::UtilAccessor<EedbSrv6TunnelUtil const>(util_.get())
          .userDefinedDoSetHwEntry(Asic::UnitId(0x0102), logEntry, hwEntry);
      ADD_FAILURE() << "no failure under the guard";
    } catch (Asic::OrderedTableException const& e) {
      EXPECT_EQ(e.what(),
                fmt::format("userDefinedDoSetHwEntry: [unitId: 0x0102], [logEntry: {}], [hwEntry: "
                            "{}]: {}",
                            logEntry, EedbHwMdb::Entry(hwEntry), text));
    }
    return text;
  }

  Pelix::Ptr<EedbSrv6TunnelUtil> util_;
};

std::string assertion(std::string const& condition) {
  return "AssertionError at .*/tables/EedbSrv6TunnelUtil\\.cc:[0-9]+ \\(" + condition +
         "\\) - invalid viewType";
}

TEST_F(Srv6ViewCheck, EachHookRefusesEveryOtherView) {
  ASSERT_EQ(Asic::mode, 0);
  // The condition names the hook's own view; 3 is no view at all.
  auto const srv6 =
      assertion(R"(swEntry\.viewType\(\) == ZuriErrm::EedbSrv6View::etpsSrv6150\(\))");
  auto const dataSid =
      assertion(R"(swEntry\.viewType\(\) == ZuriErrm::EedbSrv6View::etpsDataSid150\(\))");
  auto const raw =
      assertion(R"(swEntry\.viewType\(\) == ZuriErrm::EedbSrv6View::etpsIpv6TunnelRaw150\(\))");
  for (std::uint8_t view : {1, 2, 3}) {
    EXPECT_THAT(hookText<chip26_a0::ZuriErrmUtil::Srv6>(view), MatchesRegex(srv6));
  }
  for (std::uint8_t view : {0, 2, 3}) {
    EXPECT_THAT(hookText<chip26_a0::ZuriErrmUtil::DataSid>(view), MatchesRegex(dataSid));
  }
  for (std::uint8_t view : {0, 1, 3}) {
    EXPECT_THAT(hookText<chip26_a0::ZuriErrmUtil::Ipv6TunnelRaw>(view), MatchesRegex(raw));
  }
}

TEST_F(Srv6ViewCheck, HookOfItsOwnViewPasses) {
  LogEntry logEntry = entryOfView(2);
  chip26_a0::ZuriErrmUtil::Ipv6TunnelRaw hwEntry{EedbHwMdb::EntryKey(0x10)};
  hwEntry.handleInitialized();
  util_->doSetHwEntry(Asic::UnitId(0), logEntry, hwEntry);
  EXPECT_EQ(hwEntry.statObjectCmd(), U5(3));
}

TEST_F(Srv6ViewCheck, AssertionModeOneIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Asic::mode = 1;
        LogEntry logEntry = entryOfView(0);
        chip26_a0::ZuriErrmUtil::DataSid hwEntry{EedbHwMdb::EntryKey(0x10)};
        hwEntry.handleInitialized();
        util_->doSetHwEntry(Asic::UnitId(0), logEntry, hwEntry);
      },
      "%ASSERT: .*EedbSrv6TunnelUtil\\.cc:[0-9]+ doSetHwEntry: invalid viewType");
}

}  // namespace
