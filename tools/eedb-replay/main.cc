// eedb-replay: replays a JSON Lines stream of software log entries through the table
// utilities of the plug-in, loaded as the agent loads it, and prints what each did.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "CommandLine.h"
#include "Compare.h"
#include "Describe.h"
#include "Escape.h"
#include "Input.h"
#include "Options.h"
#include "Printer.h"
#include "Run.h"
#include "Session.h"
#include "Shrink.h"
#include "TraceCapture.h"
#include "Version.h"
#include "kiv/Trace.h"
#include "plugin/Library.h"

namespace {

using namespace eedb::replay;

static_assert(kDefaultMaxLineLength == LineReader::kDefaultMaxLine);

constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;

// A usage error, said by main: exit status 2.
struct UsageError {
  std::string message;
};

// A closed standard descriptor would be handed to the next file opened: the input would become
// "standard error". Keep each taken by /dev/null, open the wrong way round for input and output
// so that using them still fails as it did; standard error just loses its messages.
void reserveStandardDescriptors() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int const flags = fd == STDERR_FILENO ? O_WRONLY : fd == STDIN_FILENO ? O_WRONLY : O_RDONLY;
    int const opened = ::open("/dev/null", flags);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

// --shrink and --compare-plugin each replay the stream their own way and print one report.
void refuseConflicts(Args const& args) {
  std::string_view const option = !args.shrink.empty()          ? "--shrink"
                                  : !args.comparePlugin.empty() ? "--compare-plugin"
                                                                : "";
  if (option.empty()) return;
  bool const compare = !args.comparePlugin.empty();
  std::pair<bool, std::string_view> const others[] = {
      {!args.shrink.empty() && compare, "--compare-plugin"},
      {args.listTables, "--list-tables"},
      {args.describeGiven, "--describe"},
      {args.dumpShadow || !args.dumpStream.empty(), "--dump-shadow"},
      {args.bits, "--bits"},
      {!args.trace.empty(), "--trace"},
      {compare && args.verify, "--verify"}};
  for (auto const& [given, other] : others) {
    if (given) {
      throw UsageError{
          fmt::format("{} and {} do not go together: give one of them", option, other)};
    }
  }
  if (compare && std::find(args.files.begin(), args.files.end(), "-") != args.files.end()) {
    throw UsageError{
        "--compare-plugin replays the stream twice: give it as FILE, not standard input"};
  }
}

// The file a report writes is none of the inputs.
void checkNotAnInput(std::string const& out, std::vector<std::string> const& files,
                     std::string_view option) {
  std::error_code ec;
  for (std::string const& file : files) {
    if (file != "-" && std::filesystem::equivalent(out, file, ec)) {
      throw UsageError{fmt::format("{}: {} is an input of the replay: give another file", option,
                                   shownName(out))};
    }
  }
}

// The session the options ask for, with --trace applied.
SessionConfig sessionConfig(Args const& args) {
  SessionConfig config;
  auto const revision = Hardware::Zuri::FapRevision::parse(args.revision);
  if (!revision) {
    throw UsageError{
        fmt::format("--revision: '{}' is not a revision like 26:A0", shownName(args.revision))};
  }
  config.revision = *revision;
  try {
    config.faps = parseFapList(args.faps);
  } catch (std::invalid_argument const& e) {
    throw UsageError{fmt::format("--faps: {}", e.what())};
  }
  // --trace adds to ZURI_TRACE, which the platform applied when it started: both apply.
  if (!args.trace.empty()) {
    if (!Kiv::traceConfigValid(args.trace)) {
      throw UsageError{
          fmt::format("--trace: '{}' is not a list of HANDLE/LEVELS", escapedText(args.trace))};
    }
    Kiv::traceConfigAdd(args.trace);
  }
  if (args.maxLineLength == 0) throw UsageError{"--max-line-length: 0 leaves no room for a line"};
  config.pluginPath = args.plugin.empty() ? defaultPluginPath() : args.plugin;
  config.updateOnDelete = args.updateOnDelete;
  return config;
}

// --list-tables and --describe: what the plug-in's table utilities take; nothing is replayed.
int discover(Args const& args, SessionConfig const& config, Printer& printer) {
  ZuriErrm::TableInfo const* table = nullptr;
  if (args.describeGiven) {
    std::string message;
    table = tableNamed(args.describe, message);
    if (table == nullptr) throw UsageError{fmt::format("--describe: {}", message)};
  }
  Session session(config);
  if (args.listTables) printer.tableList(listTables(session));
  if (table != nullptr) printer.description(describeTable(session, *table));
  printer.flush();
  return 0;
}

// Every input is looked at before the replay starts: a missing, unreadable or directory input
// stops it then.
void checkInputs(std::vector<std::string> const& files) {
  for (std::string const& file : files) {
    if (file == "-") continue;
    struct stat st {};
    int error = 0;
    if (::stat(file.c_str(), &st) != 0) {
      error = errno;
    } else if (S_ISDIR(st.st_mode)) {
      error = EISDIR;
    } else if (::faccessat(AT_FDCWD, file.c_str(), R_OK, AT_EACCESS) != 0) {
      error = errno;
    }
    if (error != 0) {
      throw UsageError{fmt::format("cannot open {}: {}", shownName(file), std::strerror(error))};
    }
  }
}

// Hands every input's lines, blank lines aside, to each(reader, text, input index). Each input
// is opened when its turn comes: opening a named pipe waits for its writer, who may be waiting
// for the tool to read an earlier input. An input that cannot be opened or read at its turn
// stops there (said; false).
template <class Each>
bool forEachLine(Printer& printer, std::vector<std::string> const& files, std::size_t maxLineLength,
                 Each const& each) {
  for (std::size_t index = 0; index < files.size(); ++index) {
    std::string const& file = files[index];
    std::string const name = file == "-" ? "standard input" : shownName(file);
    int const fd = file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      say(fmt::format("cannot open {}: {}", name, std::strerror(errno)));
      return false;
    }
    struct Closer {
      int fd;
      ~Closer() {
        if (fd != STDIN_FILENO) ::close(fd);
      }
    } const closer{fd};
    if (files.size() > 1) printer.fileIs(file);
    try {
      LineReader reader(
          fd, [&] { printer.flush(); }, LineReader::kDefaultBlockSize, maxLineLength);
      std::string_view text;
      while (reader.next(text)) {
        if (reader.overlong() || text.find_first_not_of(" \t") != std::string_view::npos) {
          each(reader, text, index);
        }
      }
    } catch (std::system_error const& e) {
      say(fmt::format("cannot read {}: {}", name, e.code().message()));
      return false;
    } catch (ZuriErrm::InputError const& e) {
      say(fmt::format("cannot read {}: {}", name, e.message()));
      return false;
    }
  }
  return true;
}

