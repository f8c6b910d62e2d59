// What a replay shows of each line: only the records that --show asks for, with the summary of
// everything; an entry that a sibling table utility wrote is shown once, under the offer that
// wrote it.

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Run.h"
#include "ShowFilter.h"

namespace {

using namespace eedb::replay;
using eedb::replay::testing::feed;
using ::testing::HasSubstr;

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// An IP tunnel line is offered to the four table utilities of its table, which share the EEDB:
// the one that wrote the entry shows it (with --bits its diagram), the siblings that were not
// applicable point to it; a sibling's delete is pointed to in the same way.
TEST(ReplayShow, AnEntryASiblingWroteIsShownOnceUnderItsOffer) {
  auto const printer = makePrinter(Form::text);
  printer->bitsIs(true);
  eedb::replay::Run run(eedb::replay::testing::config(), *printer, RunSettings{});
  LineOutcome const& written =
      feed(run,
           R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 4096, "dipOutlif": 0}, )"
           R"("viewType": 0, "dip": "10.1.2.3"}})",
           1);
  ASSERT_EQ(written.offers.size(), 4u);
  for (OfferResult const& offer : written.offers) {
    EXPECT_EQ(offer.shownUnder, offer.name == "EedbIpTunnelNonAiUtil" ? "EedbIpTunnelUtil" : "")
        << offer.name;
  }
  std::string const text(printer->text());
  EXPECT_EQ(count(text, "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry"), 1u) << text;
  EXPECT_EQ(count(text, "ipv4Dip=10.1.2.3"), 1u) << text;
  EXPECT_EQ(count(text, "bits 0-31  0x"), 1u) << text;  // one diagram
  EXPECT_THAT(text, HasSubstr("EedbIpTunnelNonAiUtil  not applicable: view 0 is not one of this "
                              "table utility's views (3)\n           shadow  fap 0 instance 0 key "
                              "4096: shown under EedbIpTunnelUtil\n"));

  // The IPv6 DIP entry of view 2, written, then deleted: the sibling of the other views reads
  // it back before the delete and points to the table utility that deletes it.
  std::string_view const v6 =
      R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, )"
      R"("viewType": 2, "dip": "2001:db8::1"}})";
  feed(run, v6, 2);
  std::string deleteLine(v6);
  deleteLine.insert(1, R"("delete": true, )");
  LineOutcome const& deleted = feed(run, deleteLine, 3);
  auto const* nonAi = eedb::replay::testing::resultOf(deleted.offers, "EedbIpv6TunnelDipNonAiUtil");
  ASSERT_NE(nonAi, nullptr);
  EXPECT_TRUE(nonAi->shadowRead);
  EXPECT_EQ(nonAi->shownUnder, "EedbIpv6TunnelDipUtil");
  auto const* writer = eedb::replay::testing::resultOf(deleted.offers, "EedbIpv6TunnelDipUtil");
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(writer->applicable);
  EXPECT_TRUE(writer->shownUnder.empty());

  // A key that no sibling of the line wrote: the entry read back is shown where it is read.
  LineOutcome const& other =
      feed(run,
           R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 4096, "dipOutlif": 0}, )"
           R"("viewType": 4, "dip": "2001:db8::4"}})",
           4);
  for (OfferResult const& offer : other.offers) EXPECT_TRUE(offer.shownUnder.empty()) << offer.name;
  EXPECT_TRUE(run.finish(true).passed) << printer->text();
}

// Lines of several tables and FAPs that succeed, leave a note, raise, are rejected, overwrite
// another table's entry and miss their expectation.
constexpr std::string_view kStream[] = {
    R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 5}})",
    R"({"table": "EedbOutrif", "unit": {"fap": 2, "instance": 0}, "entry": {"key": 2, )"
    R"("viewType": 1, "fodo": 40000}})",
    R"({"table": "EedbOutrif", "entry": {"key": 3, "viewType": 1, "mtuProfile": 16}})",
    R"({"table": "Nope", "entry": {"key": 4}})",
    R"({"table": "EedbOutrif", "entry": {"nope": 5}})",
    R"({"table": "EedbMplsTunnelTable", "entry": {"key": 1, "viewType": 1}})",
    R"({"table": "EedbIpTunnel", "unit": {"fap": 1, "instance": 0}, "entry": {"key": )"
    R"({"outlif": 4096, "dipOutlif": 0}, "viewType": 0, "dip": "10.1.2.3"}})",
    R"({"table": "EedbOutrif", "entry": {"key": 8, "viewType": 1, "fodo": 7}, )"
    R"("expect": {"fields": {"fodo": 8}}})",
};

