// Value types of hardware entry fields: the bounded unsigned types U1 to U20 and U48, and
// the wide bit map PerUnitBitmap.
//
// A bounded type never wraps: building one from a value that does not fit raises
// Pelix::RangeException, e.g. "U3::value < 0 or > 0x07 not allowed".
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <type_traits>

#include <fmt/format.h>

#include "pelix/RangeException.h"

namespace Hardware::detail {

// Raises the range failure of an n-bit bounded type (formats only on failure).
[[noreturn]] void throwBoundedRange(unsigned bits, std::uint64_t max);

}  // namespace Hardware::detail

template <unsigned N>
class Bounded {
  static_assert(N >= 1 && N <= 64);

 public:
  static constexpr unsigned kBits = N;
  static constexpr std::uint64_t kMax = N == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << N) - 1;

  constexpr Bounded() noexcept = default;
  constexpr explicit Bounded(std::uint64_t value) : value_(checked(value)) {}
  // A narrower bounded value always fits.
  template <unsigned M, std::enable_if_t<(M <= N), int> = 0>
  constexpr Bounded(Bounded<M> other) noexcept : value_(other.value()) {}

  constexpr std::uint64_t value() const noexcept { return value_; }
  constexpr auto operator<=>(Bounded const&) const noexcept = default;

 private:
  // The smallest unsigned type that holds N bits: log entries hold many bounded fields.
  using Storage = std::conditional_t<
      (N <= 8), std::uint8_t,
      std::conditional_t<(N <= 16), std::uint16_t,
                         std::conditional_t<(N <= 32), std::uint32_t, std::uint64_t>>>;

  static constexpr Storage checked(std::uint64_t value) {
    if (value > kMax) Hardware::detail::throwBoundedRange(N, kMax);
    return static_cast<Storage>(value);
  }

  Storage value_ = 0;
};

using U1 = Bounded<1>;
using U2 = Bounded<2>;
using U3 = Bounded<3>;
using U4 = Bounded<4>;
using U5 = Bounded<5>;
using U6 = Bounded<6>;
using U7 = Bounded<7>;
using U8 = Bounded<8>;
using U9 = Bounded<9>;
using U10 = Bounded<10>;
using U11 = Bounded<11>;
using U12 = Bounded<12>;
using U13 = Bounded<13>;
using U14 = Bounded<14>;
using U15 = Bounded<15>;
using U16 = Bounded<16>;
using U17 = Bounded<17>;
using U18 = Bounded<18>;
using U19 = Bounded<19>;
using U20 = Bounded<20>;
using U48 = Bounded<48>;

// A 128-bit field value as four 32-bit words; word 0 holds bits 0 to 31.
class PerUnitBitmap {
 public:
  static constexpr unsigned kWords = 4;

  // Sets one 32-bit word; a word number outside the map raises Pelix::RangeException.
  void bitListIs(unsigned word, std::uint32_t value) {
    if (word >= kWords) [[unlikely]]
      throwWordRange(word);
    words_[word] = value;
  }
  std::uint32_t bitList(unsigned word) const {
    if (word >= kWords) [[unlikely]]
      throwWordRange(word);
    return words_[word];
  }

  std::array<std::uint32_t, kWords> const& words() const noexcept { return words_; }
  bool operator==(PerUnitBitmap const&) const noexcept = default;

 private:
  [[noreturn]] static void throwWordRange(unsigned word);

  std::array<std::uint32_t, kWords> words_{};
};

template <unsigned N>
struct fmt::formatter<Bounded<N>> : fmt::formatter<std::uint64_t> {
  auto format(Bounded<N> const& v, format_context& ctx) const {
    return fmt::formatter<std::uint64_t>::format(v.value(), ctx);
  }
};

// Printed as one hex number, most significant word first: 0x20010db8000000000000000000000001.
template <>
struct fmt::formatter<PerUnitBitmap> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(PerUnitBitmap const& b, format_context& ctx) const {
    auto const& w = b.words();
    return fmt::format_to(ctx.out(), "0x{:08x}{:08x}{:08x}{:08x}", w[3], w[2], w[1], w[0]);
  }
};
