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

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "Escape.h"
#include "Input.h"
#include "Options.h"
#include "Output.h"
#include "Session.h"
#include "TraceCapture.h"
#include "Verify.h"
#include "kiv/Trace.h"

namespace {

using namespace eedb::replay;

constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;

constexpr char const* kFooter = R"(Input: one software log entry per line, e.g.
  {"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "delete": false,
   "entry": {"key": 4096, "viewType": 1, "fodo": 100, "mtuProfile": 2}}

Exit status: 0 when every line was read and processed without an exception, 1 when some line
was rejected or raised (or, with --verify, the chip model differs from the shadow), 2 for a
usage or I/O error.

Examples:
  eedb-replay examples/demo.jsonl
  eedb-replay --format json --faps 0-3 < stream.jsonl
  eedb-replay --quiet --dump-shadow --trace 'EedbOutrifUtil/3' examples/outrif.jsonl
  eedb-replay --quiet --verify examples/demo.jsonl)";

struct Args {
  std::string file = "-";
  std::string plugin;
  std::string revision = "26:A0";
  std::string faps = "0";
  bool updateOnDelete = false;
  std::string format = "text";
  bool quiet = false;
  std::string trace;
  bool dumpShadow = false;
  bool verify = false;
};

int usageError(std::string_view message) {
  fmt::print(stderr, "eedb-replay: {}\n", message);
  return kExitUsage;
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
  char const* const traceEnv = std::getenv("ZURI_TRACE");
  bool const tracing = !args.trace.empty() || (traceEnv != nullptr && *traceEnv != '\0' &&
                                               Kiv::traceConfigValid(traceEnv));
  std::optional<TraceCapture> traces;
  if (tracing) traces.emplace();
  config.pluginPath = args.plugin.empty() ? defaultPluginPath() : args.plugin;
  config.updateOnDelete = args.updateOnDelete;

  int fd = STDIN_FILENO;
  if (args.file != "-") {
    fd = ::open(args.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      return usageError(fmt::format("cannot open {}: {}", args.file, std::strerror(errno)));
    }
  }
  std::string const inputName = args.file == "-" ? "standard input" : args.file;

  std::unique_ptr<Session> session;
  try {
    session = std::make_unique<Session>(config);
  } catch (SetupError const& e) {
    if (traces) printTraces(stderr, traces->lines());
    return usageError(e.what());
  }
  if (tracing) warnUnknownTraceHandles(stderr);

  Reporter reporter(args.format == "json" ? Form::json : Form::text, args.quiet);
  // Traces of no offer (start-up, the end) appear on their own, where they happened.
  auto const looseTraces = [&] {
    if (!traces) return;
    reporter.traces(std::nullopt, traces->lines());
    traces->clear();
  };
  looseTraces();
  if (traces) session->traceCaptureIs(&*traces);
  bool writeFailed = false;
  auto const flush = [&] {
    if (!reporter.flushTo(stdout)) writeFailed = true;
  };
  std::optional<ChipCheck> chip;
  if (args.verify) chip.emplace();
  LineReader reader(fd, flush);
  LineParser parser;
  LogLine line;
  Summary summary;
  std::string const revisionText = fmt::format("{}", config.revision);
  int status = 0;
  try {
    std::string_view text;
    while (reader.next(text)) {
      if (text.find_first_not_of(" \t") == std::string_view::npos) continue;
      ++summary.lines;
      std::size_t const number = reader.lineNumber();
      try {
        parser.parse(text, line);
      } catch (ZuriErrm::InputError const& e) {
        ++summary.rejected;
        reporter.rejected(number, e.message());
        continue;
      }
      if (session->utilsOf(*line.table).empty()) {
        ++summary.rejected;
        reporter.rejected(number, fmt::format("no table utility takes table '{}' on revision {}",
                                              line.table->name, revisionText));
        continue;
      }
      for (auto const& result : session->offer(line, reporter.detailed())) {
        if (chip) chip->execute(result.cmds);
        ++summary.offers;
        if (result.error) ++summary.errors;
        reporter.offer(number, result);
      }
      if (traces) traces->clear();
      if (reporter.pending() > (std::size_t{1} << 16)) flush();
    }
  } catch (std::system_error const& e) {
    fmt::print(stderr, "eedb-replay: cannot read {}: {}\n", inputName, e.code().message());
    status = kExitUsage;
  }
  if (fd != STDIN_FILENO) ::close(fd);

  if (args.dumpShadow) {
    session->dumpShadow([&](std::string_view table, ShadowView const& entry) {
      reporter.dumpEntry(table, entry);
      if (reporter.pending() > (std::size_t{1} << 16)) flush();
    });
  }
  std::size_t differences = 0;
  if (chip) {
    flush();
    fmt::memory_buffer verified;
    differences = chip->report(*session, args.format == "json" ? Form::json : Form::text, verified);
    if (std::fwrite(verified.data(), 1, verified.size(), stdout) != verified.size()) {
      writeFailed = true;
    }
  }
  // The summary stays last: written aside, then the session ends (with the table utilities'
  // traces of the end) before it is printed.
  Reporter closing(reporter.form(), args.quiet);
  closing.summary(summary, session->utils());
  session.reset();
  looseTraces();
  flush();
  if (!closing.flushTo(stdout)) writeFailed = true;
  if (writeFailed) {
    fmt::print(stderr, "eedb-replay: cannot write the output: {}\n", std::strerror(errno));
    return kExitUsage;
  }
  if (status != 0) return status;
  return summary.rejected != 0 || summary.errors != 0 || differences != 0 ? kExitRejected : 0;
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
  app.add_option("FILE", args.file,
                 "the JSON Lines stream to replay; - or nothing for standard input "
                 "(e.g. examples/demo.jsonl)");
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
  try {
    app.parse(argc, argv);
  } catch (CLI::ParseError const& e) {
    int const code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }
  try {
    return replay(args);
  } catch (std::exception const& e) {
    fmt::print(stderr, "eedb-replay: {}\n", e.what());
    return kExitUsage;
  }
}
