// eedb-replay: replays a JSON Lines stream of software log entries through the table
// utilities of the plug-in, loaded as the agent loads it, and prints what each did.
#include <fcntl.h>
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
#include <CLI/CLI.hpp>

#include "Describe.h"
#include "Escape.h"
#include "Input.h"
#include "Options.h"
#include "Output.h"
#include "Session.h"
#include "TraceCapture.h"
#include "Verify.h"
#include "kiv/Trace.h"
#include "zuri_errm/DidYouMean.h"

namespace {

using namespace eedb::replay;

constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;

constexpr char const* kFooter = R"(Input: one software log entry per line, e.g.
  {"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "delete": false,
   "entry": {"key": 4096, "viewType": 1, "fodo": 100, "mtuProfile": 2},
   "expect": {"fields": {"fodo": 100}}}
A UTF-8 byte-order mark is skipped; lines end with LF, CR LF or (as the first line does) CR.
A member or field given twice, SRv6 data of another view than the entry's viewType, a number no
field holds and a line longer than --max-line-length are refused with the line's number.
Several files replay in order as one stream; lines are then shown as FILE:LINE (text) or with a
"file" member (JSON).

The optional member "expect" says what the line must do; every member given must hold:
  "error": TEXT        an offer raised and its message contains TEXT
  "rejected": TEXT     the line is refused as input and the reason contains TEXT (alone)
  "applicable": BOOL   some offer was applicable (false: none was)
  "present": BOOL      the shadow entry read back after an applicable offer is present (absent)
  "fields": {...}      the shadow entry read back holds these field values
  "util": NAME         only the offer to this table utility counts (default: any offer)
A line whose result differs is reported ("expect" and "differs" in JSON) and counted as unmet.

Exit status: 0 when every line was read and processed without an exception (or failed as its
expectation says) and every expectation held, 1 when some line was rejected or raised
unexpectedly, an expectation was unmet (or, with --verify, the chip model differs from the
shadow), 2 for a usage or I/O error (a failed write stops the replay at once).

Examples:
  eedb-replay examples/demo.jsonl
  eedb-replay --format json --faps 0-3 < stream.jsonl
  eedb-replay day1.jsonl day2.jsonl
  eedb-replay --quiet --dump-shadow --trace 'EedbOutrifUtil/3' examples/outrif.jsonl
  eedb-replay --quiet --verify examples/demo.jsonl
  eedb-replay --quiet examples/expect.jsonl
  eedb-replay --bits examples/outrif.jsonl
  eedb-replay --list-tables
  eedb-replay --describe EedbOutrif --format json)";

struct Args {
  std::vector<std::string> files;
  std::string plugin;
  std::string revision = "26:A0";
  std::string faps = "0";
  bool updateOnDelete = false;
  std::string format = "text";
  bool quiet = false;
  std::string trace;
  bool dumpShadow = false;
  bool verify = false;
  std::size_t maxLineLength = LineReader::kDefaultMaxLine;
  bool bits = false;
  bool listTables = false;
  std::string describe;
};

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
  int fd;
};

