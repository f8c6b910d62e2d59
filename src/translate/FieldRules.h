// Field rules shared by several tables: the statistics object rule and the conversions of
// addresses into hardware numbers (first octet most significant).
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "hardware/FieldTypes.h"
#include "pipeline/CheckedCast.h"
#include "plexo/Addresses.h"

namespace eedb {
namespace detail {

template <class T>
struct SetterArg;
template <class Format, class Arg>
struct SetterArg<void (Format::*)(Arg)> {
  using type = std::remove_cvref_t<Arg>;
};

template <class T>
constexpr std::uint64_t maxOf() {
  if constexpr (std::is_integral_v<T>) {
    return static_cast<std::uint64_t>(std::numeric_limits<T>::max());
  } else {
    return T::kMax;
  }
}

}  // namespace detail

// Statistics object rule: an id below the all-ones value of the format's statObjectId field
// selects statistics (command 3, then the id); a larger id means none (id 0, command left at its
// default).
template <class Format>
void applyStatObject(Format& hwEntry, std::uint32_t statObjectId) {
  using IdType = typename detail::SetterArg<decltype(&Format::statObjectIdIs)>::type;
  using CmdType = typename detail::SetterArg<decltype(&Format::statObjectCmdIs)>::type;
  constexpr std::uint64_t kLimit = detail::maxOf<IdType>() - 1;
  if (statObjectId <= kLimit) {
    hwEntry.statObjectCmdIs(CmdType(3));
    hwEntry.statObjectIdIs(IdType(statObjectId));
  } else {
    hwEntry.statObjectIdIs(IdType(0));
  }
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

// The low n bits of a value, as the n-bit field type (the copy rule).
template <class Field>
constexpr Field lowBits(std::uint64_t value) noexcept {
  return Field(value & detail::maxOf<Field>());
}

// The VLAN edit of an out-AC entry, each field by checked cast, in this order.
template <class Format, class LogEntry>
void setVlanEdit(Format& hw, LogEntry const& sw) {
  hw.egressLastLayerIs(Asic::checkedCast<U1>(sw.egressLastLayer()));
  hw.vlanEditProfileIs(Asic::checkedCast<U6>(sw.vlanEditProfile()));
  hw.vlanEditVid1Is(Asic::checkedCast<U12>(sw.vlanEditVid1()));
  hw.vlanEditVid2Is(Asic::checkedCast<U12>(sw.vlanEditVid2()));
}

}  // namespace eedb
