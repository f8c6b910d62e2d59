// The base of every hardware table object and its entry in the table manager.
#include "zuri_asic_utils/HwCommonTableBase.h"

#include <fmt/format.h>

#include "pelix/Assert.h"

namespace ZuriAsicUtils {

bool HwCommonTableBase::enterWhileInside(TableVisit const& inside,
                                         TableVisit const& visit) const noexcept {
  TableOccupancy const& occupancy = *occupancy_;
  // Having found a visit, a thread finds its own id only when it is the one inside; the words
  // read after the visit are of that entry or of a later one.
  bool const sameTable = occupancy.table.load(std::memory_order_relaxed) == this;
  if (occupancy.thread.load(std::memory_order_relaxed) == currentThread()) {
    if (!sameTable) return false;
    Pelix::fmassert(__FILE__, visit.operation, __LINE__,
                    fmt::format("{} entered hardware table {} from inside {}'s {} on the same "
                                "thread: a call from inside an operation must not go to its "
                                "hardware table",
                                visit.util, visit.memory, inside.util, inside.operation));
  }
  if (sameTable) {
    Pelix::fmassert(__FILE__, visit.operation, __LINE__,
                    fmt::format("{} entered hardware table {} while {} was inside it: table "
                                "utilities must be called from one thread at a time",
                                visit.util, visit.memory, inside.util));
  }
  Pelix::fmassert(
      __FILE__, visit.operation, __LINE__,
      fmt::format("{} entered hardware table {} while {} was inside hardware table {} of the "
                  "same table manager: table utilities must be called from one thread at a time",
                  visit.util, visit.memory, inside.util, inside.memory));
}

}  // namespace ZuriAsicUtils
