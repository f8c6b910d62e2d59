// Did-you-mean for names typed by people: the known name closest to a word by edit distance.
#pragma once

#include <span>
#include <string_view>

namespace eedb::replay {

// The known name nearest to `word` (letters compared without case), or an empty view when none
// is near enough to be meant: within a third of the word's length, at least 2 edits.
std::string_view closest(std::string_view word, std::span<std::string_view const> known);

}  // namespace eedb::replay
