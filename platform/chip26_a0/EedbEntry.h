// Entries of the MDB-backed EEDB table: the key, the plain Entry value (key, format, packed
// bits) and the typed format entries generated from the format tables of EedbFormats.h.
//
// An Entry is a small trivially copyable value: building, copying, comparing and setting its
// fields never touch the heap. A format entry is an Entry with named, typed accessors; it
// converts to a plain Entry and keeps its format.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "chip26_a0/BitField.h"
#include "chip26_a0/EedbFormats.h"
#include "chip26_a0/EntryLayout.h"
#include "chip26_a0/HwEntryKey.h"
#include "hardware/FieldTypes.h"

namespace chip26_a0 {
class EedbHwMdb;
}

namespace chip26_a0::mdb {

struct EntryKeyTag;
using EntryKey = HwEntryKey<EntryKeyTag>;

inline constexpr unsigned kEntryWords = 5;  // 160 bits: the widest format is 150
inline constexpr unsigned kMaxEntryBits = 32 * kEntryWords;
using EntryBits = std::array<std::uint32_t, kEntryWords>;

namespace detail {

template <class Format, class... Formats>
consteval std::size_t indexIn(formats::FormatList<Formats...>) {
  constexpr bool same[] = {std::is_same_v<Format, Formats>...};
  std::size_t i = 0;
  while (i < sizeof...(Formats) && !same[i]) ++i;
  return i;
}

}  // namespace detail

// Result type of a format on the chip: its place in AllFormats, from 1 (0 is "no format").
template <class Format>
inline constexpr std::uint8_t kFormatCode =
    static_cast<std::uint8_t>(detail::indexIn<Format>(formats::AllFormats{}) + 1);

template <class Format>
inline constexpr layout::FormatSpec kFormatSpec{Format::kName, Format::kSizeBits,
                                                kFormatCode<Format>, Format::kFields};

static_assert(32 * PerUnitBitmap::kWords == layout::kWideBits);

// The bits of a fresh entry of the format: every field at its default.
template <class Format>
inline constexpr EntryBits kDefaultBits = [] {
  EntryBits bits{};
  for (auto const& field : Format::kFields) {
    if (field.defaultValue != 0) {
      bits::deposit(bits, field.offset, field.width, bits::wordsOf(field.defaultValue));
    }
  }
  return bits;
}();

namespace detail {

template <class... Formats>
consteval auto specsOf(formats::FormatList<Formats...>) {
  static_assert((layout::checkFormat<Formats, kMaxEntryBits>() && ...));
  static_assert(sizeof...(Formats) < 256, "result types are one byte");
  return std::array<layout::FormatSpec const*, sizeof...(Formats)>{&kFormatSpec<Formats>...};
}

}  // namespace detail

// Every format's descriptor, in result-type order (code 1 first).
inline constexpr auto kFormatSpecs = detail::specsOf(formats::AllFormats{});

// The descriptor of a result type, or nullptr for 0 and unknown codes.
constexpr layout::FormatSpec const* formatByCode(unsigned code) noexcept {
  return code >= 1 && code <= kFormatSpecs.size() ? kFormatSpecs[code - 1] : nullptr;
}
// Every result type's size in bits (0 for 0 and unknown codes), for the hot paths that need
// only the size of an entry's format.
inline constexpr auto kSizeBitsByCode = [] {
  std::array<std::uint16_t, 256> sizes{};
  for (std::size_t i = 0; i < kFormatSpecs.size(); ++i)
    sizes[i + 1] = static_cast<std::uint16_t>(kFormatSpecs[i]->sizeBits);
  return sizes;
}();
// The descriptor of a format class name ("EedbArpEtpsArp60Entry"), or nullptr.
layout::FormatSpec const* formatByName(std::string_view name) noexcept;

class Entry {
 public:
  constexpr Entry() noexcept = default;
  constexpr explicit Entry(EntryKey key) noexcept : key_(key.value()) {}

  constexpr EntryKey key() const noexcept { return EntryKey(key_); }
  constexpr std::uint8_t formatCode() const noexcept { return format_; }
  constexpr bool hasFormat() const noexcept { return format_ != 0; }
  // The format's descriptor (name, size, fields), or nullptr without a format.
  constexpr layout::FormatSpec const* format() const noexcept { return formatByCode(format_); }
  // The format's size in bits; 0 without a format.
  constexpr unsigned entrySizeBits() const noexcept { return kSizeBitsByCode[format_]; }
  // The packed fields; the bits outside the fields are always 0.
  constexpr EntryBits const& bits() const noexcept { return bits_; }

