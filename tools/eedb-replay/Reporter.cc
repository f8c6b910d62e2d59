// The report of a replay as aligned text or as JSON Lines.

#include "Reporter.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include <fmt/compile.h>

#include "Bits.h"
#include "Escape.h"
#include "Notes.h"
#include "replay_support/FieldText.h"

namespace eedb::replay {

namespace {

constexpr unsigned kIndent = 11;  // where the detail lines of an offer start: after "line 1234  "
constexpr unsigned kLabel = 8;    // width of a detail line's label ("shadow", "schan", "error")
constexpr unsigned kTextWidth = 100;

// Appends text: a resize and one copy, which for a literal (its size known) is a few moves.
[[gnu::always_inline]] inline void put(fmt::memory_buffer& out, std::string_view text) {
  if (text.empty()) return;
  std::size_t const at = out.size();
  out.resize(at + text.size());
  std::memcpy(out.data() + at, text.data(), text.size());
}
template <std::size_t N>
[[gnu::always_inline]] inline void put(fmt::memory_buffer& out, char const (&text)[N]) {
  put(out, std::string_view(text, N - 1));
}
// Appends an unsigned number in decimal.
inline void putNumber(fmt::memory_buffer& out, std::uint64_t n) {
  fmt::format_int const text(n);
  put(out, std::string_view(text.data(), text.size()));
}

// "line 12    ", as wide as kIndent up to line 9999; "line a.jsonl:12  " from several files.
void linePrefix(fmt::memory_buffer& out, std::string_view file, std::size_t line) {
  if (file.empty()) {
    fmt::format_to(std::back_inserter(out), "line {:<4}  ", line);
  } else {
    put(out, "line ");
    appendEscapedText(out, file);
    fmt::format_to(std::back_inserter(out), ":{}  ", line);
  }
}

// {"line": 12 (, "file": "a.jsonl" from several files)
void jsonLine(fmt::memory_buffer& out, std::string_view file, std::size_t line) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{{\"line\": {}"), line);
  if (!file.empty()) {
    put(out, ", \"file\": ");
    appendJsonString(out, file);
  }
}

// "1 error", "2 errors"
std::string counted(std::size_t n, std::string_view noun) {
  return fmt::format("{} {}{}", n, noun, n == 1 ? "" : "s");
}

using chip26_a0::layout::FieldKind;
using chip26_a0::layout::FieldValue;

// The JSON path runs once per offer: its format strings are compiled, and strings without
// characters to escape (every name, most messages) are copied whole (Escape.h).

// A number up to 64 bits as it is; a wider one as 0x and 32 hex digits, most significant first,
// between `quote`s.
void numberText(fmt::memory_buffer& out, FieldValue const& value, std::string_view quote) {
  if (!value.wide()) {
    putNumber(out, value.value());
    return;
  }
  auto const& w = value.words();
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}0x{:08x}{:08x}{:08x}{:08x}{}"), quote,
                 w[3], w[2], w[1], w[0], quote);
}

// Text: an address field as its address (10.1.2.3, 2001:db8::1, 02:00:00:aa:bb:cc), any other
// as its number.
void textFieldValue(fmt::memory_buffer& out, ShadowField const& field) {
  if (!chip26_a0::layout::appendAddress(out, field.kind, field.value)) {
    numberText(out, field.value, "");
  }
}

// The data words of a command, most significant first, at least one.
void schanData(fmt::memory_buffer& out, ZuriAsicUtils::SchanCmd const& cmd) {
  unsigned const words = std::max(cmd.wordCount(), 1u);
  put(out, "0x");
  // Eight digits a word: written in place, into room made once.
  std::size_t const at = out.size();
  out.resize(at + 8 * words);
  char* digits = out.data() + at;
  for (unsigned i = words; i-- > 0;) {
    digits = fmt::format_to(digits, FMT_COMPILE("{:08x}"), cmd.data[i]);
  }
}

}  // namespace

