// The JSON form: one object per line for scripts (schemas/output.schema.json). The offer path
// runs once per offer: its format strings are compiled, and strings without characters to
// escape (every name, most messages) are copied whole (Escape.h).

#include <algorithm>
#include <iterator>

#include <fmt/compile.h>

#include "Describe.h"
#include "Digits.h"
#include "Escape.h"
#include "Explainer.h"
#include "Printer.h"
#include "replay_support/ChipMemory.h"
#include "replay_support/FieldText.h"

namespace eedb::replay {

using chip26_a0::layout::FieldKind;

void jsonValue(fmt::memory_buffer& out, ZuriErrm::Value const& value) {
  using Kind = ZuriErrm::Value::Kind;
  switch (value.kind()) {
    case Kind::null:
      out.append(std::string_view("null"));
      return;
    case Kind::number: {
      fmt::format_int const text(value.asNumber());
      out.append(std::string_view(text.data(), text.size()));
      return;
    }
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
    out.append(sep);
    appendJsonString(out, member.name);
    out.append(std::string_view(": "));
    jsonValue(out, member.value);
    sep = ", ";
  }
  out.push_back('}');
}

namespace {

// One offer's record, written through a pointer into room made once for the most it can take:
// each piece is then a few stores, without a size check of its own. The room counts every text
// six times (the longest escape of a byte, "\\u00XX" or "\\ufffd"), every number at its most
// digits and every address at its longest, so that no record outgrows it.
class Cursor {
 public:
  Cursor(fmt::memory_buffer& out, std::size_t most) : out_(out) {
    out_.reserve(out_.size() + most);
    at_ = out_.data() + out_.size();
  }
  ~Cursor() { out_.resize(static_cast<std::size_t>(at_ - out_.data())); }
  Cursor(Cursor const&) = delete;
  Cursor& operator=(Cursor const&) = delete;

  // Room for a text as string() writes it.
  static constexpr std::size_t roomFor(std::string_view text) { return 6 * text.size() + 2; }

  template <std::size_t N>
  [[gnu::always_inline]] void put(char const (&text)[N]) {
    std::memcpy(at_, text, N - 1);
    at_ += N - 1;
  }
  void put(char c) { *at_++ = c; }
  void number(std::uint64_t n) { at_ = digits::writeDecimal(at_, n); }
  void hexWord(std::uint32_t word) { at_ = digits::writeHexWord(at_, word); }
  void address(chip26_a0::layout::FieldKind kind, chip26_a0::layout::FieldValue const& value) {
    at_ = chip26_a0::layout::writeAddress(at_, kind, value);
  }
  // A quoted JSON string: copied whole when nothing in it needs an escape, as
  // appendJsonString does.
  void string(std::string_view text) {
    if (!detail::plainAscii(text)) {
      escaped(text);
      return;
    }
    at_[0] = '"';
    detail::copyText(at_ + 1, text.data(), text.size());
    at_[text.size() + 1] = '"';
    at_ += text.size() + 2;
  }
  void stringOrNull(std::string_view text) {
    if (text.empty()) {
      put("null");
    } else {
      string(text);
    }
  }
  // A field value as appendJsonFieldValue writes it: a number up to 64 bits, a wider one as
  // "0x" and 32 hex digits.
  void fieldValue(chip26_a0::layout::FieldValue const& value) {
    if (!value.wide()) {
      number(value.value());
      return;
    }
    put("\"0x");
    auto const& w = value.words();
    for (std::size_t i = w.size(); i-- > 0;) hexWord(w[i]);
    put('"');
  }

 private:
  [[gnu::noinline]] void escaped(std::string_view text) {
    out_.resize(static_cast<std::size_t>(at_ - out_.data()));
    detail::appendJsonStringEscaped(out_, text);
    at_ = out_.data() + out_.size();
  }