struct Replayed {
  std::vector<std::string> records;  // "LINE NAME" per offer, "LINE rejected:", "LINE expect:"
  std::string summary;               // the summary as printed
};

Replayed replay(std::vector<std::string_view> const& filters, bool quiet = false) {
  auto const printer = makePrinter(Form::text);
  printer->quietIs(quiet);
  eedb::replay::Run run(eedb::replay::testing::config({0, 1, 2, 3}), *printer, RunSettings{});
  ShowFilter show;
  for (auto filter : filters) show.add(filter);
  run.showOnly(std::move(show));
  std::size_t number = 0;
  for (auto line : kStream) feed(run, line, ++number);
  run.finish(true);
  Replayed replayed;
  std::istringstream text{std::string(printer->text())};
  std::regex const head(R"(^line (\d+) +(\S+).*)");
  for (std::string line; std::getline(text, line);) {
    std::smatch m;
    if (std::regex_match(line, m, head)) {
      replayed.records.push_back(m[1].str() + " " + m[2].str());
    } else if (line.starts_with("summary:") || !replayed.summary.empty()) {
      replayed.summary += line + "\n";
    }
  }
  return replayed;
}

// Every key, ranges at their bounds, a key repeated (any of its values) and keys combined (all
// of them), --quiet beside failed: the cases of tests/replay/show-filters.txt. The summary is the
// same whatever is shown.
TEST(ReplayShow, FiltersChooseTheRecordsPrintedAndNeverTheSummary) {
  std::string const summary = replay({}).summary;
  EXPECT_THAT(summary, HasSubstr("summary: 8 lines, 2 rejected, 9 offers, 1 error, 1 expectation, "
                                 "1 unmet, 1 lossy value, 1 overwrite"));
  std::ifstream list(EEDB_REPLAY_TESTS_DIR "/show-filters.txt");
  ASSERT_TRUE(list.is_open());
  std::size_t checked = 0;
  for (std::string text; std::getline(list, text);) {
    if (text.empty() || text.starts_with('#')) continue;
    auto const arrow = text.find("=> ");
    std::istringstream words(text.substr(0, arrow));
    std::vector<std::string> filters;
    bool quiet = false;
    for (std::string word; words >> word;) {
      if (word == "--quiet") {
        quiet = true;
      } else {
        filters.push_back(word);
      }
    }
    Replayed const replayed = replay({filters.begin(), filters.end()}, quiet);
    std::string const records = fmt::format("{}", fmt::join(replayed.records, ", "));
    EXPECT_EQ(records.empty() ? "nothing" : records, text.substr(arrow + 3)) << text;
    EXPECT_EQ(replayed.summary, summary) << text;
    ++checked;
  }
  EXPECT_EQ(checked, 20u);
}

// A malformed filter is refused with its value escaped (the other refusals: refusals.txt); so
// is a table utility that the session does not have, once the session is there. (A misspelt
// key, with the whole list of filters, is golden.text's.)
TEST(ReplayShow, MalformedFiltersAreRefusedNamingTheFilter) {
  try {
    ShowFilter().add("table=\x1b[2J\n");
    ADD_FAILURE() << "an escape sequence was taken";
  } catch (std::invalid_argument const& e) {
    EXPECT_THAT(e.what(), ::testing::StartsWith(
                              "--show table=\\x1b[2J\\n: unknown table '\\x1b[2J\\n' (tables: "));
  }
  ShowFilter fine;
  for (auto filter : {"table=EedbOutrif", "util=Whatever", "fap=0-3,7,128", "lines=1", "failed"}) {
    EXPECT_NO_THROW(fine.add(filter)) << filter;
  }

  auto const printer = makePrinter(Form::text);
  eedb::replay::Run run(eedb::replay::testing::config(), *printer, RunSettings{});
  ShowFilter unknown;
  unknown.add("util=EedbOutrifUtl");
  try {
    run.showOnly(std::move(unknown));
    ADD_FAILURE() << "util=EedbOutrifUtl was taken";
  } catch (SetupError const& e) {
    EXPECT_STREQ(e.what(),
                 "--show util=EedbOutrifUtl: no table utility 'EedbOutrifUtl' on revision 26:A0 "
                 "(did you mean 'EedbOutrifUtil'?)");
  }
}

}  // namespace
