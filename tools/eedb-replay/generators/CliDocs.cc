// eedb-cli-docs VERSION DATADIR DOCDIR MAN_PAGE COMPLETION: writes eedb-replay's man page (roff)
// and its bash completion from the tool's own option definitions and help text, so that neither
// drifts.
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "CommandLine.h"
#include "Document.h"
#include "ShowFilter.h"
#include "replay_support/Catalog.h"

namespace {

using eedb::replay::CommandLine;
using eedb::replay::OptionDoc;

// Roff text: backslashes and hyphens escaped, and no line that starts as a request.
std::string roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

template <class... Args>
void put(fmt::memory_buffer& out, fmt::format_string<Args...> format, Args&&... args) {
  fmt::format_to(std::back_inserter(out), format, std::forward<Args>(args)...);
}

std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    auto const end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The help's footer: a paragraph that opens with "Heading:" starts a section; indented lines
// are kept as they are.
void footerSections(fmt::memory_buffer& out, std::string_view footer) {
  bool preformatted = false;
  bool paragraphStart = true;
  for (std::string_view line : linesOf(footer)) {
    bool const indented = line.starts_with("  ");
    if (preformatted && !indented) {
      fmt::format_to(std::back_inserter(out), ".fi\n");
      preformatted = false;
    }
    if (line.empty()) {
      paragraphStart = true;
      continue;
    }
    auto const colon = line.find(':');
    if (paragraphStart && colon != std::string_view::npos && colon < 16 &&
        line.substr(0, colon).find_first_of("\"{") == std::string_view::npos) {
      std::string heading(line.substr(0, colon));
      for (char& c : heading) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      fmt::format_to(std::back_inserter(out), ".SH \"{}\"\n", heading);
      line.remove_prefix(colon + 1);
      while (line.starts_with(' ')) line.remove_prefix(1);
      if (line.empty()) {
        paragraphStart = false;
        continue;
      }
    } else if (paragraphStart) {
      fmt::format_to(std::back_inserter(out), ".PP\n");
    }
    paragraphStart = false;
    if (indented && !preformatted) {
      fmt::format_to(std::back_inserter(out), ".nf\n");
      preformatted = true;
    }
    fmt::format_to(std::back_inserter(out), "{}\n", roff(line));
  }
  if (preformatted) fmt::format_to(std::back_inserter(out), ".fi\n");
}

// The members of an input line, one by one (the help's footer shows a line and the "expect"
// member).
constexpr char const* kInputMembers = R"(.SH "INPUT MEMBERS"
.TP
\fBtable\fR
The software table: its log entry class without namespace and \fBLogEntry\fR, e.g.
\fBEedbOutrif\fR (\fB\-\-list\-tables\fR lists them). A misspelt name gets the closest known one.
.TP
\fBunit\fR
\fB{"fap": N, "instance": N}\fR: the FAP id (0 to 128; 128 is the null FAP, every FAP) and the
instance; or \fB"unitId": N\fR, whose high byte is the FAP id. Without it: FAP 0, instance 0.
.TP
\fBdelete\fR
\fBtrue\fR: the entry is deleted at its key (default \fBfalse\fR).
.TP
\fBtableDelete\fR
\fBtrue\fR: the entry is part of a delete of the whole software table, as the agent marks it;
a table utility takes it for any FAP in its FAP mask and for the null FAP.
.TP
\fBentry\fR
The fields of the log entry, by name; a missing field is 0. A number may be written as text,
\fB"0x1f"\fR; one that the field's storage cannot hold refuses the line. A key of several
members is an object: \fB"key": {"outlif": 4096, "dipOutlif": 0}\fR. An address field takes
its text: \fB"10.1.2.3"\fR, \fB"2001:db8::1"\fR, a MAC address \fB"02:00:00:aa:bb:cc"\fR.
The SRv6 view data are an object named after the view's format
(\fBetpsSrv6150\fR, \fBetpsDataSid150\fR, \fBetpsIpv6TunnelRaw150\fR), of the entry's
\fBviewType\fR only. \fB\-\-describe\fR \fITABLE\fR lists every field with its kind and width.
.TP
\fBexpect\fR
What the line must do, see INPUT above: \fBerror\fR, \fBrejected\fR, \fBapplicable\fR,
\fBpresent\fR, \fBfields\fR (hardware field values, numbers or \fB"0x..."\fR up to 128 bits),
\fButil\fR.
.PP
Blank lines are skipped. A stream compressed with gzip is read as it is, told by its first
bytes whatever its name, from a file or from standard input.
)";