  // Same key, same format, same field values.
  constexpr bool isEq(Entry const& other) const noexcept { return *this == other; }
  constexpr bool operator==(Entry const&) const noexcept = default;

  // One field of this entry's format.
  layout::FieldValue fieldValue(layout::FieldSpec const& field) const noexcept {
    layout::FieldValue::Words words{};
    bits::extract(bits_, field.offset, field.width, words);
    return layout::FieldValue(field.width, words);
  }
  // The field of that name, or nullopt when the format has none.
  std::optional<layout::FieldValue> fieldValue(std::string_view name) const noexcept;

  // Calls visit(FieldSpec const&, FieldValue const&) for every field, in layout order.
  template <class Visit>
  void forEachField(Visit&& visit) const {
    if (auto const* spec = format()) {
      for (auto const& field : spec->fields) visit(field, fieldValue(field));
    }
  }

  // Untyped setters for tools and tests. The field must belong to this entry's format
  // (std::invalid_argument otherwise) and the value must fit (Pelix::RangeException with the
  // bounded type's message otherwise).
  void fieldIs(layout::FieldSpec const& field, std::uint64_t value);
  void fieldIs(layout::FieldSpec const& field, PerUnitBitmap const& value);

 protected:
  // Stamps the format with its fields' defaults.
  constexpr void formatIs(std::uint8_t code, EntryBits const& defaults) noexcept {
    format_ = code;
    bits_ = defaults;
  }
  // A field whose place is known at compile time (up to 64 bits).
  template <unsigned Offset, unsigned Width>
  constexpr void depositAt(std::uint64_t value) noexcept {
    bits::depositAt<Offset, Width>(bits_, value);
  }
  template <unsigned Offset, unsigned Width>
  constexpr std::uint64_t extractAt() const noexcept {
    return bits::extractAt<Offset, Width>(bits_);
  }
  constexpr void depositField(layout::FieldSpec const& field, std::uint64_t value) noexcept {
    bits::deposit(bits_, field.offset, field.width, bits::wordsOf(value));
  }
  void depositField(layout::FieldSpec const& field, PerUnitBitmap const& value) noexcept {
    bits::deposit(bits_, field.offset, field.width, value.words());
  }

 private:
  friend class chip26_a0::EedbHwMdb;  // decoding builds entries from command data
  constexpr Entry(EntryKey key, std::uint8_t format, EntryBits const& bits) noexcept
      : key_(key.value()), format_(format), bits_(bits) {}

