// The failure of a checked cast: the range error naming the source type, the value and the
// field's width and maximum.
#include "pipeline/CheckedCast.h"

#include <fmt/format.h>

#include "ancillary/Utility.h"

namespace Asic::Detail {

void raiseCastText(std::string_view sourceType, std::uint64_t value, unsigned bits,
                   std::uint64_t max) {
  Ancillary::Utility::raise(
      std::range_error(fmt::format("Casting values: cast from {}{{ {} }} to U{} (max = {}) failed.",
                                   sourceType, value, bits, max)));
}

}  // namespace Asic::Detail
