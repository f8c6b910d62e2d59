// The rules by which a software value becomes a hardware field, each with a name that a table's
// field list reads by, and the field rules shared by several tables (the statistics object, the
// VLAN edit, addresses as hardware numbers, first octet most significant).
//
//   checked<U4>(v)   refuses a value above the field's maximum with the checked cast's failure,
//                    "Casting values: cast from unsigned char{ 16 } to U4 (max = 15) failed."
//   bounded<U20>(v)  refuses it with the bounded type's failure, "U20::value < 0 or > 0x000fffff
//                    not allowed" (Pelix::RangeException)
//   cut<U15>(v)      keeps the low bits; cut(v) keeps as many as the field it is given to has
//   copy(v)          a value whose type always fits the field; a narrower field fails to compile
//   fixed<U2, 3>     a constant, checked when compiled
//   flag(c)          1 when the condition holds, else 0
//
// The setters of a format entry take only their field's exact type, so every narrowing in a
// table file goes through one of these names. A table file reads them unqualified after
// `using namespace eedb::rules;`.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "hardware/FieldTypes.h"
#include "pipeline/CheckedCast.h"
#include "plexo/Addresses.h"

namespace eedb {
namespace detail {

template <class T>
struct FieldLimit {
  static constexpr std::uint64_t value = std::numeric_limits<T>::max();
};
template <unsigned N>
struct FieldLimit<Bounded<N>> {
  static constexpr std::uint64_t value = Bounded<N>::kMax;
};

// An unsigned integer or a bounded type: what a field setter takes.
template <class T>
concept FieldValue = std::unsigned_integral<T> || requires {
  Bounded<T::kBits>{};
};

template <class T>
constexpr std::uint64_t rawOf(T value) noexcept {
  if constexpr (std::is_integral_v<T>) {
    return static_cast<std::uint64_t>(value);
  } else {
    return value.value();
  }
}

template <class Field>
constexpr Field fieldOf(std::uint64_t value) {
  if constexpr (std::is_integral_v<Field>) {
    return static_cast<Field>(value);
  } else {
    return Field(value);
  }
}

// cut(v) before it meets its field.
template <class From>
struct Cut {
  From value;
  template <FieldValue Field>
  constexpr operator Field() const noexcept {
    return fieldOf<Field>(rawOf(value) & FieldLimit<Field>::value);
  }
};

// copy(v) before it meets its field: converts only to a field that holds every value of From.
template <class From>
struct Copy {
  From value;
  template <FieldValue Field>
  requires(FieldLimit<From>::value <= FieldLimit<Field>::value) constexpr operator Field()
      const noexcept {
    if constexpr (std::is_integral_v<From> || std::is_integral_v<Field>) {
      return fieldOf<Field>(rawOf(value));  // the source's type bounds it: no check remains
    } else {
      return Field(value);  // a narrower bounded value: widened without a check
    }
  }
};

}  // namespace detail

inline namespace rules {

// The largest value a field type holds.
template <detail::FieldValue Field>
inline constexpr std::uint64_t kFieldMax = detail::FieldLimit<Field>::value;

template <class Field, class From>
Field checked(From value) {
  return Asic::checkedCast<Field>(value);
}

template <class Field, std::integral From>
Field bounded(From value) {
  return Field(static_cast<std::uint64_t>(value));
}

template <detail::FieldValue Field, class From>
requires std::integral<From> || detail::FieldValue<From>
constexpr Field cut(From value) noexcept {
  return detail::fieldOf<Field>(detail::rawOf(value) & kFieldMax<Field>);
}
template <class From>
requires std::integral<From> || detail::FieldValue<From>
constexpr detail::Cut<From> cut(From value) noexcept {
  return {value};
}

template <detail::FieldValue From>
constexpr detail::Copy<From> copy(From value) noexcept {
  return {value};
}

template <detail::FieldValue Field, std::uint64_t kValue>
requires(kValue <= kFieldMax<Field>) inline constexpr Field fixed = detail::fieldOf<Field>(kValue);

constexpr U1 flag(bool condition) noexcept {
  return U1(condition ? 1 : 0);
}

// Statistics object rule: an id below the all-ones value of the format's statObjectId field
// selects statistics (command 3, then the id); a larger id means none (id 0, command left at its
// default).
template <class Format>
void applyStatObject(Format& hw, std::uint32_t statObjectId) {
  using Id = decltype(hw.statObjectId());
  if (statObjectId < kFieldMax<Id>) {
    hw.statObjectCmdIs(fixed<decltype(hw.statObjectCmd()), 3>);
    hw.statObjectIdIs(cut<Id>(statObjectId));  // below the maximum: nothing is cut
  } else {
    hw.statObjectIdIs(Id());
  }
}

// The VLAN edit of an out-AC entry, each field checked, in this order.
template <class Format, class LogEntry>
void setVlanEdit(Format& hw, LogEntry const& sw) {
  hw.egressLastLayerIs(checked<U1>(sw.egressLastLayer()));
  hw.vlanEditProfileIs(checked<U6>(sw.vlanEditProfile()));
  hw.vlanEditVid1Is(checked<U12>(sw.vlanEditVid1()));
  hw.vlanEditVid2Is(checked<U12>(sw.vlanEditVid2()));
}

// Four octets read as one big-endian number.
inline std::uint32_t bigEndianWord(std::uint8_t const* octets) noexcept {
  return std::uint32_t{octets[0]} << 24 | std::uint32_t{octets[1]} << 16 |
         std::uint32_t{octets[2]} << 8 | std::uint32_t{octets[3]};
}

// 10.1.2.3 -> 0x0A010203.
inline std::uint32_t ipv4Number(Plexo::IpGenAddr const& addr) noexcept {
  auto const octets = addr.v4Addr();
  return bigEndianWord(octets.data());
}

// Sixteen octets into a 128-bit bit map: word 3 from octets 0 to 3, ..., word 0 from octets 12
// to 15, so bit 0 of the map is the last bit of the value.
inline PerUnitBitmap bitmapOf128(std::array<std::uint8_t, 16> const& octets) {
  PerUnitBitmap bitmap;
  for (unsigned word = 0; word < PerUnitBitmap::kWords; ++word) {
    bitmap.bitListIs(PerUnitBitmap::kWords - 1 - word, bigEndianWord(octets.data() + 4 * word));
  }
  return bitmap;
}

// 02:00:00:aa:bb:cc -> 0x020000AABBCC.
inline U48 macNumber(Plexo::EthAddr const& mac) noexcept {
  auto const& o = mac.octets();
  return U48(std::uint64_t{bigEndianWord(o.data())} << 16 | std::uint64_t{o[4]} << 8 | o[5]);
}

}  // namespace rules
}  // namespace eedb
