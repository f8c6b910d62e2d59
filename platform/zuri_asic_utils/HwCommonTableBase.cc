#include "zuri_asic_utils/HwCommonTableBase.h"

#include <fmt/format.h>

#include "pelix/Assert.h"

namespace ZuriAsicUtils {

bool HwCommonTableBase::enterWhileInside(std::string_view const& inside,
                                         std::string_view const& util, std::string_view table,
                                         char const* operation) const noexcept {
  // Having found a name, a thread finds its own id only when it is the one inside.
  if (insideThread_.load(std::memory_order_relaxed) == currentThread()) return false;
  Pelix::fmassert(__FILE__, operation, __LINE__,
                  fmt::format("{} entered hardware table {} while {} was inside it: table "
                              "utilities must be called from one thread at a time",
                              util, table, inside));
}

}  // namespace ZuriAsicUtils