// Feeds every input's lines to the run.
bool feed(Run& run, Printer& printer, std::vector<std::string> const& files,
          std::size_t maxLineLength) {
  // The reader's lines are handed to the run ahead, once per read of each input.
  std::pair<std::size_t, std::size_t> ahead{files.size(), 0};
  return forEachLine(printer, files, maxLineLength,
                     [&](LineReader const& reader, std::string_view text, std::size_t file) {
                       if (std::pair(file, reader.reads()) != ahead) {
                         ahead = {file, reader.reads()};
                         run.linesAhead(reader.wholeLines());
                       }
                       if (reader.overlong()) {
                         run.overlong(reader.lineNumber(), reader.overlongLength(),
                                      reader.maxLine());
                       } else {
                         run.line(text, reader.lineNumber());
                       }
                     });
}

int replay(Args const& args, SessionConfig const& config, Printer& printer) {
  char const* const traceEnv = std::getenv("ZURI_TRACE");
  bool const tracing = !args.trace.empty() || (traceEnv != nullptr && *traceEnv != '\0' &&
                                               Kiv::traceConfigValid(traceEnv));
  std::optional<TraceCapture> traces;
  if (tracing) traces.emplace();
  ShowFilter show;
  for (std::string const& filter : args.show) {
    try {
      show.add(filter);
    } catch (std::invalid_argument const& e) {
      throw UsageError{e.what()};
    }
  }
  checkInputs(args.files);
  std::optional<Run> run;
  try {
    run.emplace(config, printer, RunSettings{args.strict, args.verify, args.dumpShadow},
                traces ? &*traces : nullptr);
    if (!show.empty()) run->showOnly(std::move(show));
  } catch (SetupError const& e) {
    if (traces) printTraces(stderr, traces->lines());
    throw UsageError{e.what()};
  }
  if (tracing) warnUnknownTraceHandles(stderr);
  if (!args.dumpStream.empty()) run->streamShadowTo(args.dumpStream, args.files);
  bool const read = feed(*run, printer, args.files, args.maxLineLength);
  Summary const& summary = run->finish(read);
  printer.flush();
  if (!read) return kExitUsage;
  return summary.passed ? 0 : kExitRejected;
}

