// A replay driven in-process: what each line came to is data (refused, offers, how it differs,
// whether it fails), the counts add up to the exit status, and each run has table utilities of
// its own.

#include <algorithm>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Run.h"

namespace {

using namespace eedb::replay;
using eedb::replay::testing::feed;
using ::testing::HasSubstr;

TEST(ReplayRun, EachLinesOutcomeIsDataAndTheCountsDecideThePass) {
  struct Case {
    std::string_view line;
    std::string_view rejected;  // a part of the reason; empty: offered
    std::string_view differs;   // a part of it; empty: none
    bool unforeseen;
  };
  Case const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1, "fodo": 100}})", "", "",
       false},
      {R"({"table": "EedbOutRif", "entry": {"key": 1}})", "unknown table 'EedbOutRif'", "", true},
      {R"({"table": "EedbOutRif", "expect": {"rejected": "unknown table"}})", "unknown table", "",
       false},
      {R"({"table": "EedbOutrif", "entry": {"key": 4097, "viewType": 1, "mtuProfile": 16}, )"
       R"("expect": {"error": "Casting values"}})",
       "", "", false},
      {R"({"table": "EedbOutrif", "entry": {"key": 4097, "viewType": 1, "mtuProfile": 16}})", "",
       "", true},
      {R"({"table": "EedbOutrif", "entry": {"key": 4098, "viewType": 1, "fodo": 7}, )"
       R"("expect": {"fields": {"fodo": 8}}})",
       "", "field 'fodo' is 7, not 8", false},
      // --strict: a lossy note that no expectation names fails the line; one it names does not.
      {R"({"table": "EedbOutrif", "entry": {"key": 4099, "viewType": 1, "fodo": 40000}})", "",
       "--strict: fodo 40000 programmed as 7232", true},
      {R"({"table": "EedbOutrif", "entry": {"key": 4100, "viewType": 1, "fodo": 40000}, )"
       R"("expect": {"lossy": ["fodo"]}})",
       "", "", false},
  };
  auto const printer = makePrinter(Form::json);
  printer->quietIs(true);
  eedb::replay::Run run(eedb::replay::testing::config(), *printer, RunSettings{true, true, false});
  std::size_t number = 0;
  for (auto const& c : cases) {
    LineOutcome const& outcome = feed(run, c.line, ++number);
    EXPECT_EQ(outcome.number, number);
    EXPECT_THAT(outcome.rejected, HasSubstr(std::string(c.rejected))) << c.line;
    EXPECT_EQ(outcome.rejected.empty(), c.rejected.empty()) << c.line;
    EXPECT_EQ(outcome.offers.empty(), !c.rejected.empty()) << c.line;
    EXPECT_THAT(outcome.differs, HasSubstr(std::string(c.differs))) << c.line;
    EXPECT_EQ(outcome.differs.empty(), c.differs.empty()) << c.line << ": " << outcome.differs;
    EXPECT_EQ(outcome.unforeseen, c.unforeseen) << c.line;
  }
  Summary const& summary = run.finish(true);
  EXPECT_EQ(summary.lines, std::size(cases));
  EXPECT_EQ(summary.rejected, 2u);
  EXPECT_EQ(summary.expected, 4u);
  EXPECT_EQ(summary.unmet, 1u);
  EXPECT_EQ(summary.unforeseen, 3u);
  EXPECT_EQ(summary.differences, 0u);  // --verify: the chip model holds what the shadow does
  EXPECT_FALSE(summary.passed);
  EXPECT_THAT(std::string(printer->text()), HasSubstr(R"(, "differences": 0}})"));
  EXPECT_THAT(std::string(printer->text()), HasSubstr(R"("passed": false)"));
}

// Each run starts on table utilities of its own: the counts of one run are not the next's.
TEST(ReplayRun, EveryRunHasTableUtilitiesOfItsOwn) {
  for (int i = 0; i < 2; ++i) {
    auto const printer = makePrinter(Form::text);
    eedb::replay::Run run(eedb::replay::testing::config(), *printer, RunSettings{});
    feed(run, R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1, "fodo": 100}})", 1);
    Summary const& summary = run.finish(true);
    EXPECT_TRUE(summary.passed) << printer->text();
    auto const outrif =
        std::find_if(summary.utils.begin(), summary.utils.end(),
                     [](UtilCounts const& u) { return u.shortName == "EedbOutrifUtil"; });
    ASSERT_NE(outrif, summary.utils.end());
    EXPECT_EQ(outrif->add, 1u);
    EXPECT_THAT(std::string(printer->text()), HasSubstr("summary: 1 line, 0 rejected"));
  }
}

}  // namespace
