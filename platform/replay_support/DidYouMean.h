// Suggestions for mistyped names (tables, fields, members, options): the closest known name by
// edit distance, when it is close enough to be what was meant.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ZuriErrm {

// Insertions, deletions, substitutions and swaps of two neighbours needed to turn `a` into `b`,
// letter case ignored.
std::size_t editDistance(std::string_view a, std::string_view b);

// Whether `candidate` lies close enough to `typo` to be suggested.
bool closeEnough(std::string_view typo, std::string_view candidate);

// " (did you mean 'PREFIX.NAME'?)" for the closest of `candidates` (names taken with `name`), or
// "" when none is close enough. The first of equally close names wins.
template <class Range, class Name = std::identity>
std::string didYouMean(std::string_view typo, Range const& candidates, Name name = {},
                       std::string_view prefix = {}) {
  std::string_view best;
  std::size_t bestDistance = 0;
  for (auto const& candidate : candidates) {
    std::string_view const n = std::invoke(name, candidate);
    if (!closeEnough(typo, n)) continue;
    std::size_t const d = editDistance(typo, n);
    if (best.empty() || d < bestDistance) {
      best = n;
      bestDistance = d;
    }
  }
  if (best.empty()) return {};
  return std::string(" (did you mean '").append(prefix).append(best).append("'?)");
}

}  // namespace ZuriErrm