void jsonValue(fmt::memory_buffer& out, ZuriErrm::Value const& value) {
  using Kind = ZuriErrm::Value::Kind;
  switch (value.kind()) {
    case Kind::null:
      put(out, "null");
      return;
    case Kind::number:
      putNumber(out, value.asNumber());
      return;
    case Kind::negative:
      fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), value.asNegative());
      return;
    case Kind::big:  // as written: digits or an exponent that no field holds
    case Kind::text:
      appendJsonString(out, value.asText());
      return;
    case Kind::object:
      break;
  }
  out.push_back('{');
  std::string_view sep;
  for (auto const& member : value.members()) {
    put(out, sep);
    appendJsonString(out, member.name);
    put(out, ": ");
    jsonValue(out, member.value);
    sep = ", ";
  }
  out.push_back('}');
}

void appendJsonFieldValue(fmt::memory_buffer& out, FieldValue const& value) {
  numberText(out, value, "\"");
}

void Reporter::jsonShadow(ShadowView const& shadow, bool withPresence) {
  put(out_, "\"fap\": ");
  putNumber(out_, shadow.fap);
  put(out_, ", \"instance\": ");
  putNumber(out_, shadow.instance);
  put(out_, ", \"key\": ");
  putNumber(out_, shadow.key);
  put(out_, ", ");
  if (withPresence) {
    put(out_, shadow.present ? std::string_view("\"present\": true, ")
                             : std::string_view("\"present\": false, "));
  }
  put(out_, "\"format\": ");
  if (shadow.format.empty()) {
    put(out_, "null");
  } else {
    appendJsonString(out_, shadow.format);
  }
  put(out_, ", \"fields\": {");
  std::string_view sep;
  bool addresses = false;
  for (auto const& field : shadow.fields) {
    put(out_, sep);
    appendJsonString(out_, field.name);
    put(out_, ": ");
    appendJsonFieldValue(out_, field.value);
    addresses = addresses || field.kind != FieldKind::number;
    sep = ", ";
  }
  out_.push_back('}');
  if (addresses) jsonAddresses(shadow);
}

// Beside "fields", which keeps the numbers: "addresses": {"ipv4Dip": "10.1.2.3"}, for a format
// with address fields only.
void Reporter::jsonAddresses(ShadowView const& shadow) {
  put(out_, ", \"addresses\": {");
  std::string_view sep;
  for (auto const& field : shadow.fields) {
    if (field.kind == FieldKind::number) continue;
    put(out_, sep);
    appendJsonString(out_, field.name);
    put(out_, ": \"");
    chip26_a0::layout::appendAddress(out_, field.kind, field.value);
    out_.push_back('"');
    sep = ", ";
  }
  out_.push_back('}');
}

// "fap 0 instance 0 key 4096: EedbRifBasicEtpsEthRif60Entry", then the fields, wrapped.
void Reporter::textShadow(ShadowView const& shadow) {
  auto out = std::back_inserter(out_);
  fmt::format_to(out, "fap {} instance {} key {}: ", shadow.fap, shadow.instance, shadow.key);
  if (!shadow.present) {
    put(out_, "absent\n");
    return;
  }
  out_.append(shadow.format.empty() ? std::string_view("no format") : shadow.format);
  out_.push_back('\n');
  if (shadow.fields.empty()) return;
  unsigned const indent = kIndent + kLabel;
  std::size_t lineStart = out_.size();
  fmt::format_to(out, "{:{}}", "", indent);
  bool first = true;
  for (auto const& field : shadow.fields) {
    std::size_t const before = out_.size();
    if (!first) put(out_, "  ");
    fmt::format_to(out, "{}=", field.name);
    textFieldValue(out_, field);
    if (!first && out_.size() - lineStart > kTextWidth) {
      // Too long: move this field to a line of its own.
      std::string const moved(out_.data() + before + 2, out_.data() + out_.size());
      out_.resize(before);
      out_.push_back('\n');
      lineStart = out_.size();
      fmt::format_to(out, "{:{}}{}", "", indent, moved);
    }
    first = false;
  }
  out_.push_back('\n');
  if (bits_) drawShadowBits(out_, shadow, indent);
}

