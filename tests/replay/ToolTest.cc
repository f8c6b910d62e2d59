// The eedb-replay command line, run as a user runs it: exit statuses, clear messages for usage
// and I/O errors (the command lines of usage-errors.txt), input that only a process shows (gzip,
// named pipes, a terminal, failing output streams); and the session's setup options reaching every
// table utility. What the tool prints for a stream, in the text form and the JSON form, is pinned
// by golden.text (tests/golden/text/replay.txt: --max-line-length, the discovery options and
// --compare-plugin included) and the example streams' goldens.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Session.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using eedb::replay::testing::Outcome;
using eedb::replay::testing::slurp;

class ToolTest : public eedb::replay::testing::ToolFixture {
 protected:
  // Runs the tool with a terminal as standard input; stops it after `seconds`.
  Outcome runOnTerminal(std::string const& args, int seconds) {
    int const master = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(::grantpt(master), 0);
    EXPECT_EQ(::unlockpt(master), 0);
    std::string const terminal = ::ptsname(master);
    std::string const command = tool() + args + " > " + dir_ + "/out 2> " + dir_ + "/err";
    pid_t const pid = ::fork();
    if (pid == 0) {
      ::setsid();
      int const fd = ::open(terminal.c_str(), O_RDWR);
      ::dup2(fd, STDIN_FILENO);
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int raw = 0;
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (::waitpid(pid, &raw, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &raw, 0);
        break;
      }
      ::usleep(10000);
    }
    ::close(master);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ + "/out"), slurp(dir_ + "/err")};
  }
};

constexpr char kGood[] = R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 5}})"
                         "\n";

// Every command line of tests/replay/usage-errors.txt exits 2 with its one line on standard
// error, prints nothing and writes no file.
TEST_F(ToolTest, UsageAndIoErrorsExitTwoWithAClearMessage) {
  std::ifstream list(EEDB_REPLAY_TESTS_DIR "/usage-errors.txt");
  ASSERT_TRUE(list.is_open());
  std::string const input = file("in.jsonl", {std::string(kGood, sizeof kGood - 2)});
  std::string const vars = fmt::format("PLUGIN={} DIR={} IN={};", EEDB_PLUGIN_PATH, dir_, input);
  auto const files = [&] {
    std::vector<std::string> names;
    for (auto const& f : std::filesystem::directory_iterator(dir_)) {
      names.push_back(f.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  std::string args, text;
  std::size_t checked = 0;
  while (std::getline(list, text)) {
    if (text.empty() || text.starts_with('#')) continue;
    if (!text.starts_with("=> ")) {
      args = text;
      continue;
    }
    for (auto const& [name, value] :
         {std::pair<std::string, std::string>{"$PLUGIN", EEDB_PLUGIN_PATH}, {"$DIR", dir_}}) {
      for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
        text.replace(at, name.size(), value);
      }
    }
    Outcome const r = run(args, kGood, vars);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err, text.substr(3) + "\n") << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_THAT(files(), ElementsAre("err", "in", "in.jsonl", "out")) << args;
    ++checked;
  }
  EXPECT_EQ(checked, 39u);
}

// Standard error closed or full loses the messages, not the exit status; a failed write stops
// the replay at once, even with SIGPIPE ignored and a producer that never ends.
TEST_F(ToolTest, OutputAndErrorStreamsThatFail) {
  for (std::string const redirect : {"2>/dev/full", "2>&-"}) {
    EXPECT_EQ(shell(tool() + "/nonexistent.jsonl " + redirect), 2) << redirect;
    EXPECT_EQ(shell(tool() + "--faps x - < /dev/null " + redirect), 2) << redirect;
    EXPECT_EQ(shell(tool() + "- < /dev/null >/dev/full " + redirect), 2) << redirect;
    EXPECT_EQ(shell(tool() + "--help >/dev/full " + redirect), 2) << redirect;
  }
  EXPECT_EQ(shell(tool() + "- < /dev/null >&-  2>/dev/null"), 2);
  std::string const line = R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1}})";
  std::ofstream(dir_ + "/endless.sh")
      << "trap '' PIPE\nyes '" << line << "' | (timeout 60 " << tool() << " 2> " << dir_
      << "/err; echo $? > " << dir_ << "/status) | head -c 1 > /dev/null\n";
  auto const start = std::chrono::steady_clock::now();
  shell("sh " + dir_ + "/endless.sh");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(slurp(dir_ + "/status"), "2\n");
  EXPECT_EQ(slurp(dir_ + "/err"), "eedb-replay: cannot write the output: Broken pipe\n");
}

