// The bit routines behind every hardware entry field: they copy a run of bits between arrays of
// 32-bit words (bit 0 is bit 0 of word 0), at any offset, across word boundaries. There are two,
// on purpose: deposit/extract take the field's place at run time (tools, untyped setters,
// defaults, decoding), depositAt/extractAt at compile time (every typed accessor of a format
// entry, on the path of every log entry), where the word loop unrolls into one mask and shift per
// word. The chip tests check that both write and read the same bits.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <utility>

namespace chip26_a0::bits {

constexpr std::uint64_t lowMask(unsigned n) noexcept {
  return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// Reads n bits (n <= 32) from bit pos on; bits past the last word read as 0.
constexpr std::uint32_t read(std::span<std::uint32_t const> words, unsigned pos,
                             unsigned n) noexcept {
  std::size_t const w = pos / 32;
  if (w >= words.size()) return 0;
  std::uint64_t window = words[w];
  if (w + 1 < words.size()) window |= std::uint64_t{words[w + 1]} << 32;
  return static_cast<std::uint32_t>((window >> (pos % 32)) & lowMask(n));
}

// Writes the low `width` bits of src into dst at bit `offset`; dst's other bits stay.
constexpr void deposit(std::span<std::uint32_t> dst, unsigned offset, unsigned width,
                       std::span<std::uint32_t const> src) noexcept {
  for (unsigned done = 0; done < width;) {
    unsigned const pos = offset + done;
    unsigned const shift = pos % 32;
    unsigned const n = std::min(32 - shift, width - done);
    auto const mask = static_cast<std::uint32_t>(lowMask(n) << shift);
    std::uint32_t const v = read(src, done, n);
    dst[pos / 32] = (dst[pos / 32] & ~mask) | ((v << shift) & mask);
    done += n;
  }
}

// Reads `width` bits of src from bit `offset` into dst from its bit 0; the rest of dst is 0.
constexpr void extract(std::span<std::uint32_t const> src, unsigned offset, unsigned width,
                       std::span<std::uint32_t> dst) noexcept {
  for (unsigned i = 0; i < dst.size(); ++i) {
    unsigned const from = 32 * i;
    dst[i] = from < width ? read(src, offset + from, std::min(32u, width - from)) : 0;
  }
}

// The same copies for a field whose place is known at compile time (every typed accessor of a
// format entry): the word loop unrolls into one mask and shift per word the field touches.
namespace detail {

// The part of the field [Offset, Offset + Width) that lies in word W, as word bits [lo, hi).
template <unsigned Offset, unsigned Width, unsigned W>
struct WordPart {
  static constexpr unsigned lo = std::max(Offset, 32 * W) - 32 * W;
  static constexpr unsigned hi = std::min(Offset + Width, 32 * W + 32) - 32 * W;
  static constexpr unsigned fromBit = 32 * W + lo - Offset;  // the value bit at word bit lo
  static constexpr auto mask = static_cast<std::uint32_t>(lowMask(hi - lo) << lo);
};

template <unsigned Offset, unsigned Width>
inline constexpr unsigned kFirstWord = Offset / 32;
template <unsigned Offset, unsigned Width>
inline constexpr unsigned kWordCount = (Offset + Width - 1) / 32 - Offset / 32 + 1;

}  // namespace detail

// Writes the low `Width` (1 to 64) bits of v at bit `Offset`; the other bits stay.
template <unsigned Offset, unsigned Width, std::size_t N>
[[gnu::always_inline]] constexpr void depositAt(std::array<std::uint32_t, N>& dst,
                                                std::uint64_t v) noexcept {
  static_assert(Width >= 1 && Width <= 64 && Offset + Width <= 32 * N);
  constexpr unsigned first = detail::kFirstWord<Offset, Width>;
  [&]<unsigned... I>(std::integer_sequence<unsigned, I...>) {
    ((dst[first + I] =
          (dst[first + I] & ~detail::WordPart<Offset, Width, first + I>::mask) |
          (static_cast<std::uint32_t>((v >> detail::WordPart<Offset, Width, first + I>::fromBit)
                                      << detail::WordPart<Offset, Width, first + I>::lo) &
           detail::WordPart<Offset, Width, first + I>::mask)),
     ...);
  }
  (std::make_integer_sequence<unsigned, detail::kWordCount<Offset, Width>>{});
}

// Reads the `Width` (1 to 64) bits at bit `Offset`.
template <unsigned Offset, unsigned Width, std::size_t N>
[[gnu::always_inline]] constexpr std::uint64_t extractAt(
    std::array<std::uint32_t, N> const& src) noexcept {
  static_assert(Width >= 1 && Width <= 64 && Offset + Width <= 32 * N);
  constexpr unsigned first = detail::kFirstWord<Offset, Width>;
  return [&]<unsigned... I>(std::integer_sequence<unsigned, I...>) {
    return ((std::uint64_t{(src[first + I] & detail::WordPart<Offset, Width, first + I>::mask) >>
                           detail::WordPart<Offset, Width, first + I>::lo}
             << detail::WordPart<Offset, Width, first + I>::fromBit) |
            ...);
  }
  (std::make_integer_sequence<unsigned, detail::kWordCount<Offset, Width>>{});
}

// The lowest set bit at or above pos, or -1 when there is none.
constexpr int firstSetFrom(std::span<std::uint32_t const> words, unsigned pos) noexcept {
  for (unsigned bit = pos; bit < 32 * words.size(); ++bit) {
    if (read(words, bit, 1) != 0) return static_cast<int>(bit);
  }
  return -1;
}

// A value of up to 64 bits as the two words that deposit() reads.
constexpr std::array<std::uint32_t, 2> wordsOf(std::uint64_t v) noexcept {
  return {static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
}

constexpr std::uint64_t valueOf(std::array<std::uint32_t, 2> const& w) noexcept {
  return std::uint64_t{w[1]} << 32 | w[0];
}

}  // namespace chip26_a0::bits
