#include "Output.h"

#include <algorithm>
#include <iterator>

#include <fmt/compile.h>

#include "Bits.h"

namespace eedb::replay {

namespace {

constexpr unsigned kIndent = 11;  // where the detail lines of an offer start: after "line 1234  "
constexpr unsigned kLabel = 8;    // width of a detail line's label ("shadow", "schan", "error")
constexpr unsigned kTextWidth = 100;

// "1 error", "2 errors"
std::string counted(std::size_t n, std::string_view noun) {
  return fmt::format("{} {}{}", n, noun, n == 1 ? "" : "s");
}

using Out = std::back_insert_iterator<fmt::memory_buffer>;

// The JSON path runs once per offer: its format strings are compiled, and text without
// characters to escape (every name, most messages) is copied whole.
bool needsEscape(char c) {
  return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
}

}  // namespace

void jsonString(fmt::memory_buffer& out, std::string_view text) {
  out.push_back('"');
  if (std::none_of(text.begin(), text.end(), needsEscape)) {
    out.append(text);
    out.push_back('"');
    return;
  }
  for (char const c : text) {
    switch (c) {
      case '"':
        out.append(std::string_view("\\\""));
        break;
      case '\\':
        out.append(std::string_view("\\\\"));
        break;
      case '\n':
        out.append(std::string_view("\\n"));
        break;
      case '\t':
        out.append(std::string_view("\\t"));
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          fmt::format_to(std::back_inserter(out), FMT_COMPILE("\\u{:04x}"),
                         static_cast<unsigned>(c));
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

namespace {

// Numbers up to 64 bits as they are; wider fields as 32 hex digits, most significant first.
// For people (text form) the 48-bit fields, MAC addresses, read as 02:00:00:aa:bb:cc.
void fieldValue(fmt::memory_buffer& out, chip26_a0::layout::FieldValue const& value, bool quoted) {
  if (!quoted && value.width() == 48) {
    std::uint64_t const v = value.value();
    fmt::format_to(std::back_inserter(out), "{:02x}:{:02x}:{:02x}:{:02x}:{:02x}:{:02x}",
                   (v >> 40) & 0xFF, (v >> 32) & 0xFF, (v >> 24) & 0xFF, (v >> 16) & 0xFF,
                   (v >> 8) & 0xFF, v & 0xFF);
    return;
  }
  if (!value.wide()) {
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), value.value());
    return;
  }
  auto const& w = value.words();
  std::string_view const quote = quoted ? "\"" : "";
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}0x{:08x}{:08x}{:08x}{:08x}{}"), quote,
                 w[3], w[2], w[1], w[0], quote);
}

// The data words of a command, most significant first, at least one.
void schanData(fmt::memory_buffer& out, ZuriAsicUtils::SchanCmd const& cmd) {
  unsigned const words = std::max(cmd.wordCount(), 1u);
  out.append(std::string_view("0x"));
  for (unsigned i = words; i-- > 0;) {
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:08x}"), cmd.data[i]);
  }
}

// "chip26_a0::ZuriErrmUtil::EedbOutrifUtil" -> "EedbOutrifUtil"
std::string_view shortName(std::string_view name) {
  auto const colon = name.rfind("::");
  return colon == std::string_view::npos ? name : name.substr(colon + 2);
}

}  // namespace

// "line 12    ", as wide as kIndent up to line 9999; "line a.jsonl:12  " from several files.
void Reporter::linePrefix(std::size_t line) {
  if (file_.empty()) {
    fmt::format_to(std::back_inserter(out_), "line {:<4}  ", line);
  } else {
    fmt::format_to(std::back_inserter(out_), "line {}:{}  ", file_, line);
  }
}

// {"line": 12 (, "file": "a.jsonl" from several files)
void Reporter::jsonLine(std::size_t line) {
  fmt::format_to(std::back_inserter(out_), FMT_COMPILE("{{\"line\": {}"), line);
  if (!file_.empty()) {
    out_.append(std::string_view(", \"file\": "));
    jsonString(out_, file_);
  }
}

void jsonValue(fmt::memory_buffer& out, ZuriErrm::Value const& value) {
  using Kind = ZuriErrm::Value::Kind;
  switch (value.kind()) {
    case Kind::null:
      out.append(std::string_view("null"));
      return;
    case Kind::number:
      fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), value.asNumber());
      return;
    case Kind::negative:
      fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), value.asNegative());
      return;
    case Kind::big:  // as written: digits or an exponent that no field holds
    case Kind::text:
      jsonString(out, value.asText());
      return;
    case Kind::object:
      break;
  }
  out.push_back('{');
  char const* sep = "";
  for (auto const& member : value.members()) {
    out.append(std::string_view(sep));
    jsonString(out, member.name);
    out.append(std::string_view(": "));
    jsonValue(out, member.value);
    sep = ", ";
  }
  out.push_back('}');
}

