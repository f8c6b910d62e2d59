// --shrink as a user runs it: the shrunk stream written, and nothing written for a stream that
// does not fail. (--compare-plugin against the plug-in itself and against a build with one rule
// changed, in both forms: golden.text; the options they refuse: usage-errors.txt.)

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

// Lines of two tables, a delete among them, that all replay.
std::vector<std::string> const kStream = {
    R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 100}})",
    R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "fodo": 16384}})",
    R"({"table": "EedbMplsTunnelTable", "entry": {"key": 3, "viewType": 1}})",
    R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 2, "viewType": 1, "fodo": 16384}})",
    R"({"table": "EedbOutrif", "entry": {"key": 5, "viewType": 1, "fodo": 40000}})",
    R"({"table": "EedbOutrif", "entry": {"key": 6, "viewType": 1, "fodo": 16383}})",
};

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
