// Hardware entry formats as data: a format is one constexpr table of fields (name, width,
// default or address kind); offsets are derived by packing the fields from bit 0 upward in table
// order, and checkFormat() proves at compile time that a table is well formed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include <fmt/format.h>

#include "chip26_a0/BitField.h"
#include "hardware/FieldTypes.h"

namespace chip26_a0::layout {

// Widest field: the 128-bit values (IPv6 addresses, SIDs) travel as a PerUnitBitmap.
inline constexpr unsigned kWideBits = 128;

// What a field holds: a number, or an address stored first octet most significant (10.1.2.3
// is 0x0A010203; an IPv6 address's first four octets are word 3 of its bit map). Tools print an
// address field as an address; the bits are the same.
enum class FieldKind : std::uint8_t { number, ipv4, ipv6, mac };

// The width a field of the kind has; 0 for a number, which may have any width.
constexpr unsigned addressWidth(FieldKind kind) noexcept {
  switch (kind) {
    case FieldKind::ipv4:
      return 32;
    case FieldKind::ipv6:
      return 128;
    case FieldKind::mac:
      return 48;
    case FieldKind::number:
      break;
  }
  return 0;
}

// A field as a format table declares it: {"fodo", 15}, {"dataEntry2BReserved", 2, 3} (with a
// default) or {"ipv4Dip", 32, FieldKind::ipv4} (an address, default 0).
struct FieldDef {
  constexpr FieldDef(std::string_view fieldName, unsigned fieldWidth,
                     std::uint64_t fieldDefault = 0) noexcept
      : name(fieldName), width(fieldWidth), defaultValue(fieldDefault) {}
  constexpr FieldDef(std::string_view fieldName, unsigned fieldWidth, FieldKind fieldKind) noexcept
      : name(fieldName), width(fieldWidth), kind(fieldKind) {}

  std::string_view name;
  unsigned width = 0;
  std::uint64_t defaultValue = 0;
  FieldKind kind = FieldKind::number;
};

// A field with its derived place in the entry.
struct FieldSpec {
  std::string_view name;
  unsigned width = 0;
  unsigned offset = 0;
  std::uint64_t defaultValue = 0;
  FieldKind kind = FieldKind::number;

  constexpr bool wide() const noexcept { return width > 64; }
  constexpr unsigned end() const noexcept { return offset + width; }
};

// Packs the fields from bit 0 upward, in table order.
template <std::size_t N>
constexpr std::array<FieldSpec, N> layout(FieldDef const (&defs)[N]) {
  std::array<FieldSpec, N> out{};
  unsigned offset = 0;
  for (std::size_t i = 0; i < N; ++i) {
    out[i] = FieldSpec{defs[i].name, defs[i].width, offset, defs[i].defaultValue, defs[i].kind};
    offset += defs[i].width;
  }
  return out;
}

// The run-time descriptor of a format: what tools and decoders look at.
struct FormatSpec {
  std::string_view name;  // class name, e.g. "EedbRifBasicEtpsEthRif60Entry"
  unsigned sizeBits = 0;
  std::uint8_t code = 0;  // result type on the chip; 0 is "no format"
  std::span<FieldSpec const> fields;

  // The field of that name, or nullptr.
  constexpr FieldSpec const* field(std::string_view fieldName) const noexcept {
    for (auto const& f : fields) {
      if (f.name == fieldName) return &f;
    }
    return nullptr;
  }
  // Bits covered by fields; the bits above are reserved and always 0.
  constexpr unsigned usedBits() const noexcept { return fields.empty() ? 0 : fields.back().end(); }
};

// The value of one field: up to 64 bits as a number, 128 bits as a bit map.
class FieldValue {
 public:
  using Words = std::array<std::uint32_t, 4>;  // word 0 holds bits 0 to 31

  constexpr FieldValue() noexcept = default;
  constexpr FieldValue(unsigned width, Words const& words) noexcept
      : width_(width), words_(words) {}

  constexpr unsigned width() const noexcept { return width_; }
  constexpr bool wide() const noexcept { return width_ > 64; }
  // The value of a field of up to 64 bits (the low 64 bits of a wide one).
  constexpr std::uint64_t value() const noexcept {
    return std::uint64_t{words_[1]} << 32 | words_[0];
  }
  PerUnitBitmap bitmap() const;
  constexpr Words const& words() const noexcept { return words_; }
  constexpr bool operator==(FieldValue const&) const noexcept = default;

 private:
  unsigned width_ = 0;
  Words words_{};
};

namespace detail {

constexpr bool endsWithNumberAndEntry(std::string_view name, unsigned number) {
  constexpr std::string_view kSuffix = "Entry";
  if (!name.ends_with(kSuffix)) return false;
  name.remove_suffix(kSuffix.size());
  do {
    if (name.empty() || name.back() != static_cast<char>('0' + number % 10)) return false;
    name.remove_suffix(1);
    number /= 10;
  } while (number != 0);
  return true;
}

}  // namespace detail

// Not constexpr on purpose: reaching it during constant evaluation stops the build, and the
// compiler names the broken rule in its message.
inline void formatTableError(char const* /*rule*/) {}

// Compile-time proof that a format table is sound. Format provides kName, kSizeBits, kFields.
// Use as static_assert(checkFormat<Format, MaxBits>()).
template <class Format, unsigned MaxBits>
consteval bool checkFormat() {
  auto const& fields = Format::kFields;
  if (Format::kSizeBits == 0 || Format::kSizeBits > MaxBits) formatTableError("size out of range");
  // The size is the number that ends the class name ("...Rif60Entry" is 60 bits).
  if (!detail::endsWithNumberAndEntry(Format::kName, Format::kSizeBits))
    formatTableError("the class name does not end in the size and \"Entry\"");
  unsigned next = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    auto const& f = fields[i];
    if (f.name.empty()) formatTableError("a field has no name");
    if (f.width == 0 || (f.width > 64 && f.width != kWideBits))
      formatTableError("a field width is neither 1 to 64 nor 128");
    if (f.offset != next) formatTableError("fields overlap or leave a gap");
    if (f.end() > Format::kSizeBits) formatTableError("the fields do not fit in the size");
    next = f.end();
    if (f.wide() ? f.defaultValue != 0 : f.defaultValue > bits::lowMask(f.width))
      formatTableError("a default does not fit its field");
    if (f.kind != FieldKind::number && f.width != addressWidth(f.kind))
      formatTableError("an address field is not as wide as its kind of address");
    for (std::size_t j = 0; j < i; ++j) {
      if (fields[j].name == f.name) formatTableError("two fields share a name");
    }
  }
  return true;
}

}  // namespace chip26_a0::layout

// Numbers in decimal; 128-bit values in hex, as a PerUnitBitmap prints.
template <>
struct fmt::formatter<chip26_a0::layout::FieldValue> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(chip26_a0::layout::FieldValue const& v, format_context& ctx) const {
    if (v.wide()) return fmt::format_to(ctx.out(), "{}", v.bitmap());
    return fmt::format_to(ctx.out(), "{}", v.value());
  }
};
