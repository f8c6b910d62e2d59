// Text from outside (input values echoed in messages, exception texts, trace messages) reaches
// the report only through these two escapers, so that no input line can break a JSON line,
// forge report lines or send control sequences to a terminal. Every string of the JSON form
// goes through appendJsonString.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <fmt/format.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace eedb::replay {

namespace detail {

// Whether one of the 16 bytes (lo: the first 8, hi: the last 8) is not printable ASCII or is
// '"' or '\'.
inline bool special16(std::uint64_t lo, std::uint64_t hi) noexcept {
#if defined(__SSE2__)
  __m128i const v = _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
  // A signed byte below 0x20 is C0 or anything from 0x80 on.
  __m128i const low = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
  __m128i const quote = _mm_cmpeq_epi8(v, _mm_set1_epi8('"'));
  __m128i const backslash = _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'));
  __m128i const del = _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F));
  return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(low, quote), _mm_or_si128(backslash, del))) !=
         0;
#else
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighs = 0x8080808080808080;
  auto const hasZeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  auto const special = [&](std::uint64_t w) {
    return (w & kHighs) | ((w - kOnes * 0x20) & ~w & kHighs) | hasZeroByte(w ^ (kOnes * '"')) |
           hasZeroByte(w ^ (kOnes * '\\')) | hasZeroByte(w ^ (kOnes * 0x7F));
  };
  return (special(lo) | special(hi)) != 0;
#endif
}

template <class T>
inline T load(char const* at) noexcept {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// True when `text` is printable ASCII without '"' and '\', the common case that both forms copy
// whole. Every string of every JSON line passes here, most of them names of a few bytes: they
// are tested as 16 bytes at once, read as at most two overlapping words (and spaces where the
// text is shorter), a longer text 16 bytes at a time, its last 16 as the bytes that end it.
inline bool plainAscii(std::string_view text) noexcept {
  constexpr std::uint64_t kSpaces = 0x2020202020202020;
  char const* const p = text.data();
  std::size_t const n = text.size();
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      if (special16(load<std::uint64_t>(p + i), load<std::uint64_t>(p + i + 8))) return false;
    }
    return i == n || !special16(load<std::uint64_t>(p + n - 16), load<std::uint64_t>(p + n - 8));
  }
  if (n >= 8) return !special16(load<std::uint64_t>(p), load<std::uint64_t>(p + n - 8));
  if (n >= 4) {
    return !special16(load<std::uint32_t>(p) | std::uint64_t{load<std::uint32_t>(p + n - 4)} << 32,
                      kSpaces);
  }
  if (n == 0) return true;
  std::uint64_t const bytes = std::uint64_t{static_cast<unsigned char>(p[0])} |
                              std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
                              std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16;
  return !special16(bytes | (kSpaces << 24), kSpaces);
}

// Copies n bytes: a short text (most) as at most two overlapping words.
[[gnu::always_inline]] inline void copyText(char* to, char const* from, std::size_t n) noexcept {
  if (n > 16) {
    std::memcpy(to, from, n);
  } else if (n >= 8) {
    std::uint64_t const a = load<std::uint64_t>(from);
    std::uint64_t const b = load<std::uint64_t>(from + n - 8);
    std::memcpy(to, &a, 8);
    std::memcpy(to + n - 8, &b, 8);
  } else if (n >= 4) {
    std::uint32_t const a = load<std::uint32_t>(from);
    std::uint32_t const b = load<std::uint32_t>(from + n - 4);
    std::memcpy(to, &a, 4);
    std::memcpy(to + n - 4, &b, 4);
  } else if (n != 0) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

void appendJsonStringEscaped(fmt::memory_buffer& out, std::string_view text);

}  // namespace detail

// Appends `text` as a quoted JSON string: '"' and '\' escaped, control characters (C0, DEL and
// C1) as \n, \t, \r, \b, \f or \u00XX, a byte that is not UTF-8 as \ufffd.
inline void appendJsonString(fmt::memory_buffer& out, std::string_view text) {
  if (!detail::plainAscii(text)) {
    detail::appendJsonStringEscaped(out, text);
    return;
  }
  std::size_t const at = out.size();
  out.resize(at + text.size() + 2);
  char* const p = out.data() + at;
  p[0] = '"';
  detail::copyText(p + 1, text.data(), text.size());
  p[text.size() + 1] = '"';
}

// Appends `text` for the text form: control characters as \n, \t, \r, \xXX (C0 and DEL) or
// \u00XX (C1), a byte that is not UTF-8 as \xXX; everything else as it is.
void appendEscapedText(fmt::memory_buffer& out, std::string_view text);
std::string escapedText(std::string_view text);
// A name from the command line (a file, a table, a revision) as a message shows it: escaped as
// escapedText does, and cut after kNameBytes (whole UTF-8 characters), then "...".
inline constexpr std::size_t kNameBytes = 256;
std::string shownName(std::string_view name);

}  // namespace eedb::replay
