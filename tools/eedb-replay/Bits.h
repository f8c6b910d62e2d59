// Bit diagrams of hardware entries, drawn as networking engineers know them from protocol header
// diagrams: bit numbers along the top, 32 bits a row (bit 31 on the left, so that a row reads
// like its data word), each field named in its bit range, fields wider than a row spanning rows.
// With values, each field shows its value and each row its data word as the SCHAN command
// carries it. One routine draws the entries of a replay and the formats of docs/formats.md.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "OfferResult.h"
#include "chip26_a0/EntryLayout.h"

namespace eedb::replay {

// The fields of an entry with their places: a format of the MDB table, or the one-bit entry
// of a direct table.
struct BitLayout {
  std::string_view name;
  unsigned sizeBits = 0;
  std::uint8_t code = 0;    // result type on the chip; 0 for a direct entry
  std::string_view memory;  // the memory the SCHAN commands write
  std::vector<chip26_a0::layout::FieldSpec> fields;  // ascending offsets
};

// Draws the layout; with `words` (the entry's data words, word 0 first), each field's value and
// each row's word. Every line starts with `indent` spaces.
void drawBits(fmt::memory_buffer& out, BitLayout const& layout,
              std::span<std::uint32_t const> words, unsigned indent);

// The layout of an entry read from the shadow; nullopt when it has none (absent, no format).
std::optional<BitLayout> layoutOf(ShadowView const& entry);
// The entry's data words, rebuilt from its field values.
std::vector<std::uint32_t> wordsOf(ShadowView const& entry, BitLayout const& layout);

// Draws a shadow entry when it has a layout.
void drawShadowBits(fmt::memory_buffer& out, ShadowView const& entry, unsigned indent);

// Every hardware entry layout: the MDB formats in result-type order, then the direct tables'
// entries (named after their table class).
std::vector<BitLayout> allLayouts();

// docs/formats.md: one section and diagram per layout.
void formatsDocument(fmt::memory_buffer& out);

}  // namespace eedb::replay