constexpr char const* kEnvironment = R"(.SH ENVIRONMENT
.TP
\fBZURI_TRACE\fR
Trace levels to turn on: a comma\-separated list of \fIHANDLE\fR/\fILEVELS\fR items.
\fIHANDLE\fR is a table utility's class name without namespaces (\fBEedbOutrifUtil\fR),
\fBOrderedTableException\fR, or \fB*\fR for every handle; \fILEVELS\fR is a level from 0 to
9, a range (\fB0\-8\fR) or a list of them (\fBEedbOutrifUtil/0,3\fR). Level 0 carries failures
reported without raising, level 3 the progress of each entry, level 8 the events of a table.
Unset, every level is off; a malformed value is reported once and ignored, a handle that no
trace handle has gets a warning that lists the known ones. \fB\-\-trace\fR adds its items to
these; each trace line is printed with the offer that caused it.
.TP
\fBGRACEFUL_ASSERT_MODE\fR
Read once, when the plug-in is loaded. Exactly \fBassert\fR: a failed graceful assertion
inside translation is fatal (the process writes \fB%ASSERT:\fR \fIFILE\fR:\fILINE\fR
\fIFUNCTION\fR: \fIMESSAGE\fR to standard error and aborts). Anything else, empty or unset:
the failure raises \fBAsic::OrderedTableException\fR like any other translation failure, and
nothing is written to the shadow for that entry.
)";

std::string manPage(CommandLine const& cli, std::string_view version, std::string_view dataDir,
                    std::string_view docDir) {
  fmt::memory_buffer out;
  put(out, ".\\\" Generated by eedb-cli-docs from the options of eedb-replay; do not edit.\n");
  put(out, ".TH EEDB\\-REPLAY 1 \"\" \"eedb26 {}\" \"User Commands\"\n", roff(version));
  put(out, ".SH NAME\needb\\-replay \\- replay software log entries through the EEDB plug-in\n");
  put(out, ".SH SYNOPSIS\n.B eedb\\-replay\n[\\fIOPTIONS\\fR]");
  for (OptionDoc const& option : cli.options()) {
    if (option.names.empty()) {
      put(out, " [\\fI{}\\fR{}]", roff(option.value), option.repeats ? "..." : "");
    }
  }
  put(out, "\n.SH DESCRIPTION\n{}\n.SH OPTIONS\n", roff(cli.description()));
  for (OptionDoc const& option : cli.options()) {
    put(out, ".TP\n");
    if (option.names.empty()) {
      put(out, "\\fI{}\\fR\n", roff(option.value));
    } else {
      std::string names;
      for (std::string const& name : option.names) {
        names += fmt::format("{}\\fB{}\\fR", names.empty() ? "" : ", ", roff(name));
      }
      if (!option.attached.empty()) {
        auto const space = option.attached.find(' ');
        names += fmt::format(", \\fB{}={}\\fR \\fI{}\\fR", roff(option.names.back()),
                             roff(option.attached.substr(0, space)),
                             roff(option.attached.substr(space + 1)));
      }
      put(out, "{}{}\n", names, option.value.empty() ? "" : " \\fI" + roff(option.value) + "\\fR");
    }
    put(out, "{}\n", roff(option.description));
  }
  // The footer's sections in the usual order: the input, the members of a line, the exit status,
  // the environment and the files, then the examples, whose streams are the installed ones.
  std::string const footer = cli.footer();
  auto const exitStatus = footer.find("\n\nExit status:");
  auto const examples = footer.find("\n\nExamples:");
  footerSections(out, std::string_view(footer).substr(0, exitStatus));
  put(out, "{}", kInputMembers);
  footerSections(out, std::string_view(footer).substr(exitStatus, examples - exitStatus));
  put(out, "{}", kEnvironment);
  put(out, ".SH FILES\n.TP\n\\fI{}/eedb26/schemas/\\fR\n", roff(dataDir));
  put(out, "JSON Schema documents of an input line and of each output object\n");
  put(out, "(\\fBoutput.schema.json\\fR: any line of \\fB\\-\\-format json\\fR).\n");
  put(out, ".TP\n\\fI{}/examples/\\fR\nExample streams to replay.\n", roff(docDir));
  put(out, ".TP\n\\fI{}/README.md\\fR, \\fI{}/docs/replay.md\\fR\n", roff(docDir), roff(docDir));
  put(out, "A tour of the tool, and its guide.\n");
  std::string installed;
  std::string_view rest = std::string_view(footer).substr(examples);
  for (auto at = rest.find(" examples/"); at != std::string_view::npos;
       at = rest.find(" examples/")) {
    installed += fmt::format("{} {}/", rest.substr(0, at), docDir);
    rest.remove_prefix(at + 1);
  }
  installed += rest;
  footerSections(out, installed);
  put(out,
      ".SH \"SEE ALSO\"\n\\fBjq\\fR(1), \\fBgzip\\fR(1); \\fI{}/docs/replay.md\\fR (options,\n",
      roff(docDir));
  put(out, "input, output and schemas in depth), \\fI{}/docs/formats.md\\fR (the bit layout of\n",
      roff(docDir));
  put(out, "every hardware entry format).\n");
  return fmt::to_string(out);
}

