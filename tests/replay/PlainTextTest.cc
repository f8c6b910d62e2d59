// The fast test that lets a string be copied whole into the report: a character to escape is
// found at every place of texts of every length around the words and 16-byte blocks it reads,
// the last bytes included, and a plain text is copied as it is.

#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "Escape.h"

namespace {

using eedb::replay::detail::plainAscii;

TEST(PlainAscii, FindsACharacterToEscapeAtEveryPlaceOfEveryLength) {
  char const specials[] = {'"', '\\', '\x00', '\x1f', '\x7f', '\x80', '\xc3', '\xff'};
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string const plain(length, '~');  // 0x7e: the last plain character before DEL
    EXPECT_TRUE(plainAscii(plain)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      for (char const c : specials) {
        std::string text = plain;
        text[at] = c;
        EXPECT_FALSE(plainAscii(text)) << fmt::format("length {} at {} byte {:#04x}", length, at,
                                                      static_cast<unsigned char>(c));
      }
    }
  }
  // Space is the first plain character; the text around a short one is never read.
  EXPECT_TRUE(plainAscii(std::string(13, ' ')));
  std::string const buffer = "abc\"def";
  EXPECT_TRUE(plainAscii(std::string_view(buffer).substr(0, 3)));
}

// A plain text is copied whole, however its length falls on the words that copy it.
TEST(PlainAscii, PlainTextOfEveryLengthIsCopiedAsItIs) {
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
      char const c = static_cast<char>('!' + (i * 7) % 94);  // every printable but space
      text += c == '"' || c == '\\' ? ' ' : c;
    }
    fmt::memory_buffer out;
    out.append(std::string_view("x"));
    eedb::replay::appendJsonString(out, text);
    EXPECT_EQ(fmt::to_string(out), "x\"" + text + "\"") << length;
  }
}

}  // namespace
