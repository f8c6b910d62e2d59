// The base of every hardware table object and its entry in the table manager.
#include "zuri_asic_utils/HwCommonTableBase.h"

#include <fmt/format.h>

#include "pelix/Assert.h"

namespace ZuriAsicUtils {

bool HwCommonTableBase::enterWhileInside(std::string_view const& inside,
                                         std::string_view const& util,
                                         std::string_view const& memory,
                                         char const* operation) const noexcept {
  TableOccupancy const& occupancy = *occupancy_;
  // Having found a name, a thread finds its own id only when it is the one inside; the words
  // read after the name are of that entry or of a later one.
  auto const* insideMemory = occupancy.memory.load(std::memory_order_relaxed);
  bool const sameTable = occupancy.table.load(std::memory_order_relaxed) == this;
  if (occupancy.thread.load(std::memory_order_relaxed) == currentThread()) {
    if (!sameTable) return false;
    char const* const outer = occupancy.operation.load(std::memory_order_relaxed);
    Pelix::fmassert(__FILE__, operation, __LINE__,
                    fmt::format("{} entered hardware table {} from inside {}'s {} on the same "
                                "thread: a call from inside an operation must not go to its "
                                "hardware table",
                                util, memory, inside, outer != nullptr ? outer : "?"));
  }
  if (sameTable) {
    Pelix::fmassert(__FILE__, operation, __LINE__,
                    fmt::format("{} entered hardware table {} while {} was inside it: table "
                                "utilities must be called from one thread at a time",
                                util, memory, inside));
  }
  Pelix::fmassert(
      __FILE__, operation, __LINE__,
      fmt::format("{} entered hardware table {} while {} was inside hardware table {} of the "
                  "same table manager: table utilities must be called from one thread at a time",
                  util, memory, inside, insideMemory != nullptr ? *insideMemory : "?"));
}

}  // namespace ZuriAsicUtils