  std::uint32_t key_ = 0;
  std::uint8_t format_ = 0;
  EntryBits bits_{};
};

static_assert(std::is_trivially_copyable_v<Entry>);
static_assert(sizeof(Entry) == 28);

namespace detail {

inline constexpr std::size_t kNoField = ~std::size_t{0};

template <class Format>
constexpr std::size_t fieldIndex(std::string_view name) noexcept {
  for (std::size_t i = 0; i < Format::kFields.size(); ++i) {
    if (Format::kFields[i].name == name) return i;
  }
  return kNoField;
}

template <class Format>
constexpr bool hasField(std::string_view name) noexcept {
  return fieldIndex<Format>(name) != kNoField;
}

template <class Format>
constexpr unsigned widthAt(std::size_t index) noexcept {
  return index == kNoField ? 0 : Format::kFields[index].width;
}

// The C++ type of a field of a given width: what its setter takes and its getter returns.
template <unsigned Width>
struct FieldType {
  using Value = Bounded<Width>;
  using Arg = Bounded<Width>;
};
template <>
struct FieldType<0> {  // the format has no such field; the accessor is disabled
  struct Absent {};
  using Value = Absent;
  using Arg = Absent;
};
template <>
struct FieldType<8> {
  using Value = std::uint8_t;
  using Arg = std::uint8_t;
};
template <>
struct FieldType<16> {
  using Value = std::uint16_t;
  using Arg = std::uint16_t;
};
template <>
struct FieldType<32> {
  using Value = std::uint32_t;
  using Arg = std::uint32_t;
};
template <>
struct FieldType<48> {
  using Value = U48;
  using Arg = U48 const&;
};
template <>
struct FieldType<layout::kWideBits> {
  using Value = PerUnitBitmap;
  using Arg = PerUnitBitmap const&;
};

template <unsigned N>
constexpr std::uint64_t rawOf(Bounded<N> v) noexcept {
  return v.value();
}
template <class T>
requires std::is_unsigned_v<T>
constexpr std::uint64_t rawOf(T v) noexcept {
  return v;
}

}  // namespace detail

// Every field name of the formats, each once: FormatEntry has one typed accessor pair per name,
// and the check below keeps this list equal to the names of EedbFormats.h.
#define CHIP26_A0_EEDB_FIELDS(X)  \
  X(actionProfile)                \
  X(dataEntry2BReserved)          \
  X(egressLastLayer)              \
  X(encapQosModel)                \
  X(esemCommand)                  \
  X(esemNameSpace)                \
  X(eventorId)                    \
  X(fodo)                         \
  X(forwardQosModel)              \
  X(headerRecordDataLength)       \
  X(headerRecordEnterpriseFormat) \
  X(headerRecordProtocol)         \
  X(headerRecordSize)             \
  X(headerSampleFlowRecord)       \
  X(headerSampleSampleLength)     \
  X(headerSampleSamplingRate)     \
  X(ipv4Dip)                      \
  X(ipv4HeaderDfFlag)             \
  X(ipv4HeaderReservedFlag)       \
  X(ipv6Dip)                      \
  X(l2Mac)                        \
  X(lifAhpIp)                     \
  X(lifAhpMpls)                   \
  X(lifAhpUdp)                    \
  X(mplsLabel)                    \
  X(mplsLabel2)                   \
  X(mplsLabel3)                   \
  X(mplsLabel4)                   \
  X(mplsLabel5)                   \
  X(mplsLabel6)                   \
  X(mplsLabel7)                   \
  X(mplsLabel8)                   \
  X(mtuProfile)                   \
  X(nextOutlifPointer)            \
  X(nofSids)                      \
  X(nwkQosIdx)                    \
  X(oamLifSet)                    \
  X(outLifProfile)                \
  X(rawData)                      \
  X(remarkProfile)                \
  X(sourceIdx)                    \
  X(srhHdrExtLen)                 \
  X(srhLastEntry)                 \
  X(srhRoutingType)               \
  X(srhSegmentLeft)               \
  X(srv6SidData)                  \
  X(statObjectCmd)                \
  X(statObjectId)                 \
  X(ttlDecrementDisable)          \
  X(ttlMode)                      \
  X(ttlPipeProfile)               \
  X(vlanEditProfile)              \
  X(vlanEditVid1)                 \
  X(vlanEditVid2)

namespace detail {

#define CHIP26_A0_EEDB_FIELD_NAME(name) #name,
inline constexpr std::string_view kAccessorNames[] = {
    CHIP26_A0_EEDB_FIELDS(CHIP26_A0_EEDB_FIELD_NAME)};
#undef CHIP26_A0_EEDB_FIELD_NAME

constexpr bool hasAccessor(std::string_view name) noexcept {
  for (auto const accessor : kAccessorNames) {
    if (accessor == name) return true;
  }
  return false;
}

template <class... Formats>
consteval bool everyFieldHasAccessor(formats::FormatList<Formats...>) {
  for (auto const* spec : {&kFormatSpec<Formats>...}) {
    for (auto const& field : spec->fields) {
      if (!hasAccessor(field.name)) return false;
    }
  }
  return true;
}

template <class... Formats>
consteval bool everyAccessorHasField(formats::FormatList<Formats...>) {
  for (auto const name : kAccessorNames) {
    if (!(hasField<Formats>(name) || ...)) return false;
  }
  return true;
}

static_assert(everyFieldHasAccessor(formats::AllFormats{}),
              "a field of EedbFormats.h has no name in CHIP26_A0_EEDB_FIELDS");
static_assert(everyAccessorHasField(formats::AllFormats{}),
              "a name in CHIP26_A0_EEDB_FIELDS is no field of any format");

}  // namespace detail

// The entry of one format. Adds no data to Entry; the accessors are listed once per field
// name below and each is enabled only in the formats that have that field, with the type of
// that format's width. A setter takes only that exact type: an integer of another width does not
// compile, so that a table narrows by a named rule (src/translate/FieldRules.h), never silently.
template <class Format>
class FormatEntry : public Entry {
  template <std::size_t I>
  using Arg = typename detail::FieldType<detail::widthAt<Format>(I)>::Arg;
  template <std::size_t I>
  using Value = typename detail::FieldType<detail::widthAt<Format>(I)>::Value;

