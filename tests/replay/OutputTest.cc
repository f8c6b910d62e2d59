// What eedb-replay prints for people and scripts: untrusted text escaped in both forms, every
// JSON line whole and parseable, the SCHAN commands and address fields carried in JSON as the
// text shows them, trace lines beside the offer that caused them, --verify values as numbers.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <simdjson.h>

#include "ChipCheck.h"
#include "Escape.h"
#include "ReplayFixture.h"

namespace {

using ::testing::AllOf;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string jsonString(std::string_view text) {
  fmt::memory_buffer out;
  eedb::replay::appendJsonString(out, text);
  return fmt::to_string(out);
}

// Each character class once, in both forms. JSON keeps valid UTF-8 and replaces what is not;
// the text form shows every control character and every stray byte as an escape.
TEST(Escape, ControlCharactersQuotesAndStrayBytesInBothForms) {
  struct Case {
    std::string in;
    std::string json;
    std::string text;
  };
  Case const cases[] = {
      {"plain text", R"("plain text")", "plain text"},
      {"", R"("")", ""},
      {"a\"b\\c", R"("a\"b\\c")", "a\"b\\c"},
      {"one\ntwo\r\tend", R"("one\ntwo\r\tend")", R"(one\ntwo\r\tend)"},
      {"\x1b[31mred", R"("\u001b[31mred")", R"(\x1b[31mred)"},
      {std::string("nul\0after", 9), R"("nul\u0000after")", R"(nul\x00after)"},
      {"\b\f\x7f", R"("\b\f\u007f")", R"(\x08\x0c\x7f)"},
      {"csi\xc2\x9b", R"("csi\u009b")", R"(csi\u009b)"},  // C1 control, UTF-8 encoded
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"",
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"bad\xff", R"("bad\ufffd")", R"(bad\xff)"},
      {"cut\xe2\x82", R"("cut\ufffd\ufffd")", R"(cut\xe2\x82)"},
      {"overlong\xc0\xaf", R"("overlong\ufffd\ufffd")", R"(overlong\xc0\xaf)"},
      {"surrogate\xed\xa0\x80", R"("surrogate\ufffd\ufffd\ufffd")", R"(surrogate\xed\xa0\x80)"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(jsonString(c.in), c.json) << c.json;
    EXPECT_EQ(eedb::replay::escapedText(c.in), c.text) << c.json;
  }
}

using eedb::replay::testing::Outcome;
using eedb::replay::testing::slurp;

std::vector<std::string> linesOf(std::string const& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/eedb-replay-output-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the tool with `args` (shell words, after `env`) and `input` on standard input.
  Outcome run(std::string const& args, std::string const& input, std::string const& env = "") {
    std::ofstream(dir_ + "/in", std::ios::binary) << input;
    std::string const command = env + " " + EEDB_REPLAY_TOOL + " --plugin " + EEDB_PLUGIN_PATH +
                                " " + args + " < " + dir_ + "/in > " + dir_ + "/out 2> " + dir_ +
                                "/err";
    int const raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ + "/out"), slurp(dir_ + "/err")};
  }

  std::string dir_;
};

// A value that carries a newline, ESC and NUL can neither split a report line, reach the
// terminal raw, nor cut the message short, in either form.
TEST_F(OutputTest, RejectedValuesAreEscapedWholeInBothForms) {
  std::string const input = R"({"table": "Eedb\nline 9  Util\u001b[2J\u0000tail", "entry": {}})"
                            "\n";
  Outcome r = run("-", input);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(linesOf(r.out)[0],
              R"(line 1     rejected: unknown table 'Eedb\nline 9  Util\x1b[2J\x00tail')");
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);

  r = run("--format json -", input);
  EXPECT_THAT(linesOf(r.out)[0],
              R"({"line": 1, "error": {"type": "input", "message": "unknown table 'Eedb\nline 9 )"
              R"( Util\u001b[2J\u0000tail'"}})");
}

constexpr char kOutrif[] =
    R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "fodo": 5, "mtuProfile": 2}})"
    "\n";
