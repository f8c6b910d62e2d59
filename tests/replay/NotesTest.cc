// What an entry programmed other than its line asked, though it succeeded: input values that a
// cut does not keep whole, entries of another software table overwritten or deleted in the shared
// EEDB; --strict failing on them, --quiet still showing every failure, and the summary saying
// whether the stream did what it expects.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Session.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using eedb::replay::Session;
using namespace eedb::replay::testing;

// Every lossy note of an offer, as "field input->programmed/bits", in order.
std::string notesOf(Session& session, std::string const& text) {
  std::string out;
  for (auto const& r : session.offer(parseLine(text), false)) {
    EXPECT_FALSE(r.error) << text << "\n" << r.error->message;
    for (auto const& n : r.lossy) {
      out += fmt::format("{}{} {} {}->{}/{}", out.empty() ? "" : "; ", shortUtil(r.util), n.field,
                         n.input, n.programmed, n.lowBits);
    }
  }
  return out;
}

// Cut rules, at the bits they keep and one beyond; a copy of the same field in another view, a
// delete and a checked field never note anything.
TEST(LossyNotes, EveryCutThatDropsBitsAndNothingElse) {
  struct Case {
    char const* line;
    char const* notes;
  } const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 40000}})",
       "EedbOutrifUtil fodo 40000->7232/15"},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 32767}})", ""},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 32768}})",
       "EedbOutrifUtil fodo 32768->0/15"},
      {R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 1, "viewType": 1, "fodo": 40000}})",
       ""},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 2, "viewType": 1, "label1": 1048677}})",
       "EedbMplsTunnelTableUtil label1 1048677->101/20"},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 2, "viewType": 1, "label1": 1048575}})",
       ""},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 3}, "viewType": 0, "lifAhp": 13, "dip": "10.1.2.3"}})",
       "EedbIpTunnelUtil lifAhp 13->1/2"},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 3}, "viewType": 1, "lifAhp": 13, "dip": "10.1.2.3"}})",
       ""},
      {R"({"table": "EedbArpTable", "entry": {"key": 1048581, "viewType": 2}})",
       "EedbArpTableUtil key 1048581->5/20"},
  };
  Session session(config());
  for (auto const& c : cases) EXPECT_EQ(notesOf(session, c.line), c.notes) << c.line;
}

// Tables share the EEDB: an entry of another software table overwritten or deleted under its
// key is noted with the table utility that wrote it; the utilities of one software table take
// turns on a key without a note.
TEST(OverwriteNotes, AnotherSoftwareTablesEntryButNotASiblings) {
  Session session(config());
  auto const overwrites = [&](std::string const& text) {
    std::string out;
    for (auto const& r : session.offer(parseLine(text), false)) {
      if (r.overwrites) {
        out += fmt::format("{} {} {} ({})", shortUtil(r.util),
                           r.overwrites->deleted ? "deletes" : "overwrites", r.overwrites->name,
                           r.overwrites->format);
      }
    }
    return out;
  };
  struct Case {
    char const* line;
    char const* note;
  } const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1}})", ""},
      {R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1, "fodo": 3}})", ""},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 4096, "viewType": 1}})",
       "EedbMplsTunnelTableUtil overwrites EedbOutrifUtil (EedbRifBasicEtpsEthRif60Entry)"},
      {R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 4096, "viewType": 1}})",
       "EedbOutrifUtil deletes EedbMplsTunnelTableUtil (EedbMplsTunnelEtpsMpls190Entry)"},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 4096, "viewType": 1}})", ""},
      // Other FAPs and instances are other places.
      {R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 1}, "entry": {"key": 4096, "viewType": 1}})",
       ""},
      // An IP tunnel key that changes view moves to the sibling table utility.
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 8192}, "viewType": 0, "dip": "10.1.2.3"}})",
       ""},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, "viewType": 3, "dip": "2001:db8::1"}})",
       ""},
      {R"({"table": "EedbIpTunnel", "delete": true, "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, "viewType": 3}})",
       ""},
  };
  for (auto const& c : cases) EXPECT_EQ(overwrites(c.line), c.note) << c.line;
}

class StrictAndQuiet : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/eedb-notes-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  Outcome run(std::string const& args, std::string const& input) {
    std::ofstream(dir_ + "/in") << input;
    std::string const command = std::string(EEDB_REPLAY_TOOL) + " --plugin " + EEDB_PLUGIN_PATH +
                                " " + args + " < " + dir_ + "/in > " + dir_ + "/out 2> " + dir_ +
                                "/err";
    int const raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ + "/out"), slurp(dir_ + "/err")};
  }

  std::string dir_;
};

constexpr char kLossy[] =
    R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 40000}})"
    "\n";
constexpr char kOverwrite[] =
    R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1}})"
    "\n"
    R"({"table": "EedbMplsTunnelTable", "entry": {"key": 4096, "viewType": 1}})"
    "\n";

