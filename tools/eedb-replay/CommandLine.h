// The replay tool's command line, defined once: the parser, --help, the man page and the shell
// completion all read the same option definitions. Only CommandLine.cc sees the option parser's
// templates, so that they are compiled in one translation unit.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace eedb::replay {

// LineReader's default (main.cc checks that they agree); the option parser's unit stays free of
// the JSON parser's header.
inline constexpr std::size_t kDefaultMaxLineLength = std::size_t{1} << 20;

struct Args {
  std::vector<std::string> files;
  std::string plugin;
  std::string revision = "26:A0";
  std::string faps = "0";
  bool updateOnDelete = false;
  std::string format = "text";
  bool quiet = false;
  std::vector<std::string> show;  // --show filters, one per occurrence
  bool strict = false;
  std::string trace;
  bool dumpShadow = false;
  std::string dumpStream;  // --dump-shadow=stream OUT: the file to write the shadow to, as a stream
  bool verify = false;
  std::size_t maxLineLength = kDefaultMaxLineLength;
  bool bits = false;
  bool listTables = false;
  std::string describe;
  bool describeGiven = false;  // --describe, even with an empty name
  bool version = false;
  std::string shrink;         // --shrink OUT: where the shrunk stream goes
  std::string comparePlugin;  // --compare-plugin OTHER: the plug-in compared with --plugin's
};

// One option as the documentation shows it.
struct OptionDoc {
  std::vector<std::string> names;  // "--quiet", "-q"; empty for the positional FILE
  std::string value;               // "PATH", "text|json"; empty for a flag
  std::string description;
  bool repeats = false;  // FILE...
  // A flag's other form, its value given with '=' and the words it takes: "stream OUT".
  std::string attached;
};

class CommandLine {
 public:
  CommandLine();
  ~CommandLine();
  CommandLine(CommandLine const&) = delete;
  CommandLine& operator=(CommandLine const&) = delete;

  // Parses argv into args(). Empty to go on; else the exit status, after --help was printed
  // or a usage error was said through `say`.
  std::optional<int> parse(int argc, char** argv, std::function<void(std::string_view)> const& say);
  Args const& args() const noexcept { return args_; }
  Args& args() noexcept { return args_; }

  static constexpr std::string_view kName = "eedb-replay";
  std::string description() const;
  std::string footer() const;
  std::string help() const;
  std::vector<OptionDoc> options() const;

 private:
  // Takes the file that follows --dump-shadow=stream out of argv, into args().dumpStream.
  std::optional<int> takeDumpFile(std::vector<char*>& argv,
                                  std::function<void(std::string_view)> const& say);

  Args args_;
  std::vector<std::string> dumpForms_;  // the values of --dump-shadow, one per occurrence
  std::unique_ptr<CLI::App> app_;
};

}  // namespace eedb::replay