// --list-tables and --describe: what the plug-in's table utilities take; nothing is replayed.
int discover(Args const& args, SessionConfig const& config) {
  ZuriErrm::TableInfo const* table = nullptr;
  if (!args.describe.empty()) {
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
    return usageError(fmt::format("--revision: '{}' is not a revision like 26:A0", args.revision));
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
  if (args.listTables || !args.describe.empty()) return discover(args, config);
  char const* const traceEnv = std::getenv("ZURI_TRACE");
  bool const tracing = !args.trace.empty() || (traceEnv != nullptr && *traceEnv != '\0' &&
                                               Kiv::traceConfigValid(traceEnv));
  std::optional<TraceCapture> traces;
  if (tracing) traces.emplace();

  std::vector<Input> inputs;
  auto const closeInputs = [&] {
    for (auto const& input : inputs) {
      if (input.fd != STDIN_FILENO) ::close(input.fd);
    }
  };
  for (std::string const& file : args.files) {
    int fd = STDIN_FILENO;
    if (file != "-") {
      fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        int const error = errno;
        closeInputs();
        return usageError(fmt::format("cannot open {}: {}", file, std::strerror(error)));
      }
    }
    inputs.push_back({file, fd});
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

  Form const form = args.format == "json" ? Form::json : Form::text;
  Reporter reporter(form, args.quiet);
  reporter.bitsIs(args.bits);
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
    bool const detail = reporter.detailed() || (line.hasExpect && line.expect.needsShadow());
    bool raised = false;
    auto const results = session->offer(line, detail);
    for (auto const& result : results) {
      if (chip) chip->execute(result.cmds);
      ++summary.offers;
      if (result.error) {
        ++summary.errors;
        raised = true;
      }
      reporter.offer(number, result);
    }
    if (!line.hasExpect) {
      if (raised) ++unforeseen;
      return;
    }
    std::string const differs = differences(line.expect, results);
    if (differs.empty()) return;
    ++summary.unmet;
    if (raised) ++unforeseen;
    reporter.unmet(number, line.expect.written, differs);
  };

  std::string inputName;
  try {
    for (auto const& input : inputs) {
      inputName = input.name == "-" ? "standard input" : input.name;
      if (inputs.size() > 1) reporter.fileIs(input.name);
      LineReader reader(input.fd, flush, LineReader::kDefaultBlockSize, args.maxLineLength);
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
    if (chip) {
      flush();
      fmt::memory_buffer verified;
      differences = chip->report(*session, form, verified);
      if (std::fwrite(verified.data(), 1, verified.size(), stdout) != verified.size()) {
        throw WriteFailed{errno};
      }
    }
    // The summary stays last: written aside, then the session ends (with the table utilities'
    // traces of the end) before it is printed.
    Reporter closing(form, args.quiet);
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

// CLI11's "The following arguments were not expected: --fromat", with a suggestion per option.
int unknownOptions(CLI::App const& app, CLI::ExtrasError const& e) {
  std::vector<std::string> names;
  for (CLI::Option const* option : app.get_options()) {
    for (std::string const& name : option->get_lnames()) names.push_back("--" + name);
  }
  for (std::string const& extra : app.remaining()) {
    std::string_view const arg(extra);
    std::string_view const option = arg.substr(0, arg.find('='));
    if (!option.starts_with("-")) continue;
    say(fmt::format("unknown option '{}'{}", option, ZuriErrm::didYouMean(option, names)));
    return kExitUsage;
  }
  say(e.what());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Replays a JSON Lines stream of software log entries through the EEDB table utilities of "
      "the plug-in, loaded as the agent loads it, and prints what each table utility did with "
      "each entry.",
      "eedb-replay"};
  app.footer(kFooter);
  Args args;
  app.add_option("FILE", args.files,
                 "the JSON Lines streams to replay, in order, as one stream; - or nothing for "
                 "standard input (e.g. examples/demo.jsonl)")
      ->type_name("");
  app.add_option("--plugin", args.plugin,
                 "the plug-in library to load (default: libeedb26.so beside the tool's "
                 "install, e.g. --plugin build/src/libeedb26.so)")
      ->option_text("PATH");
  app.add_option("--revision", args.revision,
                 "FAP revision to create table utilities for (default 26:A0, e.g. "
                 "--revision 26:B0)")
      ->option_text("REV");
  app.add_option("--faps", args.faps,
                 "FAP ids (0 to 128) in every table utility's FAP mask (default 0, e.g. "
                 "--faps 0-3,7)")
      ->option_text("LIST");
  app.add_flag("--update-on-delete", args.updateOnDelete,
               "set the hardware tables' update-on-delete flag: a delete writes the reverted "
               "entry back when it is not blank");
  app.add_option("--format", args.format,
                 "output form: text for people, json for scripts, one object per line "
                 "(default text, e.g. --format json)")
      ->option_text("text|json")
      ->check(CLI::IsMember({"text", "json"}));
  app.add_flag("--quiet,-q", args.quiet,
               "print only the summary (and the --dump-shadow dump and the --trace lines), e.g. "
               "for timing");
  app.add_option("--trace", args.trace,
                 "trace handles and levels to turn on, same syntax as ZURI_TRACE and added to it "
                 "(both apply; e.g. --trace 'EedbOutrifUtil/3' or --trace '*/0-8'); each trace "
                 "line is printed with the offer that caused it (JSON: its \"trace\" array)")
      ->option_text("SPEC");
  app.add_flag("--dump-shadow", args.dumpShadow,
               "print every shadow entry of every hardware table at the end, before the summary");
  app.add_flag("--verify", args.verify,
               "run every SCHAN command on a model of the chip's memories and report, at the end, "
               "every place where the chip differs from the shadow, field by field (exit status "
               "1 when one does)");
  app.add_option("--max-line-length", args.maxLineLength,
                 "longest line read, in bytes; a longer line is refused with its number and the "
                 "replay goes on (default 1 MiB, e.g. --max-line-length 16MiB)")
      ->option_text("BYTES")
      ->transform(CLI::AsSizeValue(false));
  app.add_flag("--bits", args.bits,
               "text form: draw every shadow entry shown (of an offer, and of --dump-shadow) as a "
               "bit diagram, 32 bits a row with each row's SCHAN data word");
  app.add_flag("--list-tables", args.listTables,
               "list the software tables, the table utilities registered for each and their "
               "revisions, and exit");
  app.add_option("--describe", args.describe,
                 "describe a software table and exit: per table utility its views and formats, "
                 "the rule by which each input field fills the entry, and an example line per "
                 "view (e.g. --describe EedbOutrif)")
      ->option_text("TABLE");
  reserveStandardDescriptors();
  try {
    app.parse(argc, argv);
  } catch (CLI::ExtrasError const& e) {
    return unknownOptions(app, e);
  } catch (CLI::ParseError const& e) {
    int const code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }
  if (args.files.empty()) {
    if (::isatty(STDIN_FILENO) == 1 && !args.listTables && args.describe.empty()) {
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