// The catalogue's tables, as completion words.
std::string tableNames() {
  std::string words;
  for (auto const& table : ZuriErrm::tables()) {
    if (!words.empty()) words += ' ';
    words += table.name;
  }
  return words;
}

// Options complete from the list of options; a value by its kind: files for PATH, FILE and a
// file name such as OUT.jsonl, the listed choices for "a|b", the catalogue's tables for TABLE,
// the --show keys for FILTER; other values are free text.
std::string completion(CommandLine const& cli) {
  std::string options;
  std::string cases;
  std::string freeValues;
  std::string attached;  // a flag's value after '=': bash splits "--dump-shadow=" at the '='
  for (OptionDoc const& option : cli.options()) {
    for (std::string const& name : option.names) options += (options.empty() ? "" : " ") + name;
    if (!option.attached.empty()) {
      attached += fmt::format(
          "  if [[ $prev == = && ${{COMP_WORDS[COMP_CWORD-2]}} == {} ]]; then\n"
          "    COMPREPLY=($(compgen -W '{}' -- \"$cur\"))\n    return\n  fi\n",
          option.names.back(), option.attached.substr(0, option.attached.find(' ')));
    }
    if (option.names.empty() || option.value.empty()) continue;
    std::string names;
    for (std::string const& name : option.names) names += (names.empty() ? "" : "|") + name;
    std::string words;
    if (option.value == "PATH" || option.value.find('.') != std::string::npos) {
      cases += fmt::format("    {})\n      _eedb_replay_files\n      return ;;\n", names);
      continue;
    }
    if (option.value == "FILTER") {
      // --show KEY=VALUE: the keys, with no space after one that takes a value; then, bash
      // having split the word at '=', the tables after table=.
      std::string keys;
      for (std::string_view key : eedb::replay::kShowFilters) {
        keys += fmt::format("{}{}", keys.empty() ? "" : " ", key);
      }
      cases += fmt::format(
          "    {})\n      COMPREPLY=($(compgen -W '{}' -- \"$cur\"))\n"
          "      [[ ${{#COMPREPLY[@]}} == 1 && $COMPREPLY == *= ]] && compopt -o nospace "
          "2>/dev/null\n      return ;;\n",
          names, keys);
      attached += fmt::format(
          "  if [[ $prev == = && ${{COMP_WORDS[COMP_CWORD-2]}} == table &&\n"
          "        ${{COMP_WORDS[COMP_CWORD-3]}} == {} ]]; then\n"
          "    COMPREPLY=($(compgen -W '{}' -- \"$cur\"))\n    return\n  fi\n",
          option.names.back(), tableNames());
      continue;
    }
    if (option.value == "TABLE") {
      words = tableNames();
    } else if (option.value.find('|') != std::string::npos) {
      words = option.value;
      for (char& c : words) c = c == '|' ? ' ' : c;
    }
    if (words.empty()) {
      freeValues += (freeValues.empty() ? "" : "|") + names;
      continue;
    }
    cases +=
        fmt::format("    {})\n      COMPREPLY=($(compgen -W '{}' -- \"$cur\"))\n      return ;;\n",
                    names, words);
  }
  if (!freeValues.empty()) cases += fmt::format("    {})\n      return ;;\n", freeValues);
  return fmt::format(
      R"(# bash completion of eedb-replay; generated by eedb-cli-docs from the tool's options.
_eedb_replay_files() {{
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -f -- "$cur"))
}}

_eedb_replay() {{
  local cur=${{COMP_WORDS[COMP_CWORD]}}
  local prev=${{COMP_WORDS[COMP_CWORD-1]}}
  COMPREPLY=()
{}  case $prev in
{}  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '{}' -- "$cur"))
    return
  fi
  _eedb_replay_files
}}
complete -F _eedb_replay eedb-replay
)",
      attached, cases, options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    fmt::print(stderr, "usage: eedb-cli-docs VERSION DATADIR DOCDIR MAN_PAGE COMPLETION\n");
    return 2;
  }
  CommandLine const cli;
  using eedb::generators::writeDocument;
  return writeDocument("eedb-cli-docs", argv[4], manPage(cli, argv[1], argv[2], argv[3])) &&
                 writeDocument("eedb-cli-docs", argv[5], completion(cli))
             ? 0
             : 2;
}
