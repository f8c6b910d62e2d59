// eedb-replay: replays a JSON Lines stream of software log entries through the table
// utilities of the plug-in, loaded as the agent loads it, and prints what each did.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "CommandLine.h"
#include "Describe.h"
#include "Escape.h"
#include "Input.h"
#include "Options.h"
#include "Printer.h"
#include "Run.h"
#include "Session.h"
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

// Feeds every input's lines to the run, blank lines aside. Each input is opened when its turn
// comes: opening a named pipe waits for its writer, who may be waiting for the tool to read an
// earlier input. An input that cannot be opened or read at its turn stops the replay there
// (said; false).
bool feed(Run& run, Printer& printer, std::vector<std::string> const& files,
          std::size_t maxLineLength) {
  for (auto const& file : files) {
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
        if (reader.overlong()) {
          run.overlong(reader.lineNumber(), reader.overlongLength(), reader.maxLine());
        } else if (text.find_first_not_of(" \t") != std::string_view::npos) {
          run.line(text, reader.lineNumber());
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
    SessionConfig const config = sessionConfig(args);
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
