// Unsigned numbers written as text in the input: "31", or "0x1f" / "0X1F" in hex. The one place
// the replay reads hex digits: field values of the catalogue, the unit parts of a line and the
// field values a line expects.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace ZuriErrm {

// The text after a "0x" or "0X" prefix; `text` itself, with `hex` false, without one.
inline std::string_view hexDigitsOf(std::string_view text, bool& hex) noexcept {
  hex = text.starts_with("0x") || text.starts_with("0X");
  return hex ? text.substr(2) : text;
}

// Digits (no prefix, no sign) that fill `out` whole: ok, or out of range when they are valid
// but too large for 64 bits; false when they are not digits of `base` or there are none.
inline bool parseDigits(std::string_view digits, int base, std::uint64_t& out,
                        bool& inRange) noexcept {
  auto const [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out, base);
  inRange = ec == std::errc();
  return !digits.empty() && end == digits.data() + digits.size() &&
         (ec == std::errc() || ec == std::errc::result_out_of_range);
}

}  // namespace ZuriErrm
