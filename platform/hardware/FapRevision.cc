// Which chip and revision a FAP is: the text form ("26:A0") read back.
#include "hardware/FapRevision.h"

#include <charconv>

namespace Hardware::Zuri {

std::optional<FapRevision> FapRevision::parse(std::string_view text) noexcept {
  auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || text.size() != colon + 3)
    return std::nullopt;
  unsigned chip = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + colon, chip);
  if (ec != std::errc() || end != text.data() + colon || chip > 255) return std::nullopt;
  char const letter = text[colon + 1];
  char const digit = text[colon + 2];
  if (letter < 'A' || letter > 'P' || digit < '0' || digit > '9') return std::nullopt;
  return FapRevision(ChipType{static_cast<std::uint8_t>(chip)}, letter,
                     static_cast<unsigned>(digit - '0'));
}

}  // namespace Hardware::Zuri
