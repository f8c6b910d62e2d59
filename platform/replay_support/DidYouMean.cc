// Replay support: suggestions for mistyped names, by edit distance.
#include "replay_support/DidYouMean.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ZuriErrm {

namespace {

char folded(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::size_t editDistance(std::string_view a, std::string_view b) {
  // Optimal string alignment over three rows of the distance matrix.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t const cost = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) &&
          folded(a[i - 2]) == folded(b[j - 1])) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return previous[b.size()];
}

bool closeEnough(std::string_view typo, std::string_view candidate) {
  // A third of the name may be wrong; one letter always. Very long input is no typo.
  constexpr std::size_t kLongestName = 64;
  if (typo.size() > kLongestName || candidate.empty()) return false;
  std::size_t const allowed = std::max<std::size_t>(1, candidate.size() / 3);
  std::size_t const lengths = typo.size() > candidate.size() ? typo.size() - candidate.size()
                                                             : candidate.size() - typo.size();
  return lengths <= allowed && editDistance(typo, candidate) <= allowed;
}

}  // namespace ZuriErrm