// A note is a note: exit 0, both forms carry it, the summary counts it; --strict fails the line
// unless its expectation names the field, and an expectation of a cut that kept everything
// differs.
TEST_F(StrictAndQuiet, StrictFailsOnNotesThatNoExpectationNames) {
  Outcome r = run("-", kLossy);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_THAT(r.out,
              HasSubstr("\n           note    fodo 40000 programmed as 7232 (low 15 bits)\n"));
  EXPECT_THAT(r.out, HasSubstr("0 errors, 1 lossy value\n"));
  r = run("--format json -", kLossy);
  EXPECT_THAT(
      r.out,
      HasSubstr(
          R"json(, "lossy": [{"field": "fodo", "input": 40000, "programmed": 7232, "rule": "cut to fodo (low 15 bits)"}], "error": null})json"));
  EXPECT_THAT(r.out, HasSubstr(R"("lossy": 1, "overwrites": 0, "passed": true, )"));

  struct Case {
    std::string input;
    int status;
    std::string shown;
  } const cases[] = {
      {kLossy, 1,
       "line 1     expect: {} differs: --strict: fodo 40000 programmed as 7232 (low 15 bits)\n"},
      {kOverwrite, 1,
       "line 2     expect: {} differs: --strict: EedbMplsTunnelTableUtil overwrites "
       "EedbOutrifUtil's entry (format EedbRifBasicEtpsEthRif60Entry)\n"},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 40000}, "expect": {"lossy": ["fodo"]}})"
       "\n",
       0, ""},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 400}, "expect": {"lossy": ["fodo"]}})"
       "\n",
       1, R"(differs: field 'fodo' was programmed as given)"},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 40000}, "expect": {"util": "EedbOutrifUtil", "lossy": ["key"]}})"
       "\n",
       1, "differs: field 'key' was programmed as given"},
  };
  for (auto const& c : cases) {
    r = run("--strict --quiet -", c.input);
    EXPECT_EQ(r.status, c.status) << c.input << r.out;
    EXPECT_THAT(r.out, HasSubstr(c.shown)) << c.input;
    EXPECT_EQ(r.out.find("passed"), std::string::npos);
  }
  r = run("--strict --format json --quiet -", kLossy);
  EXPECT_THAT(
      r.out,
      HasSubstr(R"json("differs": "--strict: fodo 40000 programmed as 7232 (low 15 bits)"})json"));
  EXPECT_THAT(r.out, HasSubstr(R"("passed": false, )"));
}

// --quiet hides what went as asked, never a failure: each keeps its line (text) or record
// (JSON), and the summary says whether the stream passed.
TEST_F(StrictAndQuiet, QuietShowsEveryFailure) {
  std::string const input =
      std::string(kLossy) + "not json\n" +
      R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "mtuProfile": 16}})"
      "\n"
      R"({"table": "EedbOutrif", "entry": {"key": 3, "viewType": 1}, "expect": {"applicable": false}})"
      "\n" +
      kOverwrite;
  Outcome r = run("--quiet -", input);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.out, Not(HasSubstr("line 1 ")));  // lossy, without --strict: a success
  EXPECT_THAT(r.out, HasSubstr("line 2     rejected: "));
  EXPECT_THAT(r.out, HasSubstr("line 3     EedbOutrifUtil  raised Asic::OrderedTableException\n"));
  EXPECT_THAT(r.out, HasSubstr("line 4     expect: {\"applicable\":false} differs: "));
  EXPECT_THAT(r.out, Not(HasSubstr("line 5 ")));
  EXPECT_THAT(r.out, HasSubstr("line 6     EedbMplsTunnelTableUtil  applicable, "));
  EXPECT_THAT(r.out, HasSubstr("note    overwrites EedbOutrifUtil's entry (format "
                               "EedbRifBasicEtpsEthRif60Entry)\n"));
  EXPECT_THAT(r.out, HasSubstr(", 1 lossy value, 1 overwrite\n"));

  r = run("--quiet --format json -", input);
  std::vector<std::string> lines;
  std::istringstream stream(r.out);
  for (std::string l; std::getline(stream, l);) lines.push_back(l);
  using ::testing::StartsWith;
  EXPECT_THAT(lines,
              ::testing::ElementsAre(StartsWith(R"({"line": 2, "error": {"type": "input", )"),
                                     StartsWith(R"({"line": 3, "util": )"),
                                     StartsWith(R"({"line": 4, "expect": {"applicable":false)"),
                                     StartsWith(R"({"line": 6, "util": )"),
                                     StartsWith(R"({"summary": {"lines": 6, "rejected": 1, )")));
  EXPECT_THAT(
      r.out,
      HasSubstr(
          R"("errors": 1, "expected": 1, "unmet": 1, "lossy": 1, "overwrites": 1, "passed": false, )"));
  EXPECT_THAT(run("--quiet --format json -", kLossy).out, HasSubstr(R"("passed": true, )"));
}

// An expectation covers the failures it names, not a sibling's: an IP tunnel line whose
// EedbIpTunnelUtil raises fails, though the expectation about EedbIpTunnelNonAiUtil holds.
TEST_F(StrictAndQuiet, AnExpectationDoesNotHideASiblingsFailure) {
  std::string const line =
      R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dipOutlif": "0x100000"}, "viewType": 2, "dip": "2001:db8::1"}, "expect": {"util": "EedbIpTunnelNonAiUtil", "applicable": false}})"
      "\n";
  Outcome const r = run("--quiet -", line);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_THAT(r.out, HasSubstr("differs: EedbIpTunnelUtil raised: "));
}

}  // namespace