// {"op": "write", "fap": 0, "instance": 0, "memory": "EEDB", "index": 4096, "type": 1,
//  "sizeBits": 60, "data": "0x..."}: the result type is the number the text shows (the shadow
//  names the format).
void Reporter::jsonSchan(ZuriAsicUtils::SchanCmd const& cmd) {
  put(out_, cmd.op == ZuriAsicUtils::SchanCmd::Op::write ? std::string_view("{\"op\": \"write\"")
                                                         : std::string_view("{\"op\": \"clear\""));
  put(out_, ", \"fap\": ");
  putNumber(out_, cmd.fapId);
  put(out_, ", \"instance\": ");
  putNumber(out_, cmd.instanceId);
  put(out_, ", \"memory\": ");
  appendJsonString(out_, cmd.memory);
  put(out_, ", \"index\": ");
  putNumber(out_, cmd.index);
  put(out_, ", \"type\": ");
  putNumber(out_, cmd.resultType);
  put(out_, ", \"sizeBits\": ");
  putNumber(out_, cmd.sizeBits);
  put(out_, ", \"data\": \"");
  schanData(out_, cmd);
  put(out_, "\"}");
}

// "trace": [{"handle": ..., "level": 3, "file": ..., "line": 82, "function": ..., "class": ...,
// "message": ...}, ...]
void Reporter::jsonTraces(std::span<TraceLine const> lines) {
  put(out_, "\"trace\": [");
  std::string_view sep;
  for (auto const& t : lines) {
    put(out_, sep);
    put(out_, "{\"handle\": ");
    appendJsonString(out_, t.handle);
    fmt::format_to(std::back_inserter(out_), FMT_COMPILE(", \"level\": {}, \"file\": "), t.level);
    appendJsonString(out_, t.file);
    fmt::format_to(std::back_inserter(out_), FMT_COMPILE(", \"line\": {}, \"function\": "), t.line);
    appendJsonString(out_, t.function);
    put(out_, ", \"class\": ");
    appendJsonString(out_, t.classLabel);
    put(out_, ", \"message\": ");
    appendJsonString(out_, t.message);
    out_.push_back('}');
    sep = ", ";
  }
  out_.push_back(']');
}

// One line per trace, the trace line as standard error would show it, escaped: in an offer's
// detail lines "trace" is the label and `first` (the line prefix, or nothing) comes first.
void Reporter::textTraces(std::string_view first, std::span<TraceLine const> lines) {
  for (auto const& t : lines) {
    fmt::format_to(std::back_inserter(out_), "{:<{}}{:<{}}", first, kIndent, "trace", kLabel);
    textTrace(t);
    first = "";
  }
}

void Reporter::textTrace(TraceLine const& trace) {
  fmt::memory_buffer line;
  fmt::format_to(std::back_inserter(line), "{}", trace.record());
  appendEscapedText(out_, std::string_view(line.data(), line.size()));
  out_.push_back('\n');
}