// A stream compressed with gzip replays as the text it holds, told by its first bytes whatever
// its name, from a file or from a pipe; one damaged or cut short stops the replay (status 2).
TEST_F(ToolTest, ReadsGzipStreamsByTheirMagicBytes) {
  std::string const plain = dir_ + "/stream.jsonl";
  std::ofstream(plain)
      << kGood << "\n"
      << R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1, "mtuProfile": 16}})"
      << "\n";
  ASSERT_EQ(shell("gzip -c " + plain + " > " + plain + ".gz"), 0);
  ASSERT_EQ(shell("cp " + plain + ".gz " + dir_ + "/named-as-text.txt"), 0);
  Outcome const want = run(plugin() + "--format json " + plain);
  ASSERT_EQ(want.status, 1);  // the second line fails on purpose
  ASSERT_THAT(want.out, HasSubstr(R"("field": "mtuProfile", "value": 16, "limit": 15)"));
  for (std::string const& args :
       {plain + ".gz", dir_ + "/named-as-text.txt", "- < " + plain + ".gz"}) {
    std::string const command =
        tool() + "--format json " + args + " > " + dir_ + "/out 2> " + dir_ + "/err";
    EXPECT_EQ(shell(command), 1) << args;
    EXPECT_EQ(slurp(dir_ + "/out"), want.out) << args;
    EXPECT_EQ(slurp(dir_ + "/err"), "") << args;
  }
  // Each kind of damage has its message in the reader's tests (InputTest.cc); here, how the
  // tool stops on one.
  std::string const file = dir_ + "/bad.gz";
  ASSERT_EQ(shell("head -c 30 " + plain + ".gz > " + file), 0);
  Outcome const r = run(plugin() + file);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "eedb-replay: cannot read " + file +
                       ": the gzip stream ends early: the file is cut short\n");
}

// Named pipes are opened in their turn: one producer that fills the first (more than a pipe
// holds) before it opens the second is read to the end.
TEST_F(ToolTest, NamedPipesWrittenInOrderByOneProducer) {
  std::string const a = dir_ + "/a.fifo";
  std::string const b = dir_ + "/b.fifo";
  ASSERT_EQ(::mkfifo(a.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(b.c_str(), 0600), 0);
  std::string const line(kGood, sizeof kGood - 2);  // without its newline
  std::ofstream(dir_ + "/producer.sh")
      << "yes '" << line << "' | head -n 3000 > " << a << "\necho '" << line << "' > " << b << "\n";
  auto const start = std::chrono::steady_clock::now();
  shell("timeout 30 sh " + dir_ + "/producer.sh & timeout 30 " + tool() + "--quiet " + a + " " + b +
        " > " + dir_ + "/out 2> " + dir_ + "/err; echo $? > " + dir_ + "/status; wait");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
  EXPECT_EQ(slurp(dir_ + "/status"), "0\n") << slurp(dir_ + "/err");
  EXPECT_THAT(slurp(dir_ + "/out"),
              StartsWith("summary: 3001 lines, 0 rejected, 3001 offers, 0 errors\n"));
}

// Alone on a terminal the tool says how to give it input instead of waiting; "-" reads the
// terminal.
TEST_F(ToolTest, TerminalWithoutFileGetsAHint) {
  Outcome r = runOnTerminal("", 20);
  EXPECT_EQ(r.status, 2);
  EXPECT_THAT(r.err,
              StartsWith("eedb-replay: give a stream to replay: eedb-replay FILE..., or - "));
  r = runOnTerminal("-", 2);
  EXPECT_EQ(r.status, -1);  // still reading when stopped
  EXPECT_EQ(r.err, "");
}

// --version: the tool's version, then the plug-in's own as the loaded library reports it; the
// build tree's tool finds the build tree's plug-in by its SONAME. A plug-in that cannot be loaded
// leaves the tool's line and is a usage error.
TEST_F(ToolTest, VersionNamesTheToolAndTheLoadedPlugin) {
  std::string const pluginDir =
      std::string(EEDB_PLUGIN_PATH).substr(0, std::string(EEDB_PLUGIN_PATH).rfind('/'));
  Outcome r = run("--version");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, StartsWith("eedb-replay " EEDB_VERSION_TEXT));
  EXPECT_THAT(r.out, HasSubstr("\nplug-in " + pluginDir + "/libeedb26.so." + EEDB_SOVERSION_TEXT +
                               " " EEDB_VERSION_TEXT));
  EXPECT_EQ(r.err, "");

  r = run(plugin() + "--version --format json");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, StartsWith(R"({"version": ")" EEDB_VERSION_TEXT R"(", "commit": )"));
  EXPECT_THAT(r.out, HasSubstr(R"("plugin": {"path": ")" EEDB_PLUGIN_PATH
                               R"(", "version": ")" EEDB_VERSION_TEXT R"(", "commit": )"));
  EXPECT_THAT(r.out, ::testing::EndsWith("}}\n"));

  r = run("--plugin /nonexistent-eedb/libeedb26.so --version --format json");
  EXPECT_EQ(r.status, 2);
  EXPECT_THAT(r.out, ::testing::EndsWith(R"(, "plugin": null})"
                                         "\n"));
  EXPECT_THAT(r.err, StartsWith("eedb-replay: cannot load plug-in library "
                                "/nonexistent-eedb/libeedb26.so: "));
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
