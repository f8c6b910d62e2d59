// The eedb-replay command line, run as a user runs it: exit statuses, line numbers of rejected
// lines, the replay going on after them, clear messages for usage and I/O errors, --help.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string slurp(std::string const& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/eedb-replay-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string file(std::string const& name, std::string const& text) {
    std::string const path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }

  // Runs the tool with `args` (shell words) and `input` on standard input.
  Outcome run(std::string const& args, std::string const& input = "") {
    std::string const in = file("in", input);
    std::string const command = std::string(EEDB_REPLAY_TOOL) + " " + args + " < " + in + " > " +
                                dir_ + "/out 2> " + dir_ + "/err";
    int const raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ + "/out"), slurp(dir_ + "/err")};
  }

  static std::string plugin() { return std::string("--plugin ") + EEDB_PLUGIN_PATH + " "; }

  std::string dir_;
};

constexpr char kGood[] = R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 5}})"
                         "\n";

TEST_F(ToolTest, CleanStreamExitsZero) {
  Outcome const r = run(plugin() + "--format json -", kGood);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, StartsWith(R"({"line": 1, "util": "chip26_a0::ZuriErrmUtil::EedbOutrifUtil", )"
                                R"("applicable": true, "sizeBits": 60, "shadow": {"fap": 0, )"));
  EXPECT_EQ(r.err, "");
}

TEST_F(ToolTest, BadLinesAreReportedWithTheirNumbersAndTheReplayGoesOn) {
  std::string const input =
      std::string("not json\n\n") +
      R"({"table": "EedbOutrif", "entry": {"mtuProfile": 300}})"
      "\n" +
      kGood +
      R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "mtuProfile": 16}})"
      "\n";
  Outcome const r = run(plugin() + "--format json", input);
  EXPECT_EQ(r.status, 1);
  std::istringstream lines(r.out);
  std::string line;
  std::vector<std::string> got;
  while (std::getline(lines, line)) got.push_back(line);
  ASSERT_EQ(got.size(), 5u) << r.out;
  EXPECT_THAT(got[0],
              StartsWith(R"({"line": 1, "error": {"type": "input", "message": "not valid JSON: )"));
  // Line 2 is blank: skipped, yet counted in the numbering.
  EXPECT_EQ(
      got[1],
      R"j({"line": 3, "error": {"type": "input", "message": "field 'mtuProfile': 300 does not fit 8 bits (max 255)"}})j");
  EXPECT_THAT(got[2], StartsWith(R"({"line": 4, "util": )"));
  EXPECT_THAT(
      got[3],
      StartsWith(R"({"line": 5, "util": "chip26_a0::ZuriErrmUtil::EedbOutrifUtil", "shadow": )"));
  EXPECT_THAT(got[3], HasSubstr(R"("error": {"type": "Asic::OrderedTableException", "message": )"));
  EXPECT_THAT(got[4],
              StartsWith(R"({"summary": {"lines": 4, "rejected": 2, "offers": 2, "errors": 1, )"));
}

TEST_F(ToolTest, QuietPrintsOnlyTheSummary) {
  Outcome const r = run(plugin() + "--quiet --format json", std::string(kGood) + "bad\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(
      r.out,
      StartsWith(
          R"({"summary": {"lines": 2, "rejected": 1, "offers": 1, "errors": 0, "utils": {)"));
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

TEST_F(ToolTest, DumpShadowComesBeforeTheSummary) {
  Outcome const r = run(plugin() + "--quiet --dump-shadow --format json", kGood);
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(
      r.out,
      StartsWith(
          R"({"dump": {"table": "chip26_a0::EedbHwMdb", "fap": 0, "instance": 0, "key": 1, "format": "EedbRifBasicEtpsEthRif60Entry", "fields": {"forwardQosModel": 0, "mtuProfile": 0, "remarkProfile": 0, "fodo": 5}}})"
          "\n{\"summary\": "));
}

TEST_F(ToolTest, TextOutputNamesTheFields) {
  Outcome const r = run(plugin(), kGood);
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("line 1     EedbOutrifUtil  applicable, 60 bits\n"));
  EXPECT_THAT(r.out, HasSubstr("forwardQosModel=0  mtuProfile=0  remarkProfile=0  fodo=5\n"));
  EXPECT_THAT(r.out, HasSubstr("summary: 1 line, 0 rejected, 1 offer, 0 errors\n"));
}

TEST_F(ToolTest, TraceGoesToStandardErrorOnly) {
  Outcome const r = run(plugin() + "--quiet --trace EedbOutrifUtil/3", kGood);
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, StartsWith("EedbOutrifUtil 3 "));
  EXPECT_THAT(r.out, StartsWith("summary: "));
}

TEST_F(ToolTest, UsageAndIoErrorsExitTwoWithAClearMessage) {
  struct Case {
    std::string args;
    std::string message;
  };
  Case const cases[] = {
      {"--plugin /nonexistent/libeedb26.so -",
       "eedb-replay: cannot load plug-in library /nonexistent/libeedb26.so: "},
      {plugin() + "/nonexistent/stream.jsonl",
       "eedb-replay: cannot open /nonexistent/stream.jsonl: No such file or directory\n"},
      {plugin() + dir_, "eedb-replay: cannot read " + dir_ + ": Is a directory\n"},
      {plugin() + "--faps 0-200 -", "eedb-replay: --faps: 200 is not a FAP id (0 to 128)\n"},
      {plugin() + "--revision 26 -",
       "eedb-replay: --revision: '26' is not a revision like 26:A0\n"},
      {plugin() + "--trace nonsense -",
       "eedb-replay: --trace: 'nonsense' is not a list of HANDLE/LEVELS\n"},
      {plugin() + "--format xml -", "--format: xml not in {text,json}"},
      {"--no-such-option", "The following argument was not expected: --no-such-option"},
  };
  for (auto const& c : cases) {
    Outcome const r = run(c.args, kGood);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_THAT(r.err, StartsWith(c.message)) << c.args;
  }
}

TEST_F(ToolTest, HelpMentionsEveryOption) {
  Outcome const r = run("--help");
  EXPECT_EQ(r.status, 0);
  for (char const* option :
       {"--plugin PATH", "--revision REV", "--faps LIST", "--update-on-delete",
        "--format text|json", "--quiet", "--trace SPEC", "--dump-shadow", "FILE", "Exit status"}) {
    EXPECT_THAT(r.out, HasSubstr(option));
  }
}

TEST_F(ToolTest, FindsThePluginBesideItselfInTheBuildTree) {
  Outcome const r = run("--quiet -", kGood);
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