// --shrink: every line read first, then the failure found and shrunk; the report is one record.
int shrinkStream(Args const& args, SessionConfig const& config, Printer& printer) {
  checkInputs(args.files);
  checkNotAnInput(args.shrink, args.files, "--shrink");
  StreamLines lines;
  bool const read = forEachLine(
      printer, args.files, args.maxLineLength,
      [&](LineReader const& reader, std::string_view text, std::size_t file) {
        if (reader.overlong()) {
          throw UsageError{fmt::format(
              "--shrink keeps lines whole: line {} of {} is longer than --max-line-length ({})",
              reader.lineNumber(),
              args.files[file] == "-" ? "standard input" : shownName(args.files[file]),
              reader.maxLine())};
        }
        lines.add(text, file, reader.lineNumber());
      });
  printer.fileIs({});
  if (!read) return kExitUsage;
  lines.seal();
  ShrinkResult result;
  try {
    result = shrink(config, RunSettings{args.strict, args.verify, false}, lines);
  } catch (SetupError const& e) {
    throw UsageError{e.what()};
  }
  if (result.failure.kind != Failure::Kind::none) writeShrunk(args.shrink, lines, result);
  printer.shrunk(reportOf(result, lines, args.files, args.shrink));
  printer.flush();
  return result.failure.kind == Failure::Kind::none ? kExitRejected : 0;
}

// --compare-plugin: the tool itself replays the stream once per plug-in, with the same options.
int compareBuilds(Args const& args, SessionConfig const& config, Printer& printer) {
  checkInputs(args.files);
  CompareSettings settings;
  std::error_code ec;
  settings.tool = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (ec) throw UsageError{fmt::format("--compare-plugin: cannot find the tool: {}", ec.message())};
  settings.options = {"--revision", args.revision,       "--faps",
                      args.faps,    "--max-line-length", fmt::format("{}", args.maxLineLength)};
  if (args.updateOnDelete) settings.options.emplace_back("--update-on-delete");
  if (args.strict) settings.options.emplace_back("--strict");
  settings.files = args.files;
  try {
    settings.sides[0] = pluginIdOf(config.pluginPath);
    settings.sides[1] = pluginIdOf(args.comparePlugin);
  } catch (Plugin::LoadError const& e) {
    throw UsageError{escapedText(e.what())};
  }
  return comparePlugins(settings, printer) == 0 ? 0 : kExitRejected;
}

// --version: the tool's version and commit, then the plug-in's own once it is loaded.
int printVersion(Args const& args, Printer& printer) {
  std::string const pluginPath = args.plugin.empty() ? defaultPluginPath() : args.plugin;
  VersionInfo info;
  info.tool = kToolVersion;
  info.toolCommit = kToolCommit;
  info.pluginPath = pluginPath;
  int status = 0;
  std::optional<Plugin::Library> library;
  try {
    library.emplace(Plugin::loadLibrary(pluginPath));
    info.loaded = true;
    if (Plugin::PluginVersion const* const version = library->version()) {
      info.plugin = version->version;
      info.pluginCommit = version->commit;
    }
  } catch (Plugin::LoadError const& e) {
    say(escapedText(e.what()));
    status = kExitUsage;
  }
  printer.version(info);
  printer.flush();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine commandLine;
  reserveStandardDescriptors();
  if (auto const status = commandLine.parse(argc, argv, say)) return *status;
  Args& args = commandLine.args();
  auto const printer = makePrinter(args.format == "json" ? Form::json : Form::text);
  printer->streamIs(stdout);
  printer->quietIs(args.quiet);
  printer->strictIs(args.strict);
  printer->bitsIs(args.bits);
  bool const discovery = args.listTables || args.describeGiven;
  try {
    if (args.version) return printVersion(args, *printer);
    // Each discovery prints one answer and replays nothing.
    if (args.listTables && args.describeGiven) {
      throw UsageError{"--list-tables and --describe each print one answer: give one of them"};
    }
    if (discovery && !args.files.empty()) {
      throw UsageError{fmt::format("{} replays nothing: leave out the FILE arguments",
                                   args.listTables ? "--list-tables" : "--describe")};
    }
    if (discovery && !args.show.empty()) {
      throw UsageError{fmt::format("--show chooses what a replay prints; {} replays nothing",
                                   args.listTables ? "--list-tables" : "--describe")};
    }
    if (args.bits && args.format == "json") {
      throw UsageError{
          "--bits draws diagrams in the text form; the JSON form carries every field's value: "
          "leave out --bits or --format json"};
    }
    if (args.files.empty()) {
      if (::isatty(STDIN_FILENO) == 1 && !discovery) {
        // Nobody waits silently for a terminal: say how to give input.
        throw UsageError{
            "give a stream to replay: eedb-replay FILE..., or - to read lines typed here "
            "(eedb-replay --help for more)"};
      }
      args.files.push_back("-");
    }
    refuseConflicts(args);
    SessionConfig const config = sessionConfig(args);
    if (!args.shrink.empty()) return shrinkStream(args, config, *printer);
    if (!args.comparePlugin.empty()) return compareBuilds(args, config, *printer);
    return discovery ? discover(args, config, *printer) : replay(args, config, *printer);
  } catch (UsageError const& e) {
    say(e.message);
  } catch (WriteFailed const& e) {
    say(fmt::format("cannot write the output: {}", std::strerror(e.error)));
  } catch (std::exception const& e) {
    say(e.what());
  }
  return kExitUsage;
}
