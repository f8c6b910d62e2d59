// --shrink: streams with a failure planted among lines that have nothing to do with it shrink to
// exactly the lines the failure needs, and keep the failure the whole stream shows first; the
// tool writes the lines kept. (--compare-plugin is golden.text's; the options that do not go
// with either, usage-errors.txt's.)

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Shrink.h"

namespace {

using namespace eedb::replay;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// 300 lines that replay cleanly: EedbOutrif keys 100 to 249, EedbMplsTunnelTable keys 2000 to
// 2149, interleaved.
std::vector<std::string> filler() {
  std::vector<std::string> lines;
  for (int i = 0; i < 150; ++i) {
    lines.push_back(fmt::format(
        R"({{"table": "EedbOutrif", "entry": {{"key": {}, "viewType": 1, "fodo": {}}}}})", 100 + i,
        i));
    lines.push_back(fmt::format(
        R"({{"table": "EedbMplsTunnelTable", "entry": {{"key": {}, "viewType": 1}}}})", 2000 + i));
  }
  return lines;
}

TEST(Shrink, APlantedFailureShrinksToExactlyTheLinesItNeeds) {
  struct Planted {
    std::size_t at;
    std::string line;
  };
  struct Case {
    std::string_view name;
    bool strict;
    std::vector<Planted> planted;
    std::vector<std::size_t> kept;  // indices in the stream with the planted lines in place
    std::string_view what;          // a part of the failure kept; empty: none
    std::map<std::size_t, std::string> rewritten = {};  // lines kept with members taken out
  };
  std::string const outrif4096 =
      R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1}})";
  std::string const mpls4096 =
      R"({"table": "EedbMplsTunnelTable", "entry": {"key": 4096, "viewType": 1}})";
  Case const cases[] = {
      // Members the failure shows without go too: the unit is the default one, and the
      // exception's text shows remarkProfile 0 without it; fodo 5 is in the text.
      {"raises on its own",
       false,
       {{150, R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "entry": {"key": 7, )"
              R"("viewType": 1, "mtuProfile": 16, "remarkProfile": 0, "fodo": 5}})"}},
       {150},
       "EedbOutrifUtil raised Asic::OrderedTableException",
       {{150,
         R"({"table":"EedbOutrif","entry":{"key":7,"viewType":1,"mtuProfile":16,"fodo":5}})"}}},
      {"refused as input",
       false,
       {{30, R"({"table": "EedbOutRif", "entry": {"key": 7}})"}},
       {30},
       "refused: unknown table 'EedbOutRif'",
       {{30, R"({"table":"EedbOutRif"})"}}},
      {"unmet expectation",
       false,
       {{299, R"({"table": "EedbOutrif", "entry": {"key": 9, "viewType": 1, "fodo": 7}, )"
              R"("expect": {"fields": {"fodo": 8}}})"}},
       {299},
       "unmet: field 'fodo' is 7, not 8",
       {{299, R"({"table":"EedbOutrif","entry":{"viewType":1,"fodo":7},)"
              R"("expect":{"fields":{"fodo":8}}})"}}},
      // The entry of another software table under the same key: the line that wrote it and the
      // line that overwrites it.
      {"overwrite under --strict, same key",
       true,
       {{40, outrif4096}, {170, mpls4096}},
       {40, 170},
       "--strict: EedbMplsTunnelTableUtil overwrites EedbOutrifUtil's entry"},
      // The key written differently by each table: delta debugging finds the writer.
      {"overwrite under --strict, another table's key",
       true,
       {{60, mpls4096},
        {180, R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 4096, "dipOutlif": 0}, )"
              R"("viewType": 0, "dip": "10.1.2.3"}})"}},
       {60, 180},
       "overwrites EedbMplsTunnelTableUtil's entry",
       {{180, R"({"table":"EedbIpTunnel","entry":{"key":{"outlif":4096,"dipOutlif":0}}})"}}},
      // Two failures: the first one the stream shows is kept.
      {"the first failure",
       false,
       {{20, R"({"table": "EedbOutrif", "entry": {"key": 8, "viewType": 1, "remarkProfile": 32}})"},
        {10, R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "mtuProfile": 16}})"}},
       {10},
       "mtuProfile"},
      {"no failure", false, {}, {}, ""},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> stream = filler();
    for (Planted const& p : c.planted) {
      stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(p.at), p.line);
    }
    StreamLines lines;
    for (std::size_t i = 0; i < stream.size(); ++i) lines.add(stream[i], 0, i + 1);
    lines.seal();
    ShrinkResult const result =
        shrink(eedb::replay::testing::config(), RunSettings{c.strict, false, false}, lines);
    if (c.what.empty()) {
      EXPECT_EQ(result.failure.kind, Failure::Kind::none);
      EXPECT_THAT(result.kept, IsEmpty());
      continue;
    }
    EXPECT_EQ(result.failure.kind, Failure::Kind::line);
    EXPECT_THAT(result.failure.what, HasSubstr(c.what));
    EXPECT_THAT(result.kept, ElementsAreArray(c.kept));
    EXPECT_EQ(result.rewritten, c.rewritten);
  }
}

using ShrinkTool = eedb::replay::testing::ToolFixture;

// --shrink as a user runs it: the shrunk stream written, and nothing written for a stream that
// does not fail. Lines of two tables, a delete among them, that all replay:
std::vector<std::string> const kStream = {
    R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 100}})",
    R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "fodo": 16384}})",
    R"({"table": "EedbMplsTunnelTable", "entry": {"key": 3, "viewType": 1}})",
    R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 2, "viewType": 1, "fodo": 16384}})",
    R"({"table": "EedbOutrif", "entry": {"key": 5, "viewType": 1, "fodo": 40000}})",
    R"({"table": "EedbOutrif", "entry": {"key": 6, "viewType": 1, "fodo": 16383}})",
};

TEST_F(ShrinkTool, WritesTheLinesKeptAndSaysWhichFailure) {
  std::vector<std::string> stream = kStream;
  stream.insert(stream.begin() + 3,
                R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "mtuProfile": 16}})");
  std::string const in = file("s.jsonl", stream);
  eedb::replay::testing::Outcome const o = replay("--shrink " + dir_ + "/small.jsonl " + in);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_THAT(o.out, HasSubstr("shrink: kept 1 of 7 lines in " + dir_ + "/small.jsonl"));
  EXPECT_THAT(o.out, HasSubstr("failure kept: line 4: EedbOutrifUtil raised "));
  EXPECT_EQ(eedb::replay::testing::slurp(dir_ + "/small.jsonl"), stream[3] + "\n");

  eedb::replay::testing::Outcome const json =
      replay("--format json --shrink " + dir_ + "/small.jsonl " + in);
  EXPECT_THAT(json.out, HasSubstr(R"({"shrink": {"lines": 7, "kept": 1, "members": 0, "out": ")"));
  EXPECT_THAT(json.out, HasSubstr(R"("failure": {"kind": "line", "line": 4, "what": )"));

  // A stream that does not fail: nothing to shrink, nothing written.
  eedb::replay::testing::Outcome const clean =
      replay("--shrink " + dir_ + "/none.jsonl " + file("ok.jsonl", {kStream[0]}));
  EXPECT_EQ(clean.status, 1);
  EXPECT_THAT(clean.out, HasSubstr("does not fail: nothing to shrink"));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/none.jsonl"));
}

}  // namespace