constexpr char kOutrifDelete[] =
    R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 7, "viewType": 1}})"
    "\n";
constexpr char kIpTunnel[] =
    R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 4096, "dipOutlif": 0}, "viewType": 0, "dip": "10.1.2.3"}})"
    "\n";
constexpr char kTapAgg[] =
    R"({"table": "EedbTapAggTable", "entry": {"key": 16384, "viewType": 4, "destMac": "02:00:00:aa:bb:cc", "srcMac": "00:11:22:33:44:55"}})"
    "\n";

// A write and a clear carry what the text shows (operation, instance, result type) and their
// size; the offer names its table utility both ways; address fields keep their numbers
// in "fields" and add their text in "addresses", which the text form shows.
TEST_F(OutputTest, JsonCarriesCommandsNamesAndAddressesThatTheTextShows) {
  std::string const input = std::string(kOutrif) + kOutrifDelete + kIpTunnel + kTapAgg;
  Outcome const json = run("--format json -", input);
  EXPECT_EQ(json.status, 0) << json.err;
  auto const lines = linesOf(json.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_THAT(lines[0],
              AllOf(HasSubstr(R"("util": "chip26_a0::ZuriErrmUtil::EedbOutrifUtil", )"
                              R"("name": "EedbOutrifUtil", )"),
                    HasSubstr(R"("schan": [{"op": "write", "fap": 0, "instance": 0, "memory": )"
                              R"("EEDB", "index": 7, "type": 1, "sizeBits": 60, "data": "0x)"),
                    Not(HasSubstr("addresses"))));
  EXPECT_THAT(lines[1], HasSubstr(R"("schan": [{"op": "clear", "fap": 0, "instance": 0, )"
                                  R"("memory": "EEDB", "index": 7, "type": 0, "sizeBits": 60, )"
                                  R"("data": "0x)"));
  std::string const ipTunnel =
      lines[2].find("EedbIpTunnelUtil") != std::string::npos ? lines[2] : lines[3];
  EXPECT_THAT(ipTunnel, AllOf(HasSubstr(R"("ipv4Dip": 167838211})"),
                              HasSubstr(R"("addresses": {"ipv4Dip": "10.1.2.3"})")));
  EXPECT_THAT(json.out, AllOf(HasSubstr(R"("l2Mac": 2199034444748, "rawData": 73588229205})"),
                              HasSubstr(R"("addresses": {"l2Mac": "02:00:00:aa:bb:cc", )"
                                        R"("rawData": "00:11:22:33:44:55"})")));
  EXPECT_THAT(lines.back(), HasSubstr(R"({"add": 1, "delete": 1, "updateOnDelete": 0, )"
                                      R"("fapmaskMismatch": 0, "name": "EedbOutrifUtil"})"));
  simdjson::dom::parser parser;
  for (auto const& line : lines) EXPECT_EQ(parser.parse(line).error(), simdjson::SUCCESS) << line;

  Outcome const text = run("-", input);
  EXPECT_THAT(text.out, AllOf(HasSubstr("  ipv4Dip=10.1.2.3\n"),
                              HasSubstr("l2Mac=02:00:00:aa:bb:cc  rawData=00:11:22:33:44:55\n"),
                              Not(HasSubstr("167838211"))));
}

// Each trace line of an offer comes under it (text) or in its "trace" array (JSON), never on
// standard error; with --quiet they stand alone with their line; the table utilities' events
// at start-up and at the end come before the summary, which stays last.
TEST_F(OutputTest, TracesAppearWithTheirOfferAndTheSummaryStaysLast) {
  std::string const input = std::string(kOutrif) + kOutrif;
  Outcome r = run("--trace EedbOutrifUtil/3 -", input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  auto lines = linesOf(r.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_THAT(lines[0], StartsWith("line 1     EedbOutrifUtil  applicable, 60 bits"));
  EXPECT_THAT(lines[1], StartsWith("           trace   EedbOutrifUtil 3 UtilAccessor.h:"));
  std::size_t line2 = 0;
  while (line2 < lines.size() && lines[line2].rfind("line 2 ", 0) != 0) ++line2;
  ASSERT_LT(line2, lines.size());
  EXPECT_THAT(lines[line2 - 1], StartsWith("           schan   write EEDB[7]"));
  EXPECT_THAT(lines[line2 + 1], StartsWith("           trace   EedbOutrifUtil 3 "));

  r = run("--format json --trace EedbOutrifUtil/3,*/8 -", input);
  EXPECT_EQ(r.err, "");
  lines = linesOf(r.out);
  simdjson::dom::parser parser;
  std::size_t offers = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    simdjson::dom::object o;
    ASSERT_EQ(parser.parse(lines[i]).get(o), simdjson::SUCCESS) << lines[i];
    if (i + 1 == lines.size()) {
      EXPECT_EQ(o["summary"].error(), simdjson::SUCCESS) << lines[i];
    } else if (o["util"].error() == simdjson::SUCCESS) {
      ++offers;
      simdjson::dom::array trace;
      ASSERT_EQ(o["trace"].get(trace), simdjson::SUCCESS) << lines[i];
      ASSERT_GT(trace.size(), 0u);
      simdjson::dom::object first = trace.at(0);
      EXPECT_EQ(std::string_view(first["handle"]), "EedbOutrifUtil");
      EXPECT_EQ(int64_t(first["level"]), 3);
      EXPECT_EQ(std::string_view(first["file"]), "UtilAccessor.h");
      EXPECT_GT(int64_t(first["line"]), 0);
      EXPECT_EQ(std::string_view(first["function"]), "processLogEntry");
      EXPECT_EQ(first["class"].error(), simdjson::SUCCESS);
      EXPECT_EQ(first["message"].error(), simdjson::SUCCESS);
    } else {
      // Start-up (handleInitialized) before the first offer, the end (onDelete) after the last.
      simdjson::dom::array trace;
      ASSERT_EQ(o["trace"].get(trace), simdjson::SUCCESS) << lines[i];
      std::string_view const function = trace.at(0)["function"];
      EXPECT_EQ(function, offers == 0 ? "handleInitialized" : "onDelete") << lines[i];
      EXPECT_EQ(o["line"].error(), simdjson::NO_SUCH_FIELD);
    }
  }
  EXPECT_EQ(offers, 2u);

  r = run("--quiet --trace EedbOutrifUtil/3 -", input);
  lines = linesOf(r.out);
  EXPECT_THAT(lines.front(), StartsWith("line 1     trace   EedbOutrifUtil 3 "));
  EXPECT_THAT(r.out, HasSubstr("\nsummary: 2 lines, 0 rejected, 2 offers, 0 errors\n"));
  EXPECT_THAT(r.out, ContainsRegex("\nline 2     trace   EedbOutrifUtil 3 "));

  r = run("--quiet --format json --trace EedbOutrifUtil/3 -", input);
  EXPECT_THAT(linesOf(r.out).front(), StartsWith(R"({"line": 1, "trace": [{"handle": )"));
}

// One entry offered to the several table utilities of its software table: each offer carries
// the trace lines of its own table utility only, and every one of them.
TEST_F(OutputTest, TracesOfOneEntrySplitAmongTableUtilitiesGoToEachOwnOffer) {
  Outcome const text = run("--trace '*/3' -", kIpTunnel);
  Outcome const r = run("--format json --trace '*/3' -", kIpTunnel);
  EXPECT_EQ(r.status, 0) << r.err;
  simdjson::dom::parser parser;
  std::size_t offers = 0;
  std::size_t traced = 0;
  for (auto const& line : linesOf(r.out)) {
    simdjson::dom::object o;
    ASSERT_EQ(parser.parse(line).get(o), simdjson::SUCCESS) << line;
    std::string_view name;
    if (o["name"].get(name) != simdjson::SUCCESS) continue;
    ++offers;
    for (simdjson::dom::object t : simdjson::dom::array(o["trace"])) {
      EXPECT_EQ(std::string_view(t["handle"]), name) << line;
      ++traced;
    }
  }
  EXPECT_GE(offers, 2u);
  auto const textLines = linesOf(text.out);
  EXPECT_EQ(traced, std::count_if(textLines.begin(), textLines.end(),
                                  [](std::string const& l) {
                                    return l.rfind("           trace   ", 0) == 0;
                                  }))
      << text.out;
}

// --trace adds to ZURI_TRACE (both apply); names no handle has are warned about once, with the
// known handles, whichever of the two named them.
TEST_F(OutputTest, TraceOptionAddsToTheEnvironmentAndUnknownHandlesAreNamed) {
  std::string const input = std::string(kOutrif) + kIpTunnel;
  Outcome const r = run("--trace EedbIpTunnelUtil/3,NoSuchUtil/1 -", input,
                        "ZURI_TRACE=EedbOutrifUtil/3,Other/2");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("           trace   EedbOutrifUtil 3 "));
  EXPECT_THAT(r.out, HasSubstr("           trace   EedbIpTunnelUtil 3 "));
  auto const err = linesOf(r.err);
  ASSERT_EQ(err.size(), 1u) << r.err;
  EXPECT_THAT(err[0], StartsWith("eedb-replay: warning: ZURI_TRACE/--trace: no trace handle named "
                                 "'Other', 'NoSuchUtil'; known handles: EedbAgMemTlmUtil, "
                                 "EedbArpTableUtil, "));
  EXPECT_THAT(err[0], HasSubstr(", EedbVxlanTunnelUtil, OrderedTableException"));

  Outcome const known = run("--quiet -", kOutrif, "ZURI_TRACE='*/0'");
  EXPECT_EQ(known.err, "");
}

// --verify in JSON: the place's numbers, each differing field as text (as before), as a value
// like the offers carry it, and, for an address field, as the address. The chip is sent another
// session's entry for the same place, so that it holds what this session's shadow does not.
TEST(VerifyReport, CarriesFieldValuesAsNumbersAndAddressesAsText) {
  using namespace eedb::replay;
  Session shadow(eedb::replay::testing::config());
  Session other(eedb::replay::testing::config());
  ChipCheck chip;
  auto const mine = eedb::replay::testing::parseLine(
      R"({"table": "EedbArpTable", "entry": {"key": 512, "viewType": 2, "l2Mac": "02:00:00:aa:bb:cc"}})");
  auto const theirs = eedb::replay::testing::parseLine(
      R"({"table": "EedbArpTable", "entry": {"key": 512, "viewType": 2, "l2Mac": "02:00:00:aa:bb:cd", "actionProfile": 1}})");
  for (auto const& r : shadow.offer(mine, false)) chip.execute(r.cmds);
  for (auto const& r : other.offer(theirs, false)) chip.execute(r.cmds);

  fmt::memory_buffer json;
  EXPECT_EQ(chip.report(shadow, Form::json, json), 1u);
  EXPECT_THAT(
      fmt::to_string(json),
      HasSubstr(R"("fields": {"actionProfile": {"shadow": "0", "chip": "1"}, "l2Mac": )"
                R"({"shadow": "02:00:00:aa:bb:cc", "chip": "02:00:00:aa:bb:cd"}}, )"
                R"("values": {"actionProfile": {"shadow": 0, "chip": 1}, "l2Mac": )"
                R"({"shadow": 2199034444748, "chip": 2199034444749}}, "addresses": )"
                R"({"l2Mac": {"shadow": "02:00:00:aa:bb:cc", "chip": "02:00:00:aa:bb:cd"}}}})"));
  fmt::memory_buffer text;
  chip.report(shadow, Form::text, text);
  EXPECT_THAT(fmt::to_string(text), HasSubstr("(actionProfile: shadow 0, chip 1; l2Mac: shadow "
                                              "02:00:00:aa:bb:cc, chip 02:00:00:aa:bb:cd)\n"));
}

}  // namespace
