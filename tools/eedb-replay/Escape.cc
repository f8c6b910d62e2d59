// Untrusted text made safe for the terminal and for JSON.

#include "Escape.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include <fmt/compile.h>

namespace eedb::replay {

namespace {

// Printable ASCII other than '"' and '\' needs no escape in either form: the common case,
// copied whole.
bool plain(char c) {
  auto const u = static_cast<unsigned char>(c);
  return u >= 0x20 && u < 0x7f && c != '"' && c != '\\';
}

// The length of the UTF-8 sequence at the start of `text` and its code point; 0 when the
// bytes there are not UTF-8 (a stray continuation, an overlong form, a surrogate, a cut-off
// sequence).
struct Decoded {
  unsigned length;
  std::uint32_t codePoint;
};
Decoded decodeUtf8(std::string_view text) {
  auto const byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char const lead = byte(0);
  if (lead < 0x80) return {1, lead};
  // Sequence length, payload bits of the lead byte and the smallest code point of that length.
  struct Lead {
    unsigned char mask, bits;
    unsigned length;
    std::uint32_t min;
  };
  static constexpr Lead kLeads[] = {
      {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  auto const* kind = std::find_if(std::begin(kLeads), std::end(kLeads),
                                  [&](Lead const& l) { return (lead & l.mask) == l.bits; });
  if (kind == std::end(kLeads)) return {0, 0};
  unsigned const length = kind->length;
  std::uint32_t cp = lead & static_cast<unsigned char>(~kind->mask);
  std::uint32_t const min = kind->min;
  if (text.size() < length) return {0, 0};
  for (unsigned i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {0, 0};
    cp = cp << 6 | (byte(i) & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0, 0};
  return {length, cp};
}

bool isControl(std::uint32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// Walks `text`, copying runs that need no escape and calling escape(code point or byte,
// valid) for each character that does.
template <class Escape>
void appendEscaped(fmt::memory_buffer& out, std::string_view text, Escape const& escape) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t run = i;
    while (run < text.size() && plain(text[run])) ++run;
    out.append(text.substr(i, run - i));
    if (run == text.size()) return;
    i = run;
    Decoded const d = decodeUtf8(text.substr(i));
    if (d.length == 0) {
      escape(static_cast<unsigned char>(text[i]), false);
      ++i;
    } else if (d.codePoint == '"' || d.codePoint == '\\' || isControl(d.codePoint)) {
      escape(d.codePoint, true);
      i += d.length;
    } else {
      out.append(text.substr(i, d.length));
      i += d.length;
    }
  }
}

// The short escapes both forms share.
char shortEscape(std::uint32_t cp) {
  switch (cp) {
    case '\n':
      return 'n';
    case '\t':
      return 't';
    case '\r':
      return 'r';
    default:
      return 0;
  }
}

}  // namespace

void detail::appendJsonStringEscaped(fmt::memory_buffer& out, std::string_view text) {
  out.push_back('"');
  appendEscaped(out, text, [&](std::uint32_t cp, bool valid) {
    if (!valid) {
      out.append(std::string_view("\\ufffd"));
      return;
    }
    char const c = cp == '"' || cp == '\\' ? static_cast<char>(cp)
                   : cp == '\b'            ? 'b'
                   : cp == '\f'            ? 'f'
                                           : shortEscape(cp);
    if (c != 0) {
      char const pair[] = {'\\', c};
      out.append(std::string_view(pair, 2));
    } else {
      fmt::format_to(std::back_inserter(out), FMT_COMPILE("\\u{:04x}"), cp);
    }
  });
  out.push_back('"');
}

void appendEscapedText(fmt::memory_buffer& out, std::string_view text) {
  if (detail::plainAscii(text)) {
    out.append(text);
    return;
  }
  appendEscaped(out, text, [&](std::uint32_t cp, bool valid) {
    if (valid && (cp == '"' || cp == '\\')) {
      out.push_back(static_cast<char>(cp));
    } else if (char const c = valid ? shortEscape(cp) : 0; c != 0) {
      char const pair[] = {'\\', c};
      out.append(std::string_view(pair, 2));
    } else if (!valid || cp < 0x80) {
      fmt::format_to(std::back_inserter(out), FMT_COMPILE("\\x{:02x}"), cp);
    } else {
      fmt::format_to(std::back_inserter(out), FMT_COMPILE("\\u{:04x}"), cp);
    }
  });
}

std::string escapedText(std::string_view text) {
  fmt::memory_buffer out;
  appendEscapedText(out, text);
  return fmt::to_string(out);
}

std::string shownName(std::string_view name) {
  if (name.size() <= kNameBytes) return escapedText(name);
  std::size_t end = kNameBytes;
  // Back to the first byte of a UTF-8 character.
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  fmt::memory_buffer out;
  appendEscapedText(out, name.substr(0, end));
  fmt::format_to(std::back_inserter(out), "...");
  return fmt::to_string(out);
}

}  // namespace eedb::replay
