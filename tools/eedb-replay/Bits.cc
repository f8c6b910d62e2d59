// Bit diagrams of hardware entries, drawn from the format tables.

#include "Bits.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "chip26_a0/BitField.h"
#include "chip26_a0/EedbEntry.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"

namespace eedb::replay {

using chip26_a0::layout::FieldSpec;
using chip26_a0::layout::FieldValue;

namespace {

constexpr unsigned kRowBits = 32;
constexpr unsigned kRowChars = 2 * kRowBits + 1;  // a border before every bit and after the last

// One field's share of a row: row bits [lo, hi).
struct Segment {
  unsigned lo;
  unsigned hi;
  FieldSpec const* field;  // null for reserved bits
};

// Decimal up to 16 bits, hexadecimal above; a 128-bit value without its leading zero words.
std::string valueText(FieldValue const& value) {
  if (!value.wide()) {
    return value.width() <= 16 ? fmt::format("{}", value.value())
                               : fmt::format("{:#x}", value.value());
  }
  auto const& w = value.words();
  std::size_t top = w.size() - 1;
  while (top > 0 && w[top] == 0) --top;
  std::string text = fmt::format("{:#x}", w[top]);
  for (std::size_t i = top; i-- > 0;) text += fmt::format("{:08x}", w[i]);
  return text;
}

FieldValue valueAt(std::span<std::uint32_t const> words, FieldSpec const& field) {
  FieldValue::Words v{};
  chip26_a0::bits::extract(words, field.offset, field.width, v);
  return FieldValue(field.width, v);
}

std::string_view trimRight(std::string const& line) {
  std::string_view view(line);
  while (!view.empty() && view.back() == ' ') view.remove_suffix(1);
  return view;
}

void putLine(fmt::memory_buffer& out, unsigned indent, std::string_view text) {
  fmt::format_to(std::back_inserter(out), "{:{}}{}\n", "", indent, text);
}

std::string separator(unsigned top) {
  std::string line(2 * (kRowBits - top), ' ');
  for (unsigned i = 0; i < top; ++i) line += "+-";
  return line + '+';
}

std::string centred(std::string_view text, std::size_t width) {
  std::size_t const left = (width - text.size()) / 2;
  return std::string(left, ' ') + std::string(text) + std::string(width - text.size() - left, ' ');
}

char markerFor(std::size_t n) {
  return n < 26 ? static_cast<char>('a' + n) : static_cast<char>('A' + (n - 26) % 26);
}

}  // namespace

void drawBits(fmt::memory_buffer& out, BitLayout const& layout,
              std::span<std::uint32_t const> words, unsigned indent) {
  bool const values = !words.empty();
  unsigned const rows = std::max(1u, (layout.sizeBits + kRowBits - 1) / kRowBits);

  // Bit numbers of a row, bit 31 on the left: tens above units, as protocol diagrams have them.
  std::string tens(kRowChars, ' ');
  std::string units(kRowChars, ' ');
  for (unsigned c = 0; c < kRowBits; ++c) {
    unsigned const bit = kRowBits - 1 - c;
    if (bit % 10 == 0) tens[2 * c + 1] = static_cast<char>('0' + bit / 10);
    units[2 * c + 1] = static_cast<char>('0' + bit % 10);
  }
  putLine(out, indent, trimRight(tens));
  putLine(out, indent, trimRight(units));

  // The part of each field with the most bits carries its label; a label too long for its cell
  // becomes a letter explained below the diagram.
  auto const mainRow = [](FieldSpec const& f) {
    unsigned best = f.offset / kRowBits;
    unsigned bestBits = 0;
    for (unsigned r = f.offset / kRowBits; r * kRowBits < f.end(); ++r) {
      unsigned const bits =
          std::min(f.end(), (r + 1) * kRowBits) - std::max(f.offset, r * kRowBits);
      if (bits > bestBits) {
        best = r;
        bestBits = bits;
      }
    }
    return best;
  };
  struct Note {
    char marker;
    std::string text;
  };
  std::vector<Note> notes;
  std::vector<std::pair<FieldSpec const*, char>> markers;  // a field keeps its letter
  auto const markerOf = [&](FieldSpec const* field, std::string text) {
    for (auto const& [f, m] : markers) {
      if (f == field) return m;
    }
    char const m = markerFor(markers.size());
    markers.emplace_back(field, m);
    notes.push_back({m, std::move(text)});
    return m;
  };

  for (unsigned r = 0; r < rows; ++r) {
    unsigned const base = r * kRowBits;
    unsigned const top = std::min(kRowBits, layout.sizeBits - base);
    std::vector<Segment> segments;
    for (FieldSpec const& f : layout.fields) {
      unsigned const lo = std::max(f.offset, base);
      unsigned const hi = std::min(f.end(), base + top);
      if (lo < hi) segments.push_back({lo - base, hi - base, &f});
    }
    // Bits no field covers: reserved, always 0.
    std::sort(segments.begin(), segments.end(),
              [](Segment const& a, Segment const& b) { return a.lo < b.lo; });
    std::vector<Segment> all;
    unsigned next = 0;
    for (Segment const& s : segments) {
      if (s.lo > next) all.push_back({next, s.lo, nullptr});
      all.push_back(s);
      next = s.hi;
    }
    if (next < top) all.push_back({next, top, nullptr});

    // The line between two rows spans the wider, upper one.
    putLine(out, indent, separator(r == 0 ? top : kRowBits));
    std::string line(2 * (kRowBits - top), ' ');
    for (auto s = all.rbegin(); s != all.rend(); ++s) {
      std::size_t const width = 2 * (s->hi - s->lo) - 1;
      std::string label;
      std::string full;  // what a letter stands for
      if (s->field == nullptr) {
        label = "reserved";
        full = "reserved, always 0";
      } else {
        FieldSpec const& f = *s->field;
        std::string const range = f.width == 1 ? fmt::format("bit {}", f.offset)
                                               : fmt::format("bits {}-{}", f.offset, f.end() - 1);
        if (mainRow(f) == r) {
          label = values ? fmt::format("{}={}", f.name, valueText(valueAt(words, f)))
                         : std::string(f.name);
        } else {
          label = std::string(f.name);  // the rest of a field that spans rows
        }
        full = values ? fmt::format("{} = {} ({})", f.name, valueText(valueAt(words, f)), range)
                      : fmt::format("{} ({})", f.name, range);
      }
      if (label.size() > width) label = std::string(1, markerOf(s->field, full));
      line += '|';
      line += centred(label, width);
    }
    line += '|';
    std::string const range =
        top == 1 ? fmt::format("bit {}", base) : fmt::format("bits {}-{}", base, base + top - 1);
    line += values ? fmt::format("  {}  {:#010x}", range, r < words.size() ? words[r] : 0)
                   : fmt::format("  {}", range);
    putLine(out, indent, line);
  }
  unsigned const lastTop = std::min(kRowBits, layout.sizeBits - (rows - 1) * kRowBits);
  putLine(out, indent, separator(lastTop));
  for (Note const& note : notes) {
    fmt::format_to(std::back_inserter(out), "{:{}}{}  {}\n", "", indent, note.marker, note.text);
  }
}

std::optional<BitLayout> layoutOf(ShadowView const& entry) {
  if (!entry.present) return std::nullopt;
  if (!entry.format.empty()) {
    auto const* spec = chip26_a0::mdb::formatByName(entry.format);
    if (spec == nullptr) return std::nullopt;
    return BitLayout{spec->name,
                     spec->sizeBits,
                     spec->code,
                     chip26_a0::EedbHwMdb::kMemory,
                     {spec->fields.begin(), spec->fields.end()}};
  }
  // A direct entry: its one bit.
  if (entry.fields.size() == 1 && entry.fields.front().value.width() == 1) {
    return BitLayout{{}, 1, 0, {}, {FieldSpec{entry.fields.front().name, 1, 0, 0}}};
  }
  return std::nullopt;
}

std::vector<std::uint32_t> wordsOf(ShadowView const& entry, BitLayout const& layout) {
  std::vector<std::uint32_t> words((layout.sizeBits + kRowBits - 1) / kRowBits, 0);
  for (auto const& field : entry.fields) {
    for (FieldSpec const& spec : layout.fields) {
      if (spec.name == field.name) {
        chip26_a0::bits::deposit(words, spec.offset, spec.width, field.value.words());
      }
    }
  }
  return words;
}

void drawShadowBits(fmt::memory_buffer& out, ShadowView const& entry, unsigned indent) {
  auto const layout = layoutOf(entry);
  if (!layout) return;
  auto const words = wordsOf(entry, *layout);
  drawBits(out, *layout, words, indent);
}

namespace {

template <class Table>
BitLayout directLayout() {
  static constexpr FieldSpec kField{Table::Entry::kFieldName, Table::kEntryBits, 0, 0};
  return BitLayout{Table::kTableType, Table::kEntryBits, 0, Table::kMemory, {kField}};
}

}  // namespace

std::vector<BitLayout> allLayouts() {
  std::vector<BitLayout> layouts;
  for (auto const* spec : chip26_a0::mdb::kFormatSpecs) {
    layouts.push_back({spec->name,
                       spec->sizeBits,
                       spec->code,
                       chip26_a0::EedbHwMdb::kMemory,
                       {spec->fields.begin(), spec->fields.end()}});
  }
  layouts.push_back(directLayout<chip26_a0::EedbAgMemTlmHwDirect>());
  layouts.push_back(directLayout<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect>());
  return layouts;
}

void formatsDocument(fmt::memory_buffer& out) {
  auto o = std::back_inserter(out);
  fmt::format_to(o,
                 "# Hardware entry formats\n\n"
                 "Generated from the format tables (`platform/chip26_a0/EedbFormats.h`) and the "
                 "direct tables\n(`platform/chip26_a0/EedbHwDirect.h`) by `eedb-formats-doc`; do "
                 "not edit. Regenerate with `make docs`.\n\n"
                 "Each row of a diagram is one 32-bit data word of the SCHAN command that writes "
                 "the entry,\nword 0 first, bit 31 on the left. Fields are packed from bit 0 "
                 "upward; bits above the last\nfield are reserved and always 0. `eedb-replay "
                 "--bits` draws the entries of a replay the same way,\nwith their values.\n");
  for (BitLayout const& layout : allLayouts()) {
    fmt::format_to(o, "\n## {}\n\n", layout.name);
    if (layout.code != 0) {
      fmt::format_to(o, "Memory {}, result type {}, {} bits.\n\n", layout.memory, layout.code,
                     layout.sizeBits);
    } else {
      fmt::format_to(o, "Memory {}, one {}-bit entry per key, no result type.\n\n", layout.memory,
                     layout.sizeBits);
    }
    fmt::format_to(o, "| Field | Bits | Width | Default |\n|---|---|---|---|\n");
    for (FieldSpec const& f : layout.fields) {
      fmt::format_to(
          o, "| `{}` | {} | {} | {} |\n", f.name,
          f.width == 1 ? fmt::format("{}", f.offset) : fmt::format("{}-{}", f.offset, f.end() - 1),
          f.width, f.defaultValue);
    }
    fmt::format_to(o, "\n```\n");
    drawBits(out, layout, {}, 0);
    fmt::format_to(o, "```\n");
  }
}

}  // namespace eedb::replay
