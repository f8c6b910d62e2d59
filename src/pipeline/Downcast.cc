// The fatal assertion of a log entry of another table, out of line of the checked downcast.
#include "pipeline/Downcast.h"

#include <fmt/format.h>

#include "kiv/Sassert.h"

namespace ZuriAsicUtils::detail {

void failNotOfTable(std::string_view className, char const* operation, char const* file, int line) {
  Kiv::SassertHelper::fail("\"logPtr\" == nullptr", "logPtr is NULL",
                           fmt::format("{}::{}", className, operation).c_str(), file, line);
}

}  // namespace ZuriAsicUtils::detail
