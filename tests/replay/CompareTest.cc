// --compare-plugin and --shrink as a user runs them: the same plug-in compared with itself, a
// build with one rule changed (libeedb26-fodo14.so: EedbOutrif's fodo keeps 14 bits), the
// shrunk stream written. (The options they refuse: usage-errors.txt.)

#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using eedb::replay::testing::Outcome;
using eedb::replay::testing::slurp;

using CompareTest = eedb::replay::testing::ToolFixture;

// The two builds part on lines 2 and 5 only: 16384 keeps bit 14 or loses it, and 40000 is cut
// to 7232 by both, but each note names its own rule. The other lines take no value that 14 bits
// do not hold (the delete writes no data).
std::vector<std::string> const kStream = {
    R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 100}})",
    R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "fodo": 16384}})",
    R"({"table": "EedbMplsTunnelTable", "entry": {"key": 3, "viewType": 1}})",
    R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 2, "viewType": 1, "fodo": 16384}})",
    R"({"table": "EedbOutrif", "entry": {"key": 5, "viewType": 1, "fodo": 40000}})",
    R"({"table": "EedbOutrif", "entry": {"key": 6, "viewType": 1, "fodo": 16383}})",
};

TEST_F(CompareTest, TheSamePluginGivesNoDifference) {
  Outcome const o = replay("--compare-plugin " EEDB_PLUGIN_PATH " " + file("s.jsonl", kStream));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_THAT(o.out, HasSubstr("compared 6 lines: 0 differ\n"));
  EXPECT_THAT(o.out, Not(HasSubstr("line ")));
}

TEST_F(CompareTest, ABuildWithOneRuleChangedDiffersOnExactlyTheLinesItChanges) {
  std::string const stream = file("s.jsonl", kStream);
  Outcome const text = replay("--compare-plugin " EEDB_FODO14_PLUGIN_PATH " " + stream);
  EXPECT_EQ(text.status, 1) << text.err;
  EXPECT_THAT(text.out, HasSubstr("line 2: differs\n  EedbOutrifUtil shadow.fields.fodo\n"
                                  "    A 16384\n    B 0\n"));
  EXPECT_THAT(text.out, HasSubstr("compared 6 lines: 2 differ, the first at line 2\n"));

  Outcome const json =
      replay("--format json --compare-plugin " EEDB_FODO14_PLUGIN_PATH " " + stream);
  EXPECT_EQ(json.status, 1);
  std::vector<std::string> lines;
  std::istringstream in(json.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << json.out;
  EXPECT_THAT(lines[0], HasSubstr(R"({"compare": {"line": 2, "plugins": [{"path": ")"));
  EXPECT_THAT(lines[0], HasSubstr(R"({"member": "EedbOutrifUtil shadow.fields.fodo", )"
                                  R"("values": [16384, 0]})"));
  EXPECT_THAT(lines[0], HasSubstr(R"("path": ")" EEDB_FODO14_PLUGIN_PATH R"(", "version": ")"));
  EXPECT_THAT(lines[1], HasSubstr(R"({"compare": {"line": 5, )"));
  EXPECT_THAT(lines[2], HasSubstr(R"({"compared": {"lines": 6, "differing": 2, )"
                                  R"("first": {"line": 2}, "plugins": [)"));
}

TEST_F(CompareTest, ShrinkWritesTheLinesKeptAndSaysWhichFailure) {
  std::vector<std::string> stream = kStream;
  stream.insert(stream.begin() + 3,
                R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "mtuProfile": 16}})");
  std::string const in = file("s.jsonl", stream);
  Outcome const o = replay("--shrink " + dir_ + "/small.jsonl " + in);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_THAT(o.out, HasSubstr("shrink: kept 1 of 7 lines in " + dir_ + "/small.jsonl"));
  EXPECT_THAT(o.out, HasSubstr("failure kept: line 4: EedbOutrifUtil raised "));
  EXPECT_EQ(slurp(dir_ + "/small.jsonl"), stream[3] + "\n");

  Outcome const json = replay("--format json --shrink " + dir_ + "/small.jsonl " + in);
  EXPECT_THAT(json.out, HasSubstr(R"({"shrink": {"lines": 7, "kept": 1, "members": 0, "out": ")"));
  EXPECT_THAT(json.out, HasSubstr(R"("failure": {"kind": "line", "line": 4, "what": )"));

  // A stream that does not fail: nothing to shrink, nothing written.
  Outcome const clean =
      replay("--shrink " + dir_ + "/none.jsonl " + file("ok.jsonl", {kStream[0]}));
  EXPECT_EQ(clean.status, 1);
  EXPECT_THAT(clean.out, HasSubstr("does not fail: nothing to shrink"));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/none.jsonl"));
}

}  // namespace
