// The text form: aligned lines for people, every untrusted text escaped.

#include <algorithm>
#include <iterator>

#include <fmt/ranges.h>

#include "Bits.h"
#include "Describe.h"
#include "Escape.h"
#include "Explainer.h"
#include "Notes.h"
#include "Printer.h"
#include "replay_support/ChipMemory.h"
#include "replay_support/FieldText.h"

namespace eedb::replay {

namespace {

constexpr unsigned kIndent = 11;  // where the detail lines of an offer start: after "line 1234  "
constexpr unsigned kLabel = 8;    // width of a detail line's label ("shadow", "schan", "error")
constexpr unsigned kTextWidth = 100;

// "1 error", "2 errors"
std::string counted(std::size_t n, std::string_view noun) {
  return fmt::format("{} {}{}", n, noun, n == 1 ? "" : "s");
}

using ZuriErrm::FieldInfo;
using ZuriErrm::FieldKind;

std::string typeText(FieldInfo const& info) {
  switch (info.kind) {
    case FieldKind::number:
      return fmt::format("number, {} bits", info.bits);
    case FieldKind::bounded:
      return fmt::format("bounded, {} bit{} (max {})", info.bits, info.bits == 1 ? "" : "s",
                         info.max());
    case FieldKind::address:
      return "IPv4 or IPv6 address";
    case FieldKind::mac:
      return "MAC address";
    case FieldKind::outlif:
      return fmt::format("out-LIF, {} bits or null", info.bits);
    case FieldKind::object:
      break;
  }
  return "object";
}

std::string viewTitle(ViewDescription const& v) {
  std::string title = v.view ? fmt::format("view {} -> ", *v.view) : std::string("entry -> ");
  if (!v.failure.empty()) return title + "an empty entry does not translate: " + v.failure;
  return title + (v.format.empty() ? std::string("one-bit entry")
                                   : fmt::format("{}, {} bits", v.format, v.sizeBits));
}

class TextPrinter final : public Printer {
  // "12", or "a.jsonl:12" from several inputs.
  static std::string where(StreamPlace const& at) {
    return at.file.empty() ? fmt::format("{}", at.line)
                           : fmt::format("{}:{}", shownName(at.file), at.line);
  }
  static std::string plugin(PluginId const& id) {
    return fmt::format("{} ({} {})", shownName(id.path), id.version.empty() ? "?" : id.version,
                       id.commit.empty() ? "no commit" : escapedText(id.commit));
  }

  // The label of an offer's detail line ("shadow", "schan", "error"), indented.
  void label(std::string_view name) { print("{:{}}{:<{}}", "", kIndent, name, kLabel); }
  void escaped(std::string_view text) { appendEscapedText(out_, text); }

  // "line 12    ", as wide as kIndent up to line 9999; "line a.jsonl:12  " from several files.
  void linePrefix(std::size_t line) {
    if (file_.empty()) {
      print("line {:<4}  ", line);
      return;
    }
    put("line ");
    escaped(file_);
    print(":{}  ", line);
  }

  // "fap 0 instance 0 key 4096: EedbRifBasicEtpsEthRif60Entry", then the fields, wrapped; an
  // address field as its address (10.1.2.3, 2001:db8::1, 02:00:00:aa:bb:cc).
  void shadow(ShadowView const& shadow) {
    print("fap {} instance {} key {}: ", shadow.fap, shadow.instance, shadow.key);
    if (!shadow.present) {
      put("absent\n");
      return;
    }
    put(shadow.format.empty() ? std::string_view("no format") : shadow.format);
    out_.push_back('\n');
    if (shadow.fields.empty()) return;
    unsigned const indent = kIndent + kLabel;
    std::size_t lineStart = out_.size();
    print("{:{}}", "", indent);
    bool first = true;
    for (auto const& field : shadow.fields) {
      std::size_t const before = out_.size();
      if (!first) put("  ");
      print("{}=", field.name);
      if (!chip26_a0::layout::appendAddress(out_, field.kind, field.value)) {
        appendFieldNumber(out_, field.value, "");
      }
      if (!first && out_.size() - lineStart > kTextWidth) {
        // Too long: move this field to a line of its own.
        std::string const moved(out_.data() + before + 2, out_.data() + out_.size());
        out_.resize(before);
        out_.push_back('\n');
        lineStart = out_.size();
        print("{:{}}{}", "", indent, moved);
      }
      first = false;
    }
    out_.push_back('\n');
    if (bits_) drawShadowBits(out_, shadow, indent);
  }