void Reporter::jsonOffer(std::size_t line, OfferResult const& r) {
  auto out = std::back_inserter(out_);
  jsonLine(out_, file_, line);
  put(out_, ", \"util\": ");
  appendJsonString(out_, r.util);
  put(out_, ", \"name\": ");
  appendJsonString(out_, r.name);
  if (!r.error) {
    std::string_view const applicable = r.applicable ? "true" : "false";
    fmt::format_to(out, FMT_COMPILE(", \"applicable\": {}, \"sizeBits\": {}"), applicable,
                   r.sizeBits);
    if (!r.applicable && !r.reason.empty()) {
      put(out_, ", \"reason\": ");
      appendJsonString(out_, r.reason);
    }
  }
  if (r.shadowRead) {
    put(out_, ", \"shadow\": {");
    jsonShadow(r.shadow, true);
    out_.push_back('}');
  }
  if (!r.error) {
    put(out_, ", \"schan\": [");
    std::string_view sep;
    for (auto const& cmd : r.cmds) {
      put(out_, sep);
      jsonSchan(cmd);
      sep = ", ";
    }
    out_.push_back(']');
  }
  if (r.traced) {
    put(out_, ", ");
    jsonTraces(r.traces);
  }
  jsonNotes(r);
  if (!r.error) {
    put(out_, ", \"error\": null}\n");
    return;
  }
  put(out_, ", \"error\": {\"type\": ");
  appendJsonString(out_, r.error->type);
  put(out_, ", \"message\": ");
  appendJsonString(out_, r.error->message);
  if (r.blame) {
    put(out_, ", \"field\": ");
    appendJsonString(out_, r.blame->field);
    put(out_, ", \"value\": ");
    jsonValue(out_, r.blame->value);
    if (r.blame->limit) fmt::format_to(out, FMT_COMPILE(", \"limit\": {}"), *r.blame->limit);
  }
  put(out_, "}}\n");
}

// "lossy": [{"field": "fodo", "input": 40000, "programmed": 7232, "rule": "cut to fodo (low 15
// bits)"}], "overwrites": {"util": ..., "name": ..., "format": ..., "deleted": false}
void Reporter::jsonNotes(OfferResult const& r) {
  if (!r.lossy.empty()) {
    put(out_, ", \"lossy\": [");
    std::string_view sep;
    for (auto const& note : r.lossy) {
      put(out_, sep);
      put(out_, "{\"field\": ");
      appendJsonString(out_, note.field);
      fmt::format_to(std::back_inserter(out_),
                     FMT_COMPILE(", \"input\": {}, \"programmed\": {}, \"rule\": "), note.input,
                     note.programmed);
      appendJsonString(out_, note.rule);
      out_.push_back('}');
      sep = ", ";
    }
    out_.push_back(']');
  }
  if (r.overwrites) {
    put(out_, ", \"overwrites\": {\"util\": ");
    appendJsonString(out_, r.overwrites->util);
    put(out_, ", \"name\": ");
    appendJsonString(out_, r.overwrites->name);
    put(out_, ", \"format\": ");
    if (r.overwrites->format.empty()) {
      put(out_, "null");
    } else {
      appendJsonString(out_, r.overwrites->format);
    }
    put(out_, r.overwrites->deleted ? std::string_view(", \"deleted\": true}")
                                    : std::string_view(", \"deleted\": false}"));
  }
}

// "note    fodo 40000 programmed as 7232 (low 15 bits)", "note    overwrites EedbOutrifUtil's
// entry (format EedbRifBasicEtpsEthRif60Entry)"
void Reporter::textNotes(OfferResult const& r) {
  auto out = std::back_inserter(out_);
  for (auto const& note : r.lossy) {
    fmt::format_to(out, "{:{}}{:<{}}{}\n", "", kIndent, "note", kLabel, lossyText(note));
  }
  if (r.overwrites) {
    fmt::format_to(out, "{:{}}{:<{}}{}\n", "", kIndent, "note", kLabel,
                   overwriteText(*r.overwrites));
  }
}