 public:
  using FormatTable = Format;
  static constexpr layout::FormatSpec const& kSpec = kFormatSpec<Format>;

  constexpr FormatEntry() noexcept = default;
  constexpr explicit FormatEntry(EntryKey key) noexcept : Entry(key) {}

  // The entry as this format, or nullopt when it holds another format or none.
  static constexpr std::optional<FormatEntry> fromEntry(Entry const& entry) noexcept {
    if (entry.formatCode() != kSpec.code) return std::nullopt;
    FormatEntry typed;
    static_cast<Entry&>(typed) = entry;
    return typed;
  }

  // Stamps the format and sets every field to its default.
  constexpr void handleInitialized() noexcept { formatIs(kSpec.code, kDefaultBits<Format>); }

  // clang-format off
#define CHIP26_A0_EEDB_FIELD(name)                                                          \
  void name##Is(Arg<detail::fieldIndex<Format>(#name)> v)                                   \
    requires(detail::hasField<Format>(#name)) { set<detail::fieldIndex<Format>(#name)>(v); } \
  template <std::integral T>                                                                \
    requires(detail::hasField<Format>(#name) &&                                             \
             !std::same_as<T, Arg<detail::fieldIndex<Format>(#name)>>)                      \
  void name##Is(T) = delete;                                                                \
  Value<detail::fieldIndex<Format>(#name)> name() const                                     \
    requires(detail::hasField<Format>(#name)) { return get<detail::fieldIndex<Format>(#name)>(); }

  CHIP26_A0_EEDB_FIELDS(CHIP26_A0_EEDB_FIELD)

#undef CHIP26_A0_EEDB_FIELD
  // clang-format on

 private:
  // A 128-bit field travels as four 32-bit words, word 0 at the field's lowest bits.
  template <std::size_t I>
  constexpr void set(Arg<I> v) noexcept {
    constexpr auto const& field = Format::kFields[I];
    if constexpr (field.wide()) {
      auto const& words = v.words();
      [&]<unsigned... W>(std::integer_sequence<unsigned, W...>) {
        (depositAt<field.offset + 32 * W, 32>(words[W]), ...);
      }
      (std::make_integer_sequence<unsigned, PerUnitBitmap::kWords>{});
    } else {
      depositAt<field.offset, field.width>(detail::rawOf(v));
    }
  }
  template <std::size_t I>
  constexpr Value<I> get() const noexcept {
    constexpr auto const& field = Format::kFields[I];
    if constexpr (field.wide()) {
      PerUnitBitmap value;
      [&]<unsigned... W>(std::integer_sequence<unsigned, W...>) {
        (value.bitListIs(W, static_cast<std::uint32_t>(extractAt<field.offset + 32 * W, 32>())),
         ...);
      }
      (std::make_integer_sequence<unsigned, PerUnitBitmap::kWords>{});
      return value;
    } else {
      return Value<I>(extractAt<field.offset, field.width>());
    }
  }
};

namespace detail {

template <class... Formats>
consteval bool formatEntriesAddNoData(formats::FormatList<Formats...>) {
  return ((sizeof(FormatEntry<Formats>) == sizeof(Entry) &&
           std::is_trivially_copyable_v<FormatEntry<Formats>>)&&...);
}
static_assert(formatEntriesAddNoData(formats::AllFormats{}));

}  // namespace detail

}  // namespace chip26_a0::mdb

// "EedbRifBasicEtpsEthRif60Entry{key=0x1000, forwardQosModel=1, mtuProfile=2, ...}", or
// "Entry{key=0x1000, no format}".
template <>
struct fmt::formatter<chip26_a0::mdb::Entry> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(chip26_a0::mdb::Entry const& e, format_context& ctx) const {
    auto const* spec = e.format();
    if (spec == nullptr) return fmt::format_to(ctx.out(), "Entry{{key={}, no format}}", e.key());
    auto out = fmt::format_to(ctx.out(), "{}{{key={}", spec->name, e.key());
    for (auto const& field : spec->fields) {
      out = fmt::format_to(out, ", {}={}", field.name, e.fieldValue(field));
    }
    return fmt::format_to(out, "}}");
  }
};

template <class Format>
struct fmt::formatter<chip26_a0::mdb::FormatEntry<Format>> : fmt::formatter<chip26_a0::mdb::Entry> {
};