  // One line per trace, the trace line as standard error would show it, escaped: in an offer's
  // detail lines "trace" is the label and `first` (the line prefix, or nothing) comes first.
  void traceLines(std::string_view first, std::span<TraceLine const> lines) {
    for (auto const& t : lines) {
      print("{:<{}}{:<{}}", first, kIndent, "trace", kLabel);
      trace(t);
      first = "";
    }
  }

  void trace(TraceLine const& trace) {
    escaped(fmt::format("{}", trace.record()));
    out_.push_back('\n');
  }

  void shownOffer(std::size_t line, OfferResult const& r) override {
    linePrefix(line);
    print("{}  ", r.name);
    if (r.error) {
      print("raised {}\n", r.error->type);
    } else if (r.applicable) {
      print("applicable, {} bits\n", r.sizeBits);
    } else if (r.reason.empty()) {
      put("not applicable\n");
    } else {
      print("not applicable: {}\n", r.reason);
    }
    traceLines("", r.traces);
    if (r.error) {
      label("error");
      escaped(r.error->message);
      out_.push_back('\n');
      if (r.blame) {
        label("field");
        print("{} = ", r.blame->field);
        escaped(fmt::format("{}", r.blame->value));
        if (r.blame->limit) print(", limit {}", *r.blame->limit);
        out_.push_back('\n');
      }
    }
    if (r.shadowRead && !r.shownUnder.empty()) {
      // The entry a sibling wrote: shown once, under its offer.
      label("shadow");
      print("fap {} instance {} key {}: shown under {}\n", r.shadow.fap, r.shadow.instance,
            r.shadow.key, r.shownUnder);
    } else if (r.shadowRead) {
      label("shadow");
      shadow(r.shadow);
    }
    if (!r.error) {
      label("schan");
      if (r.cmds.empty()) put("none\n");
      bool first = true;
      for (auto const& cmd : r.cmds) {
        if (!first) print("{:{}}", "", kIndent + kLabel);
        print("{}\n", cmd);
        first = false;
      }
    }
    // "note    fodo 40000 programmed as 7232 (low 15 bits)", "note    overwrites
    // EedbOutrifUtil's entry (format EedbRifBasicEtpsEthRif60Entry)"
    for (auto const& note : r.lossy) {
      label("note");
      print("{}\n", lossyText(note));
    }
    if (r.overwrites) {
      label("note");
      print("{}\n", overwriteText(*r.overwrites));
    }
  }

  void traces(std::optional<std::size_t> line, std::span<TraceLine const> lines) override {
    if (lines.empty()) return;
    if (line) {
      std::size_t const at = out_.size();
      linePrefix(*line);
      std::string const first(out_.data() + at, out_.size() - at);
      out_.resize(at);
      traceLines(first, lines);
      return;
    }
    // Outside every line: "trace" in the first column.
    for (auto const& t : lines) {
      print("{:<{}}", "trace", kIndent);
      trace(t);
    }
  }

  void rejected(std::size_t line, std::string_view message) override {
    linePrefix(line);
    put("rejected: ");
    escaped(message);
    out_.push_back('\n');
  }

  void unmet(std::size_t line, std::string_view expect, std::string_view differs) override {
    linePrefix(line);
    put("expect: ");
    escaped(expect);
    put(" differs: ");
    escaped(differs);
    out_.push_back('\n');
  }

  void dumpEntry(std::string_view table, ShadowView const& entry) override {
    print("{:<{}}{:<{}}{} ", "dump", kIndent, "shadow", kLabel, table);
    shadow(entry);
  }

  void summary(Summary const& s) override {
    print("summary: {}, {} rejected, {}, {}", counted(s.lines, "line"), s.rejected,
          counted(s.offers, "offer"), counted(s.errors, "error"));
    if (s.expected != 0) print(", {}, {} unmet", counted(s.expected, "expectation"), s.unmet);
    if (s.lossy != 0) print(", {}", counted(s.lossy, "lossy value"));
    if (s.overwrites != 0) print(", {}", counted(s.overwrites, "overwrite"));
    out_.push_back('\n');
    // People want the table utilities that did something; scripts get all from --format json.
    std::size_t width = 0;
    std::size_t idle = 0;
    for (auto const& util : s.utils) {
      if (util.busy()) width = std::max(width, util.shortName.size());
    }
    for (auto const& util : s.utils) {
      if (!util.busy()) {
        ++idle;
        continue;
      }
      print("  {:<{}}  {}\n", util.shortName, width, util.text);
    }
    if (idle != 0) {
      print("  ({} other table {} did nothing)\n", idle, idle == 1 ? "utility" : "utilities");
    }
  }

