// Numbers written as text without a format string: the decimal digits of an unsigned number and
// the eight hex digits of a data word, as the printers write them for every line (a format
// string is parsed at each call; these are a few stores).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace eedb::replay::digits {

// The most digits of a 64-bit number.
inline constexpr unsigned kMaxDecimal = 20;

namespace detail {

// "00", "01", ..., "99": two decimal digits at once.
inline constexpr auto kDecimalPairs = [] {
  std::array<char, 200> pairs{};
  for (unsigned i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// "00", "01", ..., "ff": the two lower-case hex digits of a byte.
inline constexpr auto kHexPairs = [] {
  constexpr char kDigits[] = "0123456789abcdef";
  std::array<char, 512> pairs{};
  for (unsigned i = 0; i < 256; ++i) {
    pairs[2 * i] = kDigits[i / 16];
    pairs[2 * i + 1] = kDigits[i % 16];
  }
  return pairs;
}();

// 10 to the i-th power from i = 1 on; 0 first, so that 0 to 7 (the guess 0) count one digit.
inline constexpr auto kPowersOf10 = [] {
  std::array<std::uint64_t, kMaxDecimal> powers{};
  std::uint64_t p = 10;
  for (std::size_t i = 1; i < powers.size(); ++i, p *= 10) powers[i] = p;
  return powers;
}();

}  // namespace detail

// How many decimal digits n has (1 for 0): log10 from the bit width (1233 / 4096 is just above
// log10(2)), then one comparison.
inline unsigned decimalCount(std::uint64_t n) noexcept {
  unsigned const guess = static_cast<unsigned>(std::bit_width(n | 1)) * 1233 / 4096;
  return guess + 1 - (n < detail::kPowersOf10[guess] ? 1 : 0);
}

// Writes n in decimal at `to` (room for kMaxDecimal bytes) and returns the end.
inline char* writeDecimal(char* to, std::uint64_t n) noexcept {
  if (n < 10) {
    *to = static_cast<char>('0' + n);
    return to + 1;
  }
  char* const end = to + decimalCount(n);
  char* at = end;
  while (n >= 100) {
    at -= 2;
    std::memcpy(at, &detail::kDecimalPairs[2 * (n % 100)], 2);
    n /= 100;
  }
  if (n >= 10) {
    std::memcpy(at - 2, &detail::kDecimalPairs[2 * n], 2);
  } else {
    at[-1] = static_cast<char>('0' + n);
  }
  return end;
}

// Writes the eight hex digits of a 32-bit word, most significant first, at `to`.
inline char* writeHexWord(char* to, std::uint32_t word) noexcept {
  for (unsigned i = 4; i-- > 0; word /= 256) {
    std::memcpy(to + 2 * i, &detail::kHexPairs[2 * (word % 256)], 2);
  }
  return to + 8;
}

}  // namespace eedb::replay::digits
