// The replay tool's input: every kind of bad line rejected with its exact reason, the accepted
// forms of units, numbers and flags, line splitting across read blocks, the --faps list.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Input.h"
#include "Options.h"

namespace {

using eedb::replay::LineParser;
using eedb::replay::LineReader;
using eedb::replay::LogLine;
using ::testing::ElementsAre;
using ::testing::StartsWith;
using ZuriErrm::InputError;

// Parses a line held in a padded copy, as LineReader hands lines out.
LogLine parse(std::string_view text) {
  std::string padded(text);
  padded.append(simdjson::SIMDJSON_PADDING, ' ');
  LineParser parser;
  LogLine line;
  parser.parse(std::string_view(padded.data(), text.size()), line);
  return line;
}

std::string rejection(std::string_view text) {
  try {
    parse(text);
  } catch (InputError const& e) {
    return e.what();
  }
  return "accepted";
}

// The reasons the example streams show (tests/golden/*.json: numbers one above a field's storage,
// unknown fields and tables, units out of range, broken JSON) are not repeated here.
TEST(LineParser, RejectsEveryKindOfBadLineWithItsReason) {
  struct {
    char const* line;
    char const* reason;
  } const cases[] = {
      {R"([1, 2])", "a line must be a JSON object"},
      {R"({"entry": {}})", "missing member 'table'"},
      {R"({"table": 5})", "member 'table': 5 is not a text"},
      {R"({"table": "EedbOutrif", "comment": "x"})", "unknown member 'comment'"},
      {R"({"table": "EedbOutrif", "entry": 5})", "member 'entry': 5 is not an object"},
      {R"({"table": "EedbOutrif", "entry": {"fodo": "0x10000"}})",
       "field 'fodo': \"0x10000\" does not fit 16 bits (max 65535)"},
      {R"({"table": "EedbOutrif", "entry": {"fodo": 1.5}})", "field 'fodo': 1.5 is not an integer"},
      {R"({"table": "EedbOutrif", "entry": {"fodo": true}})", "field 'fodo': true is not a number"},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dip": 2}}})",
       "unknown field 'key.dip'"},
      {R"({"table": "EedbOutrif", "unit": {"instance": -1}})",
       "unit: instance -1 is out of range (0 to 255)"},
      {R"({"table": "EedbOutrif", "unit": {"fap": "x"}})", "unit: fap \"x\" is not a number"},
      {R"({"table": "EedbOutrif", "unit": {"fap": 0, "slot": 1}})", "unknown member 'unit.slot'"},
      {R"({"table": "EedbOutrif", "unit": 5})",
       "unit: 5 is not an object {\"fap\": F, \"instance\": I}"},
      {R"({"table": "EedbOutrif", "unitId": "0x10000"})",
       "unitId \"0x10000\" is out of range (0 to 65535)"},
      {R"({"table": "EedbOutrif", "unit": {"fap": 1}, "unitId": 1})",
       "give either 'unit' or 'unitId', not both"},
      {R"({"table": "EedbOutrif", "tableDelete": "yes"})",
       "member 'tableDelete': \"yes\" is not true or false"},
  };
  for (auto const& c : cases) EXPECT_EQ(rejection(c.line), c.reason) << c.line;
  for (char const* line :
       {"not json", "{\"table\": \"EedbOutrif\"} x", "{\"table\": \"EedbOutrif\""}) {
    EXPECT_THAT(rejection(line), StartsWith("not valid JSON: ")) << line;
  }
}

// Hex text at a field's and a unit's limits, both flags, and the defaults of what is left out.
TEST(LineParser, ReadsUnitFlagsAndNumbersInEveryForm) {
  LogLine line = parse(
      R"({"table": "EedbOutrif", "unit": {"fap": "0x80", "instance": 7}, "delete": true,)"
      R"( "tableDelete": true, "entry": {"key": "0xffffffff", "viewType": 1, "fodo": "32767"}})");
  EXPECT_EQ(line.unitId.value(), 0x8007);
  EXPECT_EQ(line.flags, eedb::replay::kDeleteFlag | eedb::replay::kTableDeleteFlag);
  auto const& rif = std::get<ZuriErrm::EedbOutrifLogEntry>(line.entry);
  EXPECT_EQ(rif.key().value(), 0xFFFFFFFFu);
  EXPECT_EQ(rif.fodo(), 32767);
  EXPECT_EQ(rif.mtuProfile(), 0);

  line = parse(R"({"table": "EedbOutrif", "unitId": 65535, "delete": false})");
  EXPECT_EQ(line.unitId.value(), 0xFFFF);
  EXPECT_EQ(line.flags, 0);
  EXPECT_EQ(line.entry, line.table->newEntry());
  EXPECT_EQ(parse(R"({"table": "EedbOutrif"})").unitId.value(), 0);
}

// Writes `data` into a pipe and reads it back in blocks of `block` bytes.
std::vector<std::string> readLines(std::string const& data, std::size_t block) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  EXPECT_EQ(::write(fds[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
  ::close(fds[1]);
  int reads = 0;
  LineReader reader(
      fds[0], [&] { ++reads; }, block);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) {
    lines.emplace_back(line);
    EXPECT_EQ(reader.lineNumber(), lines.size());
  }
  ::close(fds[0]);
  EXPECT_GE(reads, 1);
  return lines;
}

TEST(LineReader, CutsLinesAcrossBlocks) {
  std::string const data = "{\"a\": 1}\r\n\nline three is longer than a block\nlast";
  for (std::size_t block : {3, 7, 64, 1 << 20}) {
    EXPECT_THAT(readLines(data, block),
                ElementsAre("{\"a\": 1}", "", "line three is longer than a block", "last"))
        << "block " << block;
  }
  EXPECT_THAT(readLines("", 4), ElementsAre());
  EXPECT_THAT(readLines("one\n", 4), ElementsAre("one"));
}

TEST(FapList, ReadsIdsAndRanges) {
  using eedb::replay::parseFapList;
  EXPECT_THAT(parseFapList("0-3,7"), ElementsAre(0, 1, 2, 3, 7));
  EXPECT_THAT(parseFapList("7,1,0-1"), ElementsAre(0, 1, 7));
  EXPECT_THAT(parseFapList("128"), ElementsAre(128));
  auto const error = [&](char const* text) -> std::string {
    try {
      parseFapList(text);
    } catch (std::invalid_argument const& e) {
      return e.what();
    }
    return "accepted";
  };
  EXPECT_EQ(error(""), "'' is not a FAP id or range");
  EXPECT_EQ(error("1,,2"), "'' is not a FAP id or range");
  EXPECT_EQ(error("a"), "'a' is not a FAP id or range");
  EXPECT_EQ(error("1-"), "'1-' is not a FAP id or range");
  EXPECT_EQ(error("129"), "129 is not a FAP id (0 to 128)");
  EXPECT_EQ(error("3-1"), "range '3-1' is empty");
}

}  // namespace