  fmt::memory_buffer& out_;
  char* at_;
};

// What a record can take beside its texts: its numbers and punctuation, per field (with its
// address) and per command (with its data words).
constexpr std::size_t kOfferRoom = 640;
constexpr std::size_t kFieldRoom = 96 + Plexo::kAddressTextMax;
constexpr std::size_t kCommandRoom = 320 + 8 * ZuriAsicUtils::SchanCmd::kMaxWords;

class JsonPrinter final : public Printer {
  void string(std::string_view text) { appendJsonString(out_, text); }
  // A text, or null when it is empty.
  void stringOrNull(std::string_view text) {
    if (text.empty()) {
      put("null");
    } else {
      string(text);
    }
  }
  // [ITEM, ITEM]: `item` writes each.
  template <class Range, class Item>
  void list(Range const& range, Item const& item) {
    out_.push_back('[');
    bool first = true;
    for (auto const& element : range) {
      if (!first) put(", ");
      item(element);
      first = false;
    }
    out_.push_back(']');
  }

  // {"line": 12 (, "file": "a.jsonl" from several files)
  void lineStart(std::size_t line) {
    put("{\"line\": ");
    putNumber(line);
    if (!file_.empty()) {
      put(", \"file\": ");
      string(file_);
    }
  }

  // The room shadow() takes beside the constant part of its record.
  static std::size_t shadowRoom(ShadowView const& shadow) {
    std::size_t room = Cursor::roomFor(shadow.format);
    for (ShadowField const& field : shadow.fields)
      room += 2 * Cursor::roomFor(field.name) + kFieldRoom;
    return room;
  }

  static void shadow(Cursor& out, ShadowView const& shadow, bool withPresence) {
    out.put("\"fap\": ");
    out.number(shadow.fap);
    out.put(", \"instance\": ");
    out.number(shadow.instance);
    out.put(", \"key\": ");
    out.number(shadow.key);
    if (withPresence) {
      if (shadow.present) {
        out.put(", \"present\": true");
      } else {
        out.put(", \"present\": false");
      }
    }
    out.put(", \"format\": ");
    out.stringOrNull(shadow.format);
    out.put(", \"fields\": {");
    bool addresses = false;
    for (std::size_t i = 0; i < shadow.fields.size(); ++i) {
      ShadowField const& field = shadow.fields[i];
      if (i != 0) out.put(", ");
      out.string(field.name);
      out.put(": ");
      out.fieldValue(field.value);
      addresses = addresses || field.kind != FieldKind::number;
    }
    out.put('}');
    if (!addresses) return;
    // Beside "fields", which keeps the numbers: "addresses": {"ipv4Dip": "10.1.2.3"}, for a
    // format with address fields only.
    out.put(", \"addresses\": {");
    bool first = true;
    for (auto const& field : shadow.fields) {
      if (field.kind == FieldKind::number) continue;
      if (!first) out.put(", ");
      out.string(field.name);
      out.put(": \"");
      out.address(field.kind, field.value);
      out.put('"');
      first = false;
    }
    out.put('}');
  }

  // {"op": "write", "fap": 0, "instance": 0, "memory": "EEDB", "index": 4096, "type": 1,
  //  "sizeBits": 60, "data": "0x..."}: the result type is the number the text shows (the shadow
  //  names the format); the data words most significant first, at least one.
  static void schan(Cursor& out, ZuriAsicUtils::SchanCmd const& cmd) {
    if (cmd.op == ZuriAsicUtils::SchanCmd::Op::write) {
      out.put("{\"op\": \"write\", \"fap\": ");
    } else {
      out.put("{\"op\": \"clear\", \"fap\": ");
    }
    out.number(cmd.fapId);
    out.put(", \"instance\": ");
    out.number(cmd.instanceId);
    out.put(", \"memory\": ");
    out.string(cmd.memory);
    out.put(", \"index\": ");
    out.number(cmd.index);
    out.put(", \"type\": ");
    out.number(cmd.resultType);
    out.put(", \"sizeBits\": ");
    out.number(cmd.sizeBits);
    out.put(", \"data\": \"0x");
    unsigned const words = std::clamp(cmd.wordCount(), 1u, ZuriAsicUtils::SchanCmd::kMaxWords);
    for (unsigned i = words; i-- > 0;) out.hexWord(cmd.data[i]);
    out.put("\"}");
  }

