// The view check of the SRv6 tunnel table's per-format hooks. Translation only ever calls the
// hook of the entry's own view, so the check cannot be reached through the plug-in; the table's
// source is compiled in here (without its registration objects) to call each hook directly with
// entries of the other views, in both assertion modes.

#include "frame/UtilPlugin.h"

// This binary is not the plug-in and registers nothing.
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
using LogEntry = ZuriErrm::EedbSrv6LogEntry;
using ::testing::MatchesRegex;

class Srv6ViewCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    util_ = EedbSrv6TunnelUtil::create(
        ZuriAsicUtils::UtilKey{Pelix::String(EedbSrv6TunnelUtil::kName),
                               ZuriErrm::EedbSrv6Constants::swTableId,
                               Hardware::Zuri::FapRevision::fapRevGen3A0()},
        Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
  }

  // Calls the hook of Format with an entry of `viewType`: "" when it passes; otherwise the
  // assertion's text, after checking that the hook left the hardware entry as initialised. (The
  // guard's context around a hook's failure is in the plug-in's conformance matrix.)
  template <class Format>
  std::string hookText(unsigned viewType) {
    LogEntry logEntry;
    logEntry.keyIs(ZuriErrm::EedbSrv6EntryKey(0x10));
    logEntry.viewTypeIs(ZuriErrm::EedbSrv6View(viewType));
    Format hwEntry{EedbHwMdb::EntryKey(0x10)};
    hwEntry.handleInitialized();
    Format const initialised = hwEntry;
    try {
      util_->doSetHwEntry(Asic::UnitId(0x0102), logEntry, hwEntry);
      return "";
    } catch (Asic::GracefulAssertException const& e) {
      EXPECT_EQ(EedbHwMdb::Entry(hwEntry), EedbHwMdb::Entry(initialised));
      return e.what();
    }
  }

  Pelix::Ptr<EedbSrv6TunnelUtil> util_;
};

TEST_F(Srv6ViewCheck, EachHookPassesItsOwnViewAndRefusesEveryOther) {
  ASSERT_EQ(Asic::mode, 0);
  // The hook of each format passes its own view and refuses the others; 3 is no view at all.
  auto const expected = [](unsigned own, unsigned view, std::string const& name) -> std::string {
    if (view == own) return "";
    return "AssertionError at .*/tables/EedbSrv6TunnelUtil\\.cc:[0-9]+ \\(swEntry\\.viewType\\(\\) "
           "== ZuriErrm::EedbSrv6View::" +
           name + "\\(\\)\\) - invalid viewType";
  };
  using namespace chip26_a0::ZuriErrmUtil;
  for (unsigned view = 0; view < 4; ++view) {
    SCOPED_TRACE(view);
    EXPECT_THAT(hookText<Srv6>(view), MatchesRegex(expected(0, view, "etpsSrv6150")));
    EXPECT_THAT(hookText<DataSid>(view), MatchesRegex(expected(1, view, "etpsDataSid150")));
    EXPECT_THAT(hookText<Ipv6TunnelRaw>(view),
                MatchesRegex(expected(2, view, "etpsIpv6TunnelRaw150")));
  }
}

TEST_F(Srv6ViewCheck, AssertionModeOneIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Asic::mode = 1;
        hookText<chip26_a0::ZuriErrmUtil::DataSid>(0);
      },
      "%ASSERT: .*EedbSrv6TunnelUtil\\.cc:[0-9]+ doSetHwEntry: invalid viewType");
}

}  // namespace
