// Helpers of the replay tests that drive a session of the real plug-in (loaded with dlopen).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "Input.h"
#include "Run.h"
#include "Session.h"

namespace eedb::replay::testing {

// Parses a line held in a padded copy, as LineReader hands lines out.
inline LogLine parseLine(std::string_view text) {
  std::string padded(text);
  padded.append(simdjson::SIMDJSON_PADDING, ' ');
  LineParser parser;
  LogLine line;
  parser.parse(std::string_view(padded.data(), text.size()), line);
  return line;
}

// What a line reads to with the given parser (table, unit, flags, expectation and entry), or why
// it is refused; the line is followed by the JSON parser's padding, as LineReader hands it out.
inline std::string readInPlace(LineParser& parser, std::string_view text) {
  LogLine line;
  try {
    parser.parse(text, line);
  } catch (ZuriErrm::InputError const& e) {
    return fmt::format("refused: {}", e.message());
  }
  return fmt::format("{} unit {:#x} flags {} expect {}: {}", line.table->name, line.unitId.value(),
                     line.flags, line.hasExpect, ZuriErrm::describe(line.entry));
}

// The same, of a line held in a padded copy.
inline std::string readAs(LineParser& parser, std::string_view text) {
  std::string padded(text);
  padded.append(simdjson::SIMDJSON_PADDING, ' ');
  return readInPlace(parser, std::string_view(padded.data(), text.size()));
}

// Feeds a line to the run as LineReader hands it out: followed by the JSON parser's padding.
inline LineOutcome const& feed(Run& run, std::string_view text, std::size_t number) {
  static std::string padded;
  padded.assign(text).append(simdjson::SIMDJSON_PADDING, ' ');
  return run.line(std::string_view(padded.data(), text.size()), number);
}

// What a run of the tool gave: its exit status and its two output streams.
struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline std::string slurp(std::string const& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// A temporary directory of its own, and the built tool run as a user runs it, from a shell.
class ToolFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/eedb-replay-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(std::string const& name) const { return dir_ + "/" + name; }

  // Writes `lines`, each ended by a newline, to a file of the directory; its path.
  std::string file(std::string const& name, std::vector<std::string> const& lines) const {
    std::ofstream out(path(name));
    for (auto const& line : lines) out << line << "\n";
    return path(name);
  }

  static std::string plugin() { return std::string("--plugin ") + EEDB_PLUGIN_PATH + " "; }
  static std::string tool() { return std::string(EEDB_REPLAY_TOOL) + " " + plugin(); }

  // Runs a shell command; its exit status.
  static int shell(std::string const& command) {
    int const raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  // Runs the tool with `args` (shell words, after `env`) and `input` on standard input.
  Outcome run(std::string const& args, std::string const& input = "",
              std::string const& env = "") const {
    std::ofstream(path("in")) << input;
    int const status = shell(env + " " + EEDB_REPLAY_TOOL + " " + args + " < " + path("in") +
                             " > " + path("out") + " 2> " + path("err"));
    return {status, slurp(path("out")), slurp(path("err"))};
  }
  // The same with the build tree's plug-in loaded.
  Outcome replay(std::string const& args, std::string const& input = "") const {
    return run(plugin() + args, input);
  }

  std::string dir_;
};

inline SessionConfig config(std::vector<std::uint8_t> faps = {0}) {
  SessionConfig c;
  c.pluginPath = EEDB_PLUGIN_PATH;
  c.faps = std::move(faps);
  return c;
}

// "chip26_a0::ZuriErrmUtil::EedbOutrifUtil" -> "EedbOutrifUtil"
inline std::string_view shortUtil(std::string_view name) {
  auto const colon = name.rfind("::");
  return colon == std::string_view::npos ? name : name.substr(colon + 2);
}

// The result of the named table utility among an offer's results, or nullptr.
inline OfferResult const* resultOf(std::span<OfferResult const> results, std::string_view util) {
  for (auto const& r : results) {
    if (shortUtil(r.util) == util) return &r;
  }
  return nullptr;
}

}  // namespace eedb::replay::testing