  // "trace": [{"handle": ..., "level": 3, "file": ..., "line": 82, "function": ..., "class": ...,
  // "message": ...}, ...]
  void traceList(std::span<TraceLine const> lines) {
    put("\"trace\": ");
    list(lines, [&](TraceLine const& t) {
      put("{\"handle\": ");
      string(t.handle);
      fmt::format_to(std::back_inserter(out_), FMT_COMPILE(", \"level\": {}, \"file\": "), t.level);
      string(t.file);
      fmt::format_to(std::back_inserter(out_), FMT_COMPILE(", \"line\": {}, \"function\": "),
                     t.line);
      string(t.function);
      put(", \"class\": ");
      string(t.classLabel);
      put(", \"message\": ");
      string(t.message);
      out_.push_back('}');
    });
  }

  // "lossy": [{"field": "fodo", "input": 40000, "programmed": 7232, "rule": "cut to fodo (low 15
  // bits)"}], "overwrites": {"util": ..., "name": ..., "format": ..., "deleted": false}
  void notes(OfferResult const& r) {
    if (!r.lossy.empty()) {
      put(", \"lossy\": ");
      list(r.lossy, [&](LossyNote const& note) {
        put("{\"field\": ");
        string(note.field);
        fmt::format_to(std::back_inserter(out_),
                       FMT_COMPILE(", \"input\": {}, \"programmed\": {}, \"rule\": "), note.input,
                       note.programmed);
        string(note.rule);
        out_.push_back('}');
      });
    }
    if (r.overwrites) {
      put(", \"overwrites\": {\"util\": ");
      string(r.overwrites->util);
      put(", \"name\": ");
      string(r.overwrites->name);
      put(", \"format\": ");
      stringOrNull(r.overwrites->format);
      put(r.overwrites->deleted ? std::string_view(", \"deleted\": true}")
                                : std::string_view(", \"deleted\": false}"));
    }
  }

  // The parts of every record (up to "schan") through one Cursor; the rare ones (traces,
  // notes, the error) after it.
  void shownOffer(std::size_t line, OfferResult const& r) override {
    std::size_t room = kOfferRoom + Cursor::roomFor(file_) + Cursor::roomFor(r.util) +
                       Cursor::roomFor(r.name) + Cursor::roomFor(r.reason) +
                       Cursor::roomFor(r.shownUnder);
    if (r.shadowRead) room += shadowRoom(r.shadow);
    for (auto const& cmd : r.cmds) room += kCommandRoom + Cursor::roomFor(cmd.memory);
    {
      Cursor out(out_, room);
      out.put("{\"line\": ");
      out.number(line);
      if (!file_.empty()) {
        out.put(", \"file\": ");
        out.string(file_);
      }
      out.put(", \"util\": ");
      out.string(r.util);
      out.put(", \"name\": ");
      out.string(r.name);
      if (!r.error) {
        if (r.applicable) {
          out.put(", \"applicable\": true, \"sizeBits\": ");
        } else {
          out.put(", \"applicable\": false, \"sizeBits\": ");
        }
        out.number(r.sizeBits);
        if (!r.applicable && !r.reason.empty()) {
          out.put(", \"reason\": ");
          out.string(r.reason);
        }
      }
      if (r.shadowRead) {
        out.put(", \"shadow\": {");
        shadow(out, r.shadow, true);
        if (!r.shownUnder.empty()) {
          // The entry a sibling wrote (the text form shows it only under that sibling's offer).
          out.put(", \"shownUnder\": ");
          out.string(r.shownUnder);
        }
        out.put('}');
      }
      if (!r.error) {
        out.put(", \"schan\": [");
        for (std::size_t i = 0; i < r.cmds.size(); ++i) {
          if (i != 0) out.put(", ");
          schan(out, r.cmds[i]);
        }
        out.put(']');
      }
    }
    if (r.traced) {
      put(", ");
      traceList(r.traces);
    }
    notes(r);
    if (!r.error) {
      put(", \"error\": null}\n");
      return;
    }
    put(", \"error\": {\"type\": ");
    string(r.error->type);
    put(", \"message\": ");
    string(r.error->message);
    if (r.blame) {
      put(", \"field\": ");
      string(r.blame->field);
      put(", \"value\": ");
      jsonValue(out_, r.blame->value);
      if (r.blame->limit) print(", \"limit\": {}", *r.blame->limit);
    }
    put("}}\n");
  }