void Reporter::textOffer(std::size_t line, OfferResult const& r) {
  auto out = std::back_inserter(out_);
  linePrefix(out_, file_, line);
  fmt::format_to(out, "{}  ", r.name);
  if (r.error) {
    fmt::format_to(out, "raised {}\n", r.error->type);
  } else if (r.applicable) {
    fmt::format_to(out, "applicable, {} bits\n", r.sizeBits);
  } else if (r.reason.empty()) {
    put(out_, "not applicable\n");
  } else {
    fmt::format_to(out, "not applicable: {}\n", r.reason);
  }
  textTraces("", r.traces);
  if (r.error) {
    fmt::format_to(out, "{:{}}{:<{}}", "", kIndent, "error", kLabel);
    appendEscapedText(out_, r.error->message);
    out_.push_back('\n');
    if (r.blame) {
      fmt::format_to(out, "{:{}}{:<{}}{} = ", "", kIndent, "field", kLabel, r.blame->field);
      appendEscapedText(out_, fmt::format("{}", r.blame->value));
      if (r.blame->limit) fmt::format_to(out, ", limit {}", *r.blame->limit);
      out_.push_back('\n');
    }
  }
  if (r.shadowRead) {
    fmt::format_to(out, "{:{}}{:<{}}", "", kIndent, "shadow", kLabel);
    textShadow(r.shadow);
  }
  if (!r.error) {
    fmt::format_to(out, "{:{}}{:<{}}", "", kIndent, "schan", kLabel);
    if (r.cmds.empty()) put(out_, "none\n");
    bool first = true;
    for (auto const& cmd : r.cmds) {
      if (!first) fmt::format_to(out, "{:{}}", "", kIndent + kLabel);
      fmt::format_to(out, "{}\n", cmd);
      first = false;
    }
  }
  textNotes(r);
}

void Reporter::offer(std::size_t line, OfferResult const& r) {
  bool const failed = r.error || r.overwrites || (strict_ && !r.lossy.empty());
  if (quiet_ && !failed) {
    // The offer itself is not shown; the traces asked for are.
    if (!r.traces.empty()) traces(line, r.traces);
    return;
  }
  if (form_ == Form::json) {
    jsonOffer(line, r);
  } else {
    textOffer(line, r);
  }
}

void Reporter::traces(std::optional<std::size_t> line, std::span<TraceLine const> lines) {
  if (lines.empty()) return;
  if (form_ == Form::json) {
    if (line) {
      jsonLine(out_, file_, *line);
      put(out_, ", ");
    } else {
      out_.push_back('{');
    }
    jsonTraces(lines);
    put(out_, "}\n");
    return;
  }
  if (line) {
    fmt::memory_buffer first;
    linePrefix(first, file_, *line);
    textTraces(std::string_view(first.data(), first.size()), lines);
    return;
  }
  // Outside every line: "trace" in the first column.
  for (auto const& t : lines) {
    fmt::format_to(std::back_inserter(out_), "{:<{}}", "trace", kIndent);
    textTrace(t);
  }
}

void Reporter::rejected(std::size_t line, std::string_view message) {
  if (form_ == Form::json) {
    jsonLine(out_, file_, line);
    put(out_, ", \"error\": {\"type\": \"input\", \"message\": ");
    appendJsonString(out_, message);
    put(out_, "}}\n");
  } else {
    linePrefix(out_, file_, line);
    put(out_, "rejected: ");
    appendEscapedText(out_, message);
    out_.push_back('\n');
  }
}

void Reporter::unmet(std::size_t line, std::string_view expect, std::string_view differs) {
  if (form_ == Form::json) {
    jsonLine(out_, file_, line);
    // `expect` is the line's own member, minified: JSON as it stands.
    put(out_, ", \"expect\": ");
    out_.append(expect);
    put(out_, ", \"differs\": ");
    appendJsonString(out_, differs);
    put(out_, "}\n");
  } else {
    linePrefix(out_, file_, line);
    put(out_, "expect: ");
    appendEscapedText(out_, expect);
    put(out_, " differs: ");
    appendEscapedText(out_, differs);
    out_.push_back('\n');
  }
}