void Reporter::jsonShadow(ShadowView const& shadow, bool withPresence) {
  auto out = std::back_inserter(out_);
  fmt::format_to(out, FMT_COMPILE("\"fap\": {}, \"instance\": {}, \"key\": {}, "), shadow.fap,
                 shadow.instance, shadow.key);
  if (withPresence) {
    out_.append(shadow.present ? std::string_view("\"present\": true, ")
                               : std::string_view("\"present\": false, "));
  }
  out_.append(std::string_view("\"format\": "));
  if (shadow.format.empty()) {
    out_.append(std::string_view("null"));
  } else {
    jsonString(out_, shadow.format);
  }
  out_.append(std::string_view(", \"fields\": {"));
  char const* sep = "";
  for (auto const& field : shadow.fields) {
    out_.append(std::string_view(sep));
    jsonString(out_, field.name);
    out_.append(std::string_view(": "));
    fieldValue(out_, field.value, true);
    sep = ", ";
  }
  out_.push_back('}');
}

// "fap 0 instance 0 key 4096: EedbRifBasicEtpsEthRif60Entry", then the fields, wrapped.
void Reporter::textShadow(ShadowView const& shadow) {
  auto out = std::back_inserter(out_);
  fmt::format_to(out, "fap {} instance {} key {}: ", shadow.fap, shadow.instance, shadow.key);
  if (!shadow.present) {
    out_.append(std::string_view("absent\n"));
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
    if (!first) out_.append(std::string_view("  "));
    fmt::format_to(out, "{}=", field.name);
    fieldValue(out_, field.value, false);
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

void Reporter::offer(std::size_t line, OfferResult const& r) {
  if (quiet_) return;
  auto out = std::back_inserter(out_);
  if (form_ == Form::json) {
    jsonLine(line);
    out_.append(std::string_view(", \"util\": "));
    jsonString(out_, r.util);
    if (!r.error) {
      std::string_view const applicable = r.applicable ? "true" : "false";
      fmt::format_to(out, FMT_COMPILE(", \"applicable\": {}, \"sizeBits\": {}"), applicable,
                     r.sizeBits);
      if (!r.applicable && !r.reason.empty()) {
        out_.append(std::string_view(", \"reason\": "));
        jsonString(out_, r.reason);
      }
    }
    if (r.shadowRead) {
      out_.append(std::string_view(", \"shadow\": {"));
      jsonShadow(r.shadow, true);
      out_.push_back('}');
    }
    if (!r.error) {
      out_.append(std::string_view(", \"schan\": ["));
      char const* sep = "";
      for (auto const& cmd : r.cmds) {
        out_.append(std::string_view(sep));
        fmt::format_to(out, FMT_COMPILE("{{\"fap\": {}, \"memory\": "), cmd.fapId);
        jsonString(out_, cmd.memory);
        fmt::format_to(out, FMT_COMPILE(", \"index\": {}, \"data\": \""), cmd.index);
        schanData(out_, cmd);
        out_.append(std::string_view("\"}"));
        sep = ", ";
      }
      out_.append(std::string_view("], \"error\": null}\n"));
    } else {
      out_.append(std::string_view(", \"error\": {\"type\": "));
      jsonString(out_, r.error->type);
      out_.append(std::string_view(", \"message\": "));
      jsonString(out_, r.error->message);
      if (r.blame) {
        out_.append(std::string_view(", \"field\": "));
        jsonString(out_, r.blame->field);
        out_.append(std::string_view(", \"value\": "));
        jsonValue(out_, r.blame->value);
        if (r.blame->limit) {
          fmt::format_to(out, FMT_COMPILE(", \"limit\": {}"), *r.blame->limit);
        }
      }
      out_.append(std::string_view("}}\n"));
    }
    return;
  }
  linePrefix(line);
  fmt::format_to(out, "{}  ", shortName(r.util));
  if (r.error) {
    fmt::format_to(out, "raised {}\n{:{}}{:<{}}{}\n", r.error->type, "", kIndent, "error", kLabel,
                   r.error->message);
    if (r.blame) {
      fmt::format_to(out, "{:{}}{:<{}}{} = {}", "", kIndent, "field", kLabel, r.blame->field,
                     r.blame->value);
      if (r.blame->limit) fmt::format_to(out, ", limit {}", *r.blame->limit);
      out_.push_back('\n');
    }
  } else if (r.applicable) {
    fmt::format_to(out, "applicable, {} bits\n", r.sizeBits);
  } else if (r.reason.empty()) {
    out_.append(std::string_view("not applicable\n"));
  } else {
    fmt::format_to(out, "not applicable: {}\n", r.reason);
  }
  if (r.shadowRead) {
    fmt::format_to(out, "{:{}}{:<{}}", "", kIndent, "shadow", kLabel);
    textShadow(r.shadow);
  }
  if (!r.error) {
    fmt::format_to(out, "{:{}}{:<{}}", "", kIndent, "schan", kLabel);
    if (r.cmds.empty()) out_.append(std::string_view("none\n"));
    bool first = true;
    for (auto const& cmd : r.cmds) {
      if (!first) fmt::format_to(out, "{:{}}", "", kIndent + kLabel);
      fmt::format_to(out, "{}\n", cmd);
      first = false;
    }
  }
}

void Reporter::rejected(std::size_t line, std::string_view message) {
  if (quiet_) return;
  auto out = std::back_inserter(out_);
  if (form_ == Form::json) {
    jsonLine(line);
    out_.append(std::string_view(", \"error\": {\"type\": \"input\", \"message\": "));
    jsonString(out_, message);
    out_.append(std::string_view("}}\n"));
  } else {
    linePrefix(line);
    fmt::format_to(out, "rejected: {}\n", message);
  }
}

void Reporter::unmet(std::size_t line, std::string_view expect, std::string_view differs) {
  if (quiet_) return;
  if (form_ == Form::json) {
    jsonLine(line);
    // `expect` is the line's own member, minified: JSON as it stands.
    out_.append(std::string_view(", \"expect\": "));
    out_.append(expect);
    out_.append(std::string_view(", \"differs\": "));
    jsonString(out_, differs);
    out_.append(std::string_view("}\n"));
  } else {
    linePrefix(line);
    fmt::format_to(std::back_inserter(out_), "expect: {} differs: {}\n", expect, differs);
  }
}

void Reporter::dumpEntry(std::string_view table, ShadowView const& entry) {
  if (form_ == Form::json) {
    out_.append(std::string_view("{\"dump\": {\"table\": "));
    jsonString(out_, table);
    out_.append(std::string_view(", "));
    jsonShadow(entry, false);
    out_.append(std::string_view("}}\n"));
  } else {
    fmt::format_to(std::back_inserter(out_), "{:<{}}{:<{}}", "dump", kIndent, "shadow", kLabel);
    fmt::format_to(std::back_inserter(out_), "{} ", table);
    textShadow(entry);
  }
}

void Reporter::summary(Summary const& s, std::vector<Session::Util> const& utils) {
  auto out = std::back_inserter(out_);
  if (form_ == Form::json) {
    fmt::format_to(out,
                   "{{\"summary\": {{\"lines\": {}, \"rejected\": {}, \"offers\": {}, "
                   "\"errors\": {}, \"expected\": {}, \"unmet\": {}, \"utils\": {{",
                   s.lines, s.rejected, s.offers, s.errors, s.expected, s.unmet);
    char const* sep = "";
    for (auto const& util : utils) {
      out_.append(std::string_view(sep));
      jsonString(out_, util.name);
      auto const* stats = util.util->stats().get();
      auto const count = [&](std::uint64_t (ZuriAsicUtils::UtilStats::*get)() const noexcept) {
        return stats != nullptr ? (stats->*get)() : 0;
      };
      fmt::format_to(out,
                     ": {{\"add\": {}, \"delete\": {}, \"updateOnDelete\": {}, "
                     "\"fapmaskMismatch\": {}}}",
                     count(&ZuriAsicUtils::UtilStats::addCnt),
                     count(&ZuriAsicUtils::UtilStats::deleteCnt),
                     count(&ZuriAsicUtils::UtilStats::updateOnDelCnt),
                     count(&ZuriAsicUtils::UtilStats::fapmaskMismatch));
      sep = ", ";
    }
    out_.append(std::string_view("}}}\n"));
    return;
  }
  fmt::format_to(out, "summary: {}, {} rejected, {}, {}", counted(s.lines, "line"), s.rejected,
                 counted(s.offers, "offer"), counted(s.errors, "error"));
  if (s.expected != 0) {
    fmt::format_to(out, ", {}, {} unmet", counted(s.expected, "expectation"), s.unmet);
  }
  out_.push_back('\n');
  // People want the table utilities that did something; scripts get all from --format json.
  std::size_t width = 0;
  std::size_t idle = 0;
  auto const busy = [](Session::Util const& util) {
    auto const* stats = util.util->stats().get();
    return stats != nullptr && (stats->addCnt() != 0 || stats->deleteCnt() != 0 ||
                                stats->updateOnDelCnt() != 0 || stats->fapmaskMismatch() != 0);
  };
  for (auto const& util : utils) {
    if (busy(util)) width = std::max(width, shortName(util.name).size());
  }
  for (auto const& util : utils) {
    if (!busy(util)) {
      ++idle;
      continue;
    }
    fmt::format_to(out, "  {:<{}}  {}\n", shortName(util.name), width, *util.util->stats());
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