  void traces(std::optional<std::size_t> line, std::span<TraceLine const> lines) override {
    if (lines.empty()) return;
    if (line) {
      lineStart(*line);
      put(", ");
    } else {
      out_.push_back('{');
    }
    traceList(lines);
    put("}\n");
  }

  void rejected(std::size_t line, std::string_view message) override {
    lineStart(line);
    put(", \"error\": {\"type\": \"input\", \"message\": ");
    string(message);
    put("}}\n");
  }

  void unmet(std::size_t line, std::string_view expect, std::string_view differs) override {
    lineStart(line);
    // `expect` is the line's own member, minified: JSON as it stands.
    put(", \"expect\": ");
    put(expect);
    put(", \"differs\": ");
    string(differs);
    put("}\n");
  }

  void dumpEntry(std::string_view table, ShadowView const& entry) override {
    Cursor out(out_, kOfferRoom + Cursor::roomFor(table) + shadowRoom(entry));
    out.put("{\"dump\": {\"table\": ");
    out.string(table);
    out.put(", ");
    shadow(out, entry, false);
    out.put("}}\n");
  }

  void summary(Summary const& s) override {
    print(
        "{{\"summary\": {{\"format\": {}, \"lines\": {}, \"rejected\": {}, \"offers\": {}, "
        "\"errors\": {}, \"expected\": {}, \"unmet\": {}, \"lossy\": {}, \"overwrites\": {}, "
        "\"passed\": {}, \"utils\": {{",
        kOutputFormat, s.lines, s.rejected, s.offers, s.errors, s.expected, s.unmet, s.lossy,
        s.overwrites, s.passed);
    std::string_view sep;
    for (auto const& util : s.utils) {
      put(sep);
      string(util.name);
      print(
          ": {{\"add\": {}, \"delete\": {}, \"updateOnDelete\": {}, \"fapmaskMismatch\": {}, "
          "\"name\": ",
          util.add, util.del, util.updateOnDelete, util.fapmaskMismatch);
      string(util.shortName);
      out_.push_back('}');
      sep = ", ";
    }
    put("}}}\n");
  }

  void verifyRefused(std::string_view message) override {
    put("{\"verify\": {\"refused\": ");
    string(message);
    put("}}\n");
  }

  // {NAME: {"shadow": ..., "chip": ...}} for each field difference, the pair written by `side`.
  template <class Side>
  void fieldPairs(std::vector<chip26_a0::FieldDifference> const& fields, Side const& side) {
    out_.push_back('{');
    std::string_view sep;
    for (auto const& f : fields) {
      put(sep);
      string(f.name);
      put(": {\"shadow\": ");
      side(f, true);
      put(", \"chip\": ");
      side(f, false);
      out_.push_back('}');
      sep = ", ";
    }
    out_.push_back('}');
  }

