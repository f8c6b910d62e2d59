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

namespace eedb::replay {

namespace detail {

// True when `text` is printable ASCII without '"' and '\', the common case that both forms copy
// whole; tested eight bytes at a time, since every string of every JSON line passes here.
inline bool plainAscii(std::string_view text) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighs = 0x8080808080808080;
  auto const hasZeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  auto const special = [&](std::uint64_t w) {
    return (w & kHighs) | ((w - kOnes * 0x20) & ~w & kHighs) | hasZeroByte(w ^ (kOnes * '"')) |
           hasZeroByte(w ^ (kOnes * '\\')) | hasZeroByte(w ^ (kOnes * 0x7F));
  };
  auto const word = [&](std::size_t at) {
    std::uint64_t w;
    std::memcpy(&w, text.data() + at, sizeof w);
    return w;
  };
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    if (special(word(i)) != 0) return false;
  }
  // The last bytes of a text of eight or more: the eight that end it, some tested twice.
  if (i != text.size() && text.size() >= 8) return special(word(text.size() - 8)) == 0;
  for (; i < text.size(); ++i) {
    auto const c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
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
  std::memcpy(p + 1, text.data(), text.size());
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