  void verifyRefused(std::string_view message) override {
    put("verify: ");
    escaped(message);
    out_.push_back('\n');
  }

  void verifyDifference(chip26_a0::MemoryDifference const& d) override {
    verifyRefused(fmt::format("{}", d));
  }

  void verified(std::size_t commands, std::size_t differences) override {
    print("verify: {} commands run on the chip model, {} difference{} from the shadow\n", commands,
          differences, differences == 1 ? "" : "s");
  }

  void tableList(std::span<TableListing const> tables) override {
    std::size_t width = 0;
    for (auto const& t : tables) width = std::max(width, t.table->name.size());
    for (auto const& t : tables) {
      // One table utility a line, the first beside the table.
      print("{:<{}}  {:#010x}", t.table->name, width, t.table->swTableId.value());
      if (t.utils.empty()) put("  (no table utility)\n");
      bool first = true;
      for (auto const& [name, revisions] : t.utils) {
        if (!first) print("{:{}}", "", width + 12);
        print("  {} ({})\n", shortNameOf(name), fmt::join(revisions, " "));
        first = false;
      }
    }
  }

  void description(TableDescription const& d) override {
    ZuriErrm::TableInfo const& table = *d.table;
    std::vector<FieldPath> const fields = leafFields(table, table.newEntry(), true);
    std::size_t width = 0;
    for (auto const& f : fields) width = std::max(width, f.path.size());
    print("{}: software table {:#010x}, {} fields\n", table.name, table.swTableId.value(),
          fields.size());
    for (auto const& f : fields) print("  {:<{}}  {}\n", f.path, width, typeText(*f.info));
    for (auto const& u : d.utils) {
      print("\n{} ({})\n", shortNameOf(u.util), u.hwTable);
      for (auto const& v : u.views) {
        print("  {}\n", viewTitle(v));
        std::string unused;
        for (auto const& r : v.rules) {
          if (r.kind == FieldRule::Kind::unused) {
            unused += (unused.empty() ? "" : ", ") + r.field;
            continue;
          }
          print("    {:<{}}  {}\n", r.field, width, r.text());
        }
        if (!unused.empty()) print("    not used by this view: {}\n", unused);
      }
    }
    print("\nexample{} (replays without error):\n", d.examples.size() == 1 ? "" : "s");
    for (auto const& line : d.examples) print("  {}\n", line);
  }

  void shrunk(ShrinkReport const& r) override {
    if (r.failure == ShrinkReport::Kept::nothing) {
      print("shrink: the stream of {} lines does not fail: nothing to shrink, {} not written\n",
            r.lines, shownName(r.out));
      return;
    }
    print("shrink: kept {} of {} lines in {}{} ({} probes, {:.3f} s)\n", r.kept, r.lines,
          shownName(r.out),
          r.members == 0
              ? std::string()
              : fmt::format(", {} member{} taken out", r.members, r.members == 1 ? "" : "s"),
          r.probes, r.seconds);
    if (r.failure == ShrinkReport::Kept::line) {
      print("  failure kept: line {}: {}\n", where({r.line, r.file}), escapedText(r.what));
    } else {
      print("  failure kept: --verify: {}\n", escapedText(r.what));
    }
  }

  void comparing(PluginId const (&sides)[2]) override {
    print("compare A {}\n     with B {}\n", plugin(sides[0]), plugin(sides[1]));
  }

  void lineDiffers(StreamPlace const& at, std::span<MemberDifference const> differences) override {
    print("line {}: differs\n", where(at));
    for (MemberDifference const& d : differences) {
      print("  {}\n    A {}\n    B {}\n", escapedText(d.member),
            d.values[0] ? escapedText(*d.values[0]) : "(none)",
            d.values[1] ? escapedText(*d.values[1]) : "(none)");
    }
  }

  void compared(std::size_t lines, std::size_t differing,
                std::optional<StreamPlace> const& first) override {
    print("compared {} lines: {} differ{}\n", lines, differing,
          first ? fmt::format(", the first at line {}", where(*first)) : std::string());
  }

  void version(VersionInfo const& v) override {
    auto const commit = [](std::string_view c) {
      return c.empty() ? std::string() : fmt::format(" (commit {})", c);
    };
    print("eedb-replay {}{}\n", v.tool, commit(v.toolCommit));
    if (!v.loaded) return;
    print("plug-in {} {}{}\n", escapedText(v.pluginPath),
          v.plugin.empty() ? "(no version)" : v.plugin, commit(v.pluginCommit));
  }
};

}  // namespace

std::unique_ptr<Printer> makeTextPrinter() {
  return std::make_unique<TextPrinter>();
}

}  // namespace eedb::replay