  // {"verify": {"memory": ..., "fap": ..., "instance": ..., "index": ..., "shadow": ENTRY TEXT,
  //  "chip": ENTRY TEXT, "fields": {NAME: {"shadow": TEXT, "chip": TEXT}},
  //  "values": {NAME: {"shadow": NUMBER, "chip": NUMBER}}, "addresses": {...}}}
  void verifyDifference(chip26_a0::MemoryDifference const& d) override {
    put("{\"verify\": {\"memory\": ");
    string(d.place.memory);
    print(", \"fap\": {}, \"instance\": {}, \"index\": {}, \"shadow\": ", d.place.fapId,
          d.place.instanceId, d.place.index);
    string(d.shadow);
    put(", \"chip\": ");
    string(d.chip);
    put(", \"fields\": ");
    fieldPairs(d.fields, [&](chip26_a0::FieldDifference const& f, bool shadow) {
      string(shadow ? f.shadow : f.chip);
    });
    // A field value as the offers carry it; null for none.
    put(", \"values\": ");
    fieldPairs(d.fields, [&](chip26_a0::FieldDifference const& f, bool shadow) {
      auto const& value = shadow ? f.shadowValue : f.chipValue;
      if (value) {
        appendJsonFieldValue(out_, *value);
      } else {
        put("null");
      }
    });
    std::vector<chip26_a0::FieldDifference> addresses;
    for (auto const& f : d.fields) {
      if (f.kind != FieldKind::number) addresses.push_back(f);
    }
    if (!addresses.empty()) {
      put(", \"addresses\": ");
      fieldPairs(addresses, [&](chip26_a0::FieldDifference const& f, bool shadow) {
        if (shadow ? f.shadowValue : f.chipValue) {
          string(shadow ? f.shadow : f.chip);
        } else {
          put("null");
        }
      });
    }
    put("}}\n");
  }

  void verified(std::size_t commands, std::size_t differences) override {
    print("{{\"verified\": {{\"commands\": {}, \"differences\": {}}}}}\n", commands, differences);
  }

  void tableList(std::span<TableListing const> tables) override {
    for (auto const& t : tables) {
      put("{\"table\": ");
      string(t.table->name);
      print(", \"swTableId\": {}, \"fields\": {}, \"utils\": ", t.table->swTableId.value(),
            t.fields);
      list(t.utils, [&](auto const& util) {
        put("{\"util\": ");
        string(util.first);
        put(", \"revisions\": ");
        list(util.second, [&](std::string const& r) { string(r); });
        out_.push_back('}');
      });
      put("}\n");
    }
  }

  void description(TableDescription const& d) override {
    ZuriErrm::TableInfo const& table = *d.table;
    put("{\"table\": ");
    string(table.name);
    print(", \"swTableId\": {}, \"fields\": ", table.swTableId.value());
    list(leafFields(table, table.newEntry(), true), [&](FieldPath const& f) {
      put("{\"field\": ");
      string(f.path);
      put(", \"kind\": ");
      string(fmt::format("{}", f.info->kind));
      print(", \"bits\": {}, \"max\": {}}}", f.info->bits, f.info->max());
    });
    put(", \"utils\": ");
    list(d.utils, [&](UtilDescription const& u) {
      put("{\"util\": ");
      string(u.util);
      put(", \"hwTable\": ");
      string(u.hwTable);
      put(", \"views\": ");
      list(u.views, [&](ViewDescription const& v) {
        put("{\"view\": ");
        if (v.view) {
          putNumber(*v.view);
        } else {
          put("null");
        }
        put(", \"format\": ");
        stringOrNull(v.format);
        print(", \"sizeBits\": {}, \"error\": ", v.sizeBits);
        stringOrNull(v.failure);
        put(", \"rules\": ");
        list(v.rules, [&](FieldRule const& r) {
          put("{\"field\": ");
          string(r.field);
          put(", \"rule\": ");
          string(kindName(r.kind));
          put(", \"to\": ");
          list(r.targets, [&](std::string const& t) { string(t); });
          print(", \"lowBits\": {}, \"max\": ", r.lowBits);
          if (r.max) {
            putNumber(*r.max);
          } else {
            put("null");
          }
          put(", \"mapping\": ");
          stringOrNull(r.mapping);
          put(", \"text\": ");
          string(r.text());
          out_.push_back('}');
        });
        out_.push_back('}');
      });
      out_.push_back('}');
    });
    put(", \"examples\": ");
    list(d.examples, [&](std::string const& line) { put(line); });
    put("}\n");
  }

