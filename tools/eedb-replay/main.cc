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
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "ChipCheck.h"
#include "CommandLine.h"
#include "Describe.h"
#include "Escape.h"
#include "Input.h"
#include "Notes.h"
#include "Options.h"
#include "Reporter.h"
#include "Session.h"
#include "ShadowStream.h"
#include "TraceCapture.h"
#include "Version.h"
#include "kiv/Trace.h"
#include "plugin/Library.h"

namespace {

using namespace eedb::replay;

static_assert(kDefaultMaxLineLength == LineReader::kDefaultMaxLine);

constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;

// Messages to standard error never fail the tool: a closed or full standard error loses them.
void say(std::string_view message) {
  std::string const line = fmt::format("eedb-replay: {}\n", message);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

int usageError(std::string_view message) {
  say(message);
  return kExitUsage;
}

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

// Writing the output failed: the replay stops at once (nobody reads what follows).
struct WriteFailed {
  int error;
};

struct Input {
  std::string name;  // as given; "-" for standard input
};

// --list-tables and --describe: what the plug-in's table utilities take; nothing is replayed.
int discover(Args const& args, SessionConfig const& config) {
  ZuriErrm::TableInfo const* table = nullptr;
  if (args.describeGiven) {
    std::string message;
    table = tableNamed(args.describe, message);
    if (table == nullptr) return usageError(fmt::format("--describe: {}", message));
  }
  std::unique_ptr<Session> session;
  try {
    session = std::make_unique<Session>(config);
  } catch (SetupError const& e) {
    return usageError(e.what());
  }
  Form const form = args.format == "json" ? Form::json : Form::text;
  fmt::memory_buffer out;
  if (args.listTables) printTableList(out, form, *session);
  if (table != nullptr) {
    if (args.listTables && form == Form::text) out.push_back('\n');
    printDescription(out, form, describeTable(*session, *table));
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    return usageError(fmt::format("cannot write the output: {}", std::strerror(errno)));
  }
  return 0;
}

int replay(Args const& args) {
  SessionConfig config;
  auto const revision = Hardware::Zuri::FapRevision::parse(args.revision);
  if (!revision) {
    return usageError(
        fmt::format("--revision: '{}' is not a revision like 26:A0", shownName(args.revision)));
  }
  config.revision = *revision;
  try {
    config.faps = parseFapList(args.faps);
  } catch (std::invalid_argument const& e) {
    return usageError(fmt::format("--faps: {}", e.what()));
  }
  // --trace adds to ZURI_TRACE, which the platform applied when it started: both apply.
  if (!args.trace.empty()) {
    if (!Kiv::traceConfigValid(args.trace)) {
      return usageError(
          fmt::format("--trace: '{}' is not a list of HANDLE/LEVELS", escapedText(args.trace)));
    }
    Kiv::traceConfigAdd(args.trace);
  }
  if (args.maxLineLength == 0) return usageError("--max-line-length: 0 leaves no room for a line");
  config.pluginPath = args.plugin.empty() ? defaultPluginPath() : args.plugin;
  config.updateOnDelete = args.updateOnDelete;
  if (args.listTables || args.describeGiven) return discover(args, config);
  char const* const traceEnv = std::getenv("ZURI_TRACE");
  bool const tracing = !args.trace.empty() || (traceEnv != nullptr && *traceEnv != '\0' &&
                                               Kiv::traceConfigValid(traceEnv));
  std::optional<TraceCapture> traces;
  if (tracing) traces.emplace();

  // Every input is looked at before the replay starts (a missing, unreadable or directory input
  // stops it then), and opened when its turn comes: opening a named pipe waits for its writer,
  // who may be waiting for the tool to read an earlier input. An input that cannot be opened at
  // its turn stops the replay there.
  std::vector<Input> inputs;
  int openFd = -1;  // the input being read, when it is not standard input
  auto const closeInputs = [&] {
    if (openFd >= 0) ::close(openFd);
    openFd = -1;
  };
  for (std::string const& file : args.files) {
    if (file != "-") {
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
        return usageError(fmt::format("cannot open {}: {}", shownName(file), std::strerror(error)));
      }
    }
    inputs.push_back({file});
  }

  std::unique_ptr<Session> session;
  try {
    session = std::make_unique<Session>(config);
  } catch (SetupError const& e) {
    closeInputs();
    if (traces) printTraces(stderr, traces->lines());
    return usageError(e.what());
  }
  if (tracing) warnUnknownTraceHandles(stderr);
  std::optional<ShadowStream> stream;  // --dump-shadow=stream
  if (!args.dumpStream.empty()) stream.emplace(*session, config, args.dumpStream, args.files);

  Form const form = args.format == "json" ? Form::json : Form::text;
  Reporter reporter(form, args.quiet);
  reporter.bitsIs(args.bits);
  reporter.strictIs(args.strict);
  // Traces of no offer (start-up, the end) appear on their own, where they happened.
  auto const looseTraces = [&] {
    if (!traces) return;
    reporter.traces(std::nullopt, traces->lines());
    traces->clear();
  };
  looseTraces();
  if (traces) session->traceCaptureIs(&*traces);
  auto const flush = [&] {
    if (!reporter.flushTo(stdout)) throw WriteFailed{errno};
  };
  std::optional<ChipCheck> chip;
  if (args.verify) chip.emplace();
  LineParser parser;
  LogLine line;
  Summary summary;
  std::size_t unforeseen = 0;  // lines rejected or raising without an expectation that says so
  std::string const revisionText = fmt::format("{}", config.revision);
  int status = 0;

  // One line: rejected, or offered; then held against its expectation.
  auto const process = [&](std::string_view text, std::size_t number, LineReader const& reader) {
    std::string reason;
    if (reader.overlong()) {
      line.hasExpect = false;
      reason = fmt::format("line of {} bytes is longer than the maximum, {} (--max-line-length)",
                           reader.overlongLength(), reader.maxLine());
    } else {
      try {
        parser.parse(text, line);
        if (session->utilsOf(*line.table).empty()) {
          reason = fmt::format("no table utility takes table '{}' on revision {}", line.table->name,
                               revisionText);
        }
      } catch (ZuriErrm::InputError const& e) {
        reason = e.message();
      } catch (std::bad_alloc const&) {
        line.hasExpect = false;
        reason = "out of memory while reading the line";
      }
    }
    if (line.hasExpect) ++summary.expected;
    if (!reason.empty()) {
      ++summary.rejected;
      reporter.rejected(number, reason);
      if (!line.hasExpect) {
        ++unforeseen;
        return;
      }
      std::string const differs = differencesOfRejected(line.expect, reason);
      if (differs.empty()) return;
      ++summary.unmet;
      ++unforeseen;
      reporter.unmet(number, line.expect.written, differs);
      return;
    }
    // A line with an expectation needs the shadow read back and, when it differs over a
    // failure, the field that explains it.
    bool const detail = reporter.detailed() || line.hasExpect;
    bool raised = false;
    std::string strictFailure;  // the first note that --strict does not let pass
    auto const results = session->offer(line, detail);
    if (stream) stream->record(line, results);
    for (auto const& result : results) {
      if (chip) chip->execute(result.cmds);
      ++summary.offers;
      if (result.error) {
        ++summary.errors;
        raised = true;
      }
      summary.lossy += result.lossy.size();
      if (result.overwrites) ++summary.overwrites;
      if (args.strict && strictFailure.empty()) {
        for (auto const& note : result.lossy) {
          if (line.hasExpect && foreseesLossy(line.expect, result, note.field)) continue;
          strictFailure = lossyText(note);
          break;
        }
        if (strictFailure.empty() && result.overwrites) {
          strictFailure = fmt::format("{} {}", result.name, overwriteText(*result.overwrites));
        }
      }
      reporter.offer(number, result);
    }
    std::string differs = line.hasExpect ? differences(line.expect, results) : std::string();
    if (differs.empty() && !strictFailure.empty()) differs = "--strict: " + strictFailure;
    if (!line.hasExpect) {
      if (raised) ++unforeseen;
      if (differs.empty()) return;
      // Only --strict fails a line without an expectation that way: listed like an unmet one.
      if (!raised) ++unforeseen;
      reporter.unmet(number, "{}", differs);
      return;
    }
    if (differs.empty()) return;
    ++summary.unmet;
    if (raised) ++unforeseen;
    reporter.unmet(number, line.expect.written, differs);
  };

  std::string inputName;
  try {
    for (auto const& input : inputs) {
      inputName = input.name == "-" ? "standard input" : shownName(input.name);
      int fd = STDIN_FILENO;
      if (input.name != "-") {
        fd = openFd = ::open(input.name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
          say(fmt::format("cannot open {}: {}", inputName, std::strerror(errno)));
          status = kExitUsage;
          break;
        }
      }
      if (inputs.size() > 1) reporter.fileIs(input.name);
      LineReader reader(fd, flush, LineReader::kDefaultBlockSize, args.maxLineLength);
      std::string_view text;
      while (reader.next(text)) {
        if (!reader.overlong() && text.find_first_not_of(" \t") == std::string_view::npos) {
          continue;
        }
        ++summary.lines;
        process(text, reader.lineNumber(), reader);
        if (traces) traces->clear();
        if (reporter.pending() > (std::size_t{1} << 16)) flush();
      }
      closeInputs();
    }
  } catch (std::system_error const& e) {
    say(fmt::format("cannot read {}: {}", inputName, e.code().message()));
    status = kExitUsage;
  } catch (ZuriErrm::InputError const& e) {
    say(fmt::format("cannot read {}: {}", inputName, e.message()));
    status = kExitUsage;
  } catch (WriteFailed const& e) {
    closeInputs();
    return usageError(fmt::format("cannot write the output: {}", std::strerror(e.error)));
  }
  closeInputs();
  reporter.fileIs({});

  std::size_t differences = 0;
  try {
    if (args.dumpShadow) {
      session->dumpShadow([&](std::string_view table, ShadowView const& entry) {
        reporter.dumpEntry(table, entry);
        if (reporter.pending() > (std::size_t{1} << 16)) flush();
      });
    }
    if (stream) {
      std::string const differs = stream->finish();
      if (!differs.empty()) {
        say(fmt::format("the dump in {} does not rebuild the shadow:\n{}",
                        shownName(args.dumpStream), differs));
        ++differences;
      }
    }
    if (chip) {
      flush();
      fmt::memory_buffer verified;
      differences += chip->report(*session, form, verified);
      if (std::fwrite(verified.data(), 1, verified.size(), stdout) != verified.size()) {
        throw WriteFailed{errno};
      }
    }
    // The summary stays last: written aside, then the session ends (with the table utilities'
    // traces of the end) before it is printed.
    Reporter closing(form, args.quiet);
    summary.passed = status == 0 && unforeseen == 0 && summary.unmet == 0 && differences == 0;
    closing.summary(summary, session->utils());
    session.reset();
    looseTraces();
    flush();
    if (!closing.flushTo(stdout)) throw WriteFailed{errno};
  } catch (WriteFailed const& e) {
    return usageError(fmt::format("cannot write the output: {}", std::strerror(e.error)));
  }
  if (status != 0) return status;
  return unforeseen != 0 || summary.unmet != 0 || differences != 0 ? kExitRejected : 0;
}

// --version: the tool's version and commit, then the plug-in's own once it is loaded.
int printVersion(Args const& args) {
  std::string const pluginPath = args.plugin.empty() ? defaultPluginPath() : args.plugin;
  bool const json = args.format == "json";
  fmt::memory_buffer out;
  auto const commitText = [](std::string_view commit) {
    return commit.empty() ? std::string() : fmt::format(" (commit {})", commit);
  };
  auto const jsonText = [&](std::string_view text) {
    if (text.empty()) return std::string("null");
    fmt::memory_buffer quoted;
    appendJsonString(quoted, text);
    return fmt::to_string(quoted);
  };
  if (json) {
    fmt::format_to(std::back_inserter(out),
                   R"({{"version": {}, "commit": {}, "format": {}, "plugin": )",
                   jsonText(kToolVersion), jsonText(kToolCommit), kOutputFormat);
  } else {
    fmt::format_to(std::back_inserter(out), "eedb-replay {}{}\n", kToolVersion,
                   commitText(kToolCommit));
  }
  int status = 0;
  try {
    Plugin::Library const library = Plugin::loadLibrary(pluginPath);
    Plugin::PluginVersion const* const version = library.version();
    std::string_view const number = version != nullptr ? version->version : "";
    std::string_view const commit = version != nullptr ? version->commit : "";
    if (json) {
      fmt::format_to(std::back_inserter(out), R"({{"path": {}, "version": {}, "commit": {}}}}})",
                     jsonText(pluginPath), jsonText(number), jsonText(commit));
      out.push_back('\n');
    } else {
      fmt::format_to(std::back_inserter(out), "plug-in {} {}{}\n", escapedText(pluginPath),
                     number.empty() ? "(no version)" : number, commitText(commit));
    }
  } catch (Plugin::LoadError const& e) {
    if (json) fmt::format_to(std::back_inserter(out), "null}}\n");
    say(escapedText(e.what()));
    status = kExitUsage;
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    return usageError(fmt::format("cannot write the output: {}", std::strerror(errno)));
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine commandLine;
  reserveStandardDescriptors();
  if (auto const status = commandLine.parse(argc, argv, say)) return *status;
  Args& args = commandLine.args();
  if (args.version) return printVersion(args);
  if (args.listTables || args.describeGiven) {
    // Each prints one answer and replays nothing.
    if (args.listTables && args.describeGiven) {
      return usageError("--list-tables and --describe each print one answer: give one of them");
    }
    if (!args.files.empty()) {
      return usageError(fmt::format("{} replays nothing: leave out the FILE arguments",
                                    args.listTables ? "--list-tables" : "--describe"));
    }
  }
  if (args.bits && args.format == "json") {
    return usageError(
        "--bits draws diagrams in the text form; the JSON form carries every field's value: "
        "leave out --bits or --format json");
  }
  if (args.files.empty()) {
    if (::isatty(STDIN_FILENO) == 1 && !args.listTables && !args.describeGiven) {
      // Nobody waits silently for a terminal: say how to give input.
      say("give a stream to replay: eedb-replay FILE..., or - to read lines typed here "
          "(eedb-replay --help for more)");
      return kExitUsage;
    }
    args.files.push_back("-");
  }
  try {
    return replay(args);
  } catch (std::exception const& e) {
    say(e.what());
    return kExitUsage;
  }
}