void Reporter::dumpEntry(std::string_view table, ShadowView const& entry) {
  if (form_ == Form::json) {
    put(out_, "{\"dump\": {\"table\": ");
    appendJsonString(out_, table);
    put(out_, ", ");
    jsonShadow(entry, false);
    put(out_, "}}\n");
  } else {
    fmt::format_to(std::back_inserter(out_), "{:<{}}{:<{}}", "dump", kIndent, "shadow", kLabel);
    fmt::format_to(std::back_inserter(out_), "{} ", table);
    textShadow(entry);
  }
}

void Reporter::summary(Summary const& s, std::vector<LoadedUtil> const& utils) {
  auto out = std::back_inserter(out_);
  if (form_ == Form::json) {
    fmt::format_to(out,
                   "{{\"summary\": {{\"format\": {}, \"lines\": {}, \"rejected\": {}, "
                   "\"offers\": {}, \"errors\": {}, \"expected\": {}, \"unmet\": {}, "
                   "\"lossy\": {}, \"overwrites\": {}, \"passed\": {}, \"utils\": {{",
                   kOutputFormat, s.lines, s.rejected, s.offers, s.errors, s.expected, s.unmet,
                   s.lossy, s.overwrites, s.passed);
    std::string_view sep;
    for (auto const& util : utils) {
      put(out_, sep);
      appendJsonString(out_, util.name);
      auto const* stats = util.util->stats().get();
      auto const count = [&](std::uint64_t (ZuriAsicUtils::UtilStats::*get)() const noexcept) {
        return stats != nullptr ? (stats->*get)() : 0;
      };
      fmt::format_to(out,
                     ": {{\"add\": {}, \"delete\": {}, \"updateOnDelete\": {}, "
                     "\"fapmaskMismatch\": {}, \"name\": ",
                     count(&ZuriAsicUtils::UtilStats::addCnt),
                     count(&ZuriAsicUtils::UtilStats::deleteCnt),
                     count(&ZuriAsicUtils::UtilStats::updateOnDelCnt),
                     count(&ZuriAsicUtils::UtilStats::fapmaskMismatch));
      appendJsonString(out_, util.shortName);
      out_.push_back('}');
      sep = ", ";
    }
    put(out_, "}}}\n");
    return;
  }
  fmt::format_to(out, "summary: {}, {} rejected, {}, {}", counted(s.lines, "line"), s.rejected,
                 counted(s.offers, "offer"), counted(s.errors, "error"));
  if (s.expected != 0) {
    fmt::format_to(out, ", {}, {} unmet", counted(s.expected, "expectation"), s.unmet);
  }
  if (s.lossy != 0) fmt::format_to(out, ", {}", counted(s.lossy, "lossy value"));
  if (s.overwrites != 0) fmt::format_to(out, ", {}", counted(s.overwrites, "overwrite"));
  out_.push_back('\n');
  // People want the table utilities that did something; scripts get all from --format json.
  std::size_t width = 0;
  std::size_t idle = 0;
  auto const busy = [](LoadedUtil const& util) {
    auto const* stats = util.util->stats().get();
    return stats != nullptr && (stats->addCnt() != 0 || stats->deleteCnt() != 0 ||
                                stats->updateOnDelCnt() != 0 || stats->fapmaskMismatch() != 0);
  };
  for (auto const& util : utils) {
    if (busy(util)) width = std::max(width, util.shortName.size());
  }
  for (auto const& util : utils) {
    if (!busy(util)) {
      ++idle;
      continue;
    }
    fmt::format_to(out, "  {:<{}}  {}\n", util.shortName, width, *util.util->stats());
  }
  if (idle != 0) {
    fmt::format_to(out, "  ({} other table {} did nothing)\n", idle,
                   idle == 1 ? "utility" : "utilities");
  }
}

bool Reporter::flushTo(std::FILE* stream) {
  bool const ok =
      out_.size() == 0 || std::fwrite(out_.data(), 1, out_.size(), stream) == out_.size();
  out_.clear();
  return std::fflush(stream) == 0 && ok;
}

}  // namespace eedb::replay
