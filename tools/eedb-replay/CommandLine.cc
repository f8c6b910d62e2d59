// The tool's command line, defined once for the parser, the man page and the completion.

#include "CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "Escape.h"

#include "replay_support/DidYouMean.h"

namespace eedb::replay {

namespace {

constexpr int kExitUsage = 2;
constexpr std::string_view kDumpStream = "stream";

using Say = std::function<void(std::string_view)>;

constexpr char const* kFooter = R"(Input: one software log entry per line, e.g.
  {"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "delete": false,
   "entry": {"key": 4096, "viewType": 1, "fodo": 100, "mtuProfile": 2},
   "expect": {"fields": {"fodo": 100}}}
A UTF-8 byte-order mark is skipped; lines end with LF, CR LF or (as the first line does) CR.
A member or field given twice, SRv6 data of another view than the entry's viewType, a number no
field holds and a line longer than --max-line-length are refused with the line's number.
Several files replay in order as one stream; lines are then shown as FILE:LINE (text) or with a
"file" member (JSON). A stream compressed with gzip is read as it is, from a file or standard
input (told by its first bytes, not its name).

"delete": true removes the hardware entry of the key. "tableDelete": true marks the entry as part
of deleting a whole table: every table utility of the table takes it, whatever its viewType,
when the FAP is in its FAP mask or is the null FAP 128 (another FAP: an ordinary entry). With
"delete": true each deletes the entry under its own key (IP tunnel: key.outlif and
key.dipOutlif); without it each adds: the view's entry for a viewType of its own, else the
key-only entry (the key, no format, no fields: 0 bits, no SCHAN command); a direct table its bit.

The optional member "expect" says what the line must do; every member given must hold:
  "error": TEXT        an offer raised and its message contains TEXT
  "rejected": TEXT     the line is refused as input and the reason contains TEXT (alone)
  "applicable": BOOL   some offer was applicable (false: none was)
  "present": BOOL      the shadow entry read back after an applicable offer is present (absent)
  "fields": {...}      the shadow entry read back holds these field values
  "lossy": [FIELD...]  a cut rule did not keep these input fields whole (--strict: no other)
  "util": NAME         only the offer to this table utility counts (default: any offer)
A line whose result differs is reported ("expect" and "differs" in JSON) and counted as unmet;
an offer that raised where no "error" of its table utility was expected makes the line differ.

Notes beside an applicable offer, counted in the summary ("lossy", "overwrites"):
  note    fodo 40000 programmed as 7232 (low 15 bits)
          a cut rule kept only the low bits of the value (JSON "lossy")
  note    overwrites EedbOutrifUtil's entry (format ...)   (or: deletes ...)
          the entry under the key was written by another software table (JSON "overwrites");
          the table utilities of one software table take turns on a key without a note
--strict fails the line for each, unless "expect": {"lossy": [...]} names the field.

Exit status: 0 when every line was read and processed without an exception (or failed as its
expectation says) and every expectation held, 1 when some line was rejected or raised
unexpectedly, an expectation was unmet (or, with --verify, the chip model differs from the
shadow; with --strict, a note failed a line; the JSON summary's "passed" says which), 2 for a usage or I/O error (a failed write stops the replay at once).
--shrink: 0 when it wrote the shrunk stream, 1 when the stream does not fail. --compare-plugin:
0 when the two plug-ins agree on every line, 1 when a line differs.

Examples:
  eedb-replay examples/demo.jsonl
  eedb-replay --format json --faps 0-3 < stream.jsonl
  eedb-replay day1.jsonl day2.jsonl.gz
  eedb-replay --quiet --dump-shadow --trace 'EedbOutrifUtil/3' examples/outrif.jsonl
  eedb-replay --quiet --verify examples/demo.jsonl
  eedb-replay --show table=EedbIpTunnel --show failed examples/iptunnel.jsonl
  eedb-replay --quiet --dump-shadow=stream shadow.jsonl examples/demo.jsonl
  eedb-replay --quiet examples/expect.jsonl
  eedb-replay --bits examples/outrif.jsonl
  eedb-replay --shrink small.jsonl --verify big.jsonl
  eedb-replay --compare-plugin old/libeedb26.so examples/demo.jsonl
  eedb-replay --list-tables
  eedb-replay --describe EedbOutrif --format json)";

// CLI11's "The following arguments were not expected: --fromat", with a suggestion per option.
int unknownOptions(CLI::App const& app, CLI::ExtrasError const& e, Say const& say) {
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

CommandLine::CommandLine()
    : app_(std::make_unique<CLI::App>(
          "Replays a JSON Lines stream of software log entries through the EEDB table utilities "
          "of the plug-in, loaded as the agent loads it, and prints what each table utility did "
          "with each entry.",
          std::string(kName))) {
  CLI::App& app = *app_;
  app.footer(kFooter);
  app.add_option("FILE", args_.files,
                 "the JSON Lines streams to replay, in order, as one stream; - or nothing for "
                 "standard input (e.g. examples/demo.jsonl)")
      ->type_name("");
  app.add_option("--plugin", args_.plugin,
                 "the plug-in library to load (default: libeedb26.so.0 beside the tool, in "
                 "../lib/ when installed, e.g. --plugin build/src/libeedb26.so)")
      ->option_text("PATH");
  app.add_option("--revision", args_.revision,
                 "FAP revision to create table utilities for (default 26:A0, e.g. "
                 "--revision 26:B0)")
      ->option_text("REV");
  app.add_option("--faps", args_.faps,
                 "FAP ids (0 to 128) in every table utility's FAP mask (default 0, e.g. "
                 "--faps 0-3,7)")
      ->option_text("LIST");
  app.add_flag("--update-on-delete", args_.updateOnDelete,
               "set the hardware tables' update-on-delete flag: a delete writes the reverted "
               "entry back when it is not blank");
  app.add_option("--format", args_.format,
                 "output form: text for people, json for scripts, one object per line "
                 "(default text, e.g. --format json)")
      ->option_text("text|json")
      ->check(CLI::IsMember({"text", "json"}));
  app.add_flag("--quiet,-q", args_.quiet,
               "hide what went as asked: print the failures (rejected lines, offers that raised, "
               "unmet expectations, overwrites, lossy notes under --strict), the summary, and the "
               "--dump-shadow dump and the --trace lines");
  app.add_option("--show", args_.show,
                 "print only the lines, offers and expectations asked for; every line is still "
                 "replayed and counted in the summary. table=NAME (a software table), util=NAME "
                 "(a table utility), fap=LIST (0-3,7), lines=LIST (100-200; 100- to the end), "
                 "failed (rejected lines, offers that raised, overwrote or left a lossy note, "
                 "unmet expectations). Repeat --show to combine: the same key again takes any "
                 "of its values, different keys must all hold (e.g. --show table=EedbOutrif "
                 "--show failed). --quiet shows the failures of the exit status, --show failed "
                 "every note as well; given together, a record is printed when both let it through")
      ->option_text("FILTER")
      ->allow_extra_args(false);  // one filter per --show: FILE arguments may follow
  app.add_flag("--strict", args_.strict,
               "a value that a cut rule does not keep whole (a note \"fodo 40000 programmed as "
               "7232\") or an entry of another software table overwritten or deleted fails the "
               "line (exit status 1), unless its expectation names the field (\"expect\": "
               "{\"lossy\": [\"fodo\"]})");
  app.add_option("--trace", args_.trace,
                 "trace handles and levels to turn on, same syntax as ZURI_TRACE and added to it "
                 "(both apply; e.g. --trace 'EedbOutrifUtil/3' or --trace '*/0-8'); each trace "
                 "line is printed with the offer that caused it (JSON: its \"trace\" array)")
      ->option_text("SPEC");
  app.add_flag("--dump-shadow", dumpForms_,
               "print every shadow entry of every hardware table at the end, before the summary; "
               "--dump-shadow=stream OUT.jsonl instead writes to OUT.jsonl, per shadow entry, the "
               "input line that wrote it: replayed with the same --faps, --revision and "
               "--update-on-delete, on fresh table utilities, it rebuilds the shadow (checked "
               "before the summary: exit status 1 when it would not)");
  app.add_flag("--verify", args_.verify,
               "run every SCHAN command on a model of the chip's memories and report, at the end, "
               "every place where the chip differs from the shadow, field by field (exit status "
               "1 when one does)");
  app.add_option("--max-line-length", args_.maxLineLength,
                 "longest line read, in bytes; a longer line is refused with its number and the "
                 "replay goes on (default 1 MiB, e.g. --max-line-length 16MiB)")
      ->option_text("BYTES")
      ->transform(CLI::AsSizeValue(false))
      // Runs first (a transform goes before those added earlier): the size parser would take
      // "-1" as a size that wraps.
      ->transform(
          [](std::string text) {
            std::string_view const trimmed(text);
            auto const at = trimmed.find_first_not_of(" \t");
            if (at != std::string_view::npos && trimmed[at] == '-') {
              throw CLI::ValidationError(fmt::format(
                  "{} is negative: give a size in bytes (e.g. 1MiB)", escapedText(text)));
            }
            return text;
          },
          "", "");
  app.add_flag("--bits", args_.bits,
               "text form: draw every shadow entry shown (of an offer, and of --dump-shadow) as a "
               "bit diagram, 32 bits a row with each row's SCHAN data word");
  app.add_option("--shrink", args_.shrink,
                 "write to OUT.jsonl a smallest part of the stream (its lines in order) that still "
                 "fails as the whole stream does: the first failing line with the same failure, "
                 "or the first --verify difference; say what was kept and exit (status 1 when the "
                 "stream does not fail; e.g. --shrink small.jsonl)")
      ->option_text("OUT.jsonl")
      ->check(
          [](std::string const& file) {
            return file.empty() || file == "-"
                       ? std::string("give the file to write, e.g. small.jsonl")
                       : std::string();
          },
          "", "");
  app.add_option("--compare-plugin", args_.comparePlugin,
                 "replay the stream through the --plugin plug-in and through OTHER.so, and report "
                 "every line where they differ (applicability, failure, shadow entry, SCHAN "
                 "commands) with both sides, then how many lines differ (exit status 1 when one "
                 "does; e.g. --compare-plugin old/libeedb26.so)")
      ->option_text("OTHER.so")
      ->check(
          [](std::string const& file) {
            return file.empty() ? std::string("give the plug-in library to compare with")
                                : std::string();
          },
          "", "");
  app.add_flag("--list-tables", args_.listTables,
               "list the software tables, the table utilities registered for each and their "
               "revisions, and exit");
  app.add_option("--describe", args_.describe,
                 "describe a software table and exit: per table utility its views and formats, "
                 "the rule by which each input field fills the entry, and an example line per "
                 "view (e.g. --describe EedbOutrif)")
      ->option_text("TABLE");
  app.add_flag("--version", args_.version,
               "print the tool's version and commit, then load the plug-in and print its own, "
               "and exit (JSON with --format json)");
}

CommandLine::~CommandLine() = default;

std::optional<int> CommandLine::parse(int argc, char** argv, Say const& say) {
  // --dump-shadow=stream takes the file it writes as the next argument; the flag itself never
  // takes one (--dump-shadow FILE dumps and replays FILE).
  std::vector<char*> kept(argv, argv + argc);
  if (auto const status = takeDumpFile(kept, say)) return status;
  try {
    app_->parse(static_cast<int>(kept.size()), kept.data());
  } catch (CLI::ExtrasError const& e) {
    return unknownOptions(*app_, e, say);
  } catch (CLI::ParseError const& e) {
    // --help and the like succeed, unless standard output cannot take the text (a full
    // device); a refusal is said as every other usage error is.
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app_->exit(e);
      std::cout.flush();
      if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        say(fmt::format("cannot write the output: {}", std::strerror(errno)));
        return kExitUsage;
      }
      return 0;
    }
    say(e.what());
    return kExitUsage;
  }
  args_.describeGiven = app_->count("--describe") != 0;
  for (std::string const& form : dumpForms_) {
    if (form == "true") {
      args_.dumpShadow = true;
    } else if (form != kDumpStream) {
      say(
          fmt::format("--dump-shadow: '{}' is not a form of the dump: give --dump-shadow, or "
                      "--dump-shadow=stream OUT.jsonl",
                      escapedText(form)));
      return kExitUsage;
    }
  }
  return std::nullopt;
}

std::optional<int> CommandLine::takeDumpFile(std::vector<char*>& argv, Say const& say) {
  static constexpr std::string_view kStreamOption = "--dump-shadow=stream";
  for (std::size_t i = 1; i < argv.size(); ++i) {
    std::string_view const arg(argv[i]);
    if (arg == "--") break;
    if (arg != kStreamOption) continue;
    std::string_view const file = i + 1 < argv.size() ? std::string_view(argv[i + 1]) : "";
    if (file.empty() || file.starts_with("-")) {
      say(fmt::format("{} needs the file to write{}: {} OUT.jsonl", kStreamOption,
                      file.empty() ? "" : fmt::format(", not '{}'", escapedText(file)),
                      kStreamOption));
      return kExitUsage;
    }
    if (!args_.dumpStream.empty() && args_.dumpStream != file) {
      say(fmt::format("{} is given twice, with {} and {}: give one file", kStreamOption,
                      escapedText(args_.dumpStream), escapedText(file)));
      return kExitUsage;
    }
    args_.dumpStream = file;
    argv.erase(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1);
  }
  return std::nullopt;
}

std::string CommandLine::description() const {
  return app_->get_description();
}

std::string CommandLine::footer() const {
  return kFooter;
}

std::string CommandLine::help() const {
  return app_->help();
}

std::vector<OptionDoc> CommandLine::options() const {
  std::vector<OptionDoc> docs;
  for (CLI::Option const* option : app_->get_options()) {
    OptionDoc doc;
    for (std::string const& name : option->get_snames()) doc.names.push_back("-" + name);
    for (std::string const& name : option->get_lnames()) doc.names.push_back("--" + name);
    doc.description = option->get_description();
    if (option->get_positional()) {
      doc.value = option->get_name();
      doc.repeats = option->get_expected_max() > 1;
      doc.names.clear();
    } else if (option->get_type_size() != 0) {
      doc.value = option->get_option_text();
    }
    if (option->check_lname("dump-shadow")) doc.attached = fmt::format("{} OUT", kDumpStream);
    docs.push_back(std::move(doc));
  }
  return docs;
}

}  // namespace eedb::replay