  void shrunk(ShrinkReport const& r) override {
    print("{{\"shrink\": {{\"lines\": {}, \"kept\": {}, \"members\": {}, \"out\": ", r.lines,
          r.kept, r.members);
    if (r.failure == ShrinkReport::Kept::nothing) {
      put("null, \"failure\": null");
    } else {
      string(r.out);
      put(", \"failure\": {\"kind\": ");
      if (r.failure == ShrinkReport::Kept::line) {
        print("\"line\", \"line\": {}", r.line);
        if (!r.file.empty()) {
          put(", \"file\": ");
          string(r.file);
        }
      } else {
        put("\"verify\"");
      }
      put(", \"what\": ");
      string(r.what);
      put("}");
    }
    print(", \"probes\": {}, \"seconds\": {:.3f}}}}}\n", r.probes, r.seconds);
  }

  void comparing(PluginId const (&sides)[2]) override {
    sides_[0] = sides[0];
    sides_[1] = sides[1];
  }

  void lineDiffers(StreamPlace const& at, std::span<MemberDifference const> differences) override {
    put("{\"compare\": ");
    place(at);
    put(", ");
    plugins();
    put(", \"differences\": ");
    list(differences, [&](MemberDifference const& d) {
      put("{\"member\": ");
      string(d.member);
      put(", \"values\": [");
      // A member one side does not have: {} (a value is never an object here).
      put(d.values[0] ? std::string_view(*d.values[0]) : std::string_view("{}"));
      put(", ");
      put(d.values[1] ? std::string_view(*d.values[1]) : std::string_view("{}"));
      put("]}");
    });
    put("}}\n");
  }

  void compared(std::size_t lines, std::size_t differing,
                std::optional<StreamPlace> const& first) override {
    print("{{\"compared\": {{\"lines\": {}, \"differing\": {}, \"first\": ", lines, differing);
    if (first) {
      place(*first);
      put("}");
    } else {
      put("null");
    }
    put(", ");
    plugins();
    put("}}\n");
  }

  void version(VersionInfo const& v) override {
    put("{\"version\": ");
    stringOrNull(v.tool);
    put(", \"commit\": ");
    stringOrNull(v.toolCommit);
    print(", \"format\": {}, \"plugin\": ", kOutputFormat);
    if (!v.loaded) {
      put("null}\n");
      return;
    }
    put("{\"path\": ");
    stringOrNull(v.pluginPath);
    put(", \"version\": ");
    stringOrNull(v.plugin);
    put(", \"commit\": ");
    stringOrNull(v.pluginCommit);
    put("}}\n");
  }

 private:
  // {"line": 12 (, "file": "a.jsonl"), without its closing brace.
  void place(StreamPlace const& at) {
    print("{{\"line\": {}", at.line);
    if (at.file.empty()) return;
    put(", \"file\": ");
    string(at.file);
  }
  // "plugins": [A, B], each as --version names it: null for what it does not name.
  void plugins() {
    put("\"plugins\": ");
    list(sides_, [&](PluginId const& id) {
      put("{\"path\": ");
      string(id.path);
      put(", \"version\": ");
      stringOrNull(id.version);
      put(", \"commit\": ");
      stringOrNull(id.commit);
      put("}");
    });
  }

  PluginId sides_[2];
};

}  // namespace

std::unique_ptr<Printer> makeJsonPrinter() {
  return std::make_unique<JsonPrinter>();
}

}  // namespace eedb::replay
