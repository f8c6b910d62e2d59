// The eedb-replay command line, run as a user runs it: exit statuses, line numbers of rejected
// lines, the replay going on after them, clear messages for usage and I/O errors; and
// the session's setup options reaching every table utility.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Session.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string slurp(std::string const& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
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

  // Runs the tool with `args` (shell words) and `input` on standard input.
  Outcome run(std::string const& args, std::string const& input = "") {
    std::ofstream(dir_ + "/in") << input;
    std::string const command = std::string(EEDB_REPLAY_TOOL) + " " + args + " < " + dir_ +
                                "/in > " + dir_ + "/out 2> " + dir_ + "/err";
    int const raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ + "/out"), slurp(dir_ + "/err")};
  }

  static std::string plugin() { return std::string("--plugin ") + EEDB_PLUGIN_PATH + " "; }

  std::string dir_;
};

constexpr char kGood[] = R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 5}})"
                         "\n";

// Status 1 when a line is rejected or an entry fails; a blank line is skipped yet counted, and the
// replay goes on after both (the example streams' goldens show the lines themselves).
TEST_F(ToolTest, ExitStatusAndLineNumbers) {
  Outcome const r =
      run(plugin() + "--format json",
          std::string("not json\n\n") + kGood +
              R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "mtuProfile": 16}})"
              "\n" +
              kGood);
  EXPECT_EQ(r.status, 1);
  std::istringstream lines(r.out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  EXPECT_THAT(
      got,
      ElementsAre(
          StartsWith(R"({"line": 1, "error": {"type": "input", )"),
          StartsWith(R"({"line": 3, "util": )"), StartsWith(R"({"line": 4, "util": )"),
          StartsWith(R"({"line": 5, "util": )"),
          StartsWith(R"({"summary": {"lines": 4, "rejected": 1, "offers": 3, "errors": 1, )")));
  EXPECT_EQ(r.err, "");
}

// Text output names the fields; traces go with the report (with --quiet, on their own before
// the summary); --quiet leaves the shadow dump and the summary, in that order.
TEST_F(ToolTest, TextOutputTracesAndQuietDump) {
  Outcome r = run("-", kGood);  // the plug-in found beside the tool in the build tree
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, HasSubstr("line 1     EedbOutrifUtil  applicable, 60 bits\n"));
  EXPECT_THAT(r.out, HasSubstr("forwardQosModel=0  mtuProfile=0  remarkProfile=0  fodo=5\n"));
  EXPECT_THAT(r.out, HasSubstr("summary: 1 line, 0 rejected, 1 offer, 0 errors\n"));

  r = run(plugin() + "--quiet --trace EedbOutrifUtil/3", kGood);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, StartsWith("line 1     trace   EedbOutrifUtil 3 "));
  EXPECT_THAT(r.out, HasSubstr("\nsummary: "));

  r = run(plugin() + "--quiet --dump-shadow --format json", kGood);
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(
      r.out,
      StartsWith(
          R"({"dump": {"table": "chip26_a0::EedbHwMdb", "fap": 0, "instance": 0, "key": 1, "format": "EedbRifBasicEtpsEthRif60Entry", "fields": {"forwardQosModel": 0, "mtuProfile": 0, "remarkProfile": 0, "fodo": 5}}})"
          "\n{\"summary\": "));
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST_F(ToolTest, UsageAndIoErrorsExitTwoWithAClearMessage) {
  struct Case {
    std::string args;
    std::string message;
  };
  Case const cases[] = {
      {"--plugin /nonexistent/libeedb26.so -",
       "eedb-replay: cannot load plug-in library /nonexistent/libeedb26.so: "},
      {plugin() + "--revision 25:A0 -", std::string("eedb-replay: ") + EEDB_PLUGIN_PATH +
                                            " registers no table utility for revision 25:A0\n"},
      {plugin() + "/nonexistent/stream.jsonl",
       "eedb-replay: cannot open /nonexistent/stream.jsonl: No such file or directory\n"},
      {plugin() + dir_, "eedb-replay: cannot read " + dir_ + ": Is a directory\n"},
      {plugin() + "--faps 0-200 -", "eedb-replay: --faps: 200 is not a FAP id (0 to 128)\n"},
      {plugin() + "--revision 26 -",
       "eedb-replay: --revision: '26' is not a revision like 26:A0\n"},
      {plugin() + "--trace nonsense -",
       "eedb-replay: --trace: 'nonsense' is not a list of HANDLE/LEVELS\n"},
  };
  for (auto const& c : cases) {
    Outcome const r = run(c.args, kGood);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_THAT(r.err, StartsWith(c.message)) << c.args;
  }
}

// --faps and --update-on-delete reach every table utility of the session, not only the first.
TEST(SessionSetup, UpdateOnDeleteAndFapMaskReachEveryTableUtility) {
  eedb::replay::SessionConfig c;
  c.pluginPath = EEDB_PLUGIN_PATH;
  c.faps = {0, 5};
  c.updateOnDelete = true;
  eedb::replay::Session const session(c);
  ASSERT_EQ(session.utils().size(), 16u);
  for (auto const& util : session.utils()) {
    EXPECT_TRUE(util.util->fapmask().test(SchanAccel::FapId(5))) << util.name;
    EXPECT_FALSE(util.util->fapmask().test(SchanAccel::FapId(1))) << util.name;
    ASSERT_TRUE(util.util->hwTableBase()) << util.name;
    EXPECT_TRUE(util.util->hwTableBase()->updateOnDelete()) << util.name;
  }
}

}  // namespace
