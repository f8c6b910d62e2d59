// The agent's check of its callers' preconditions.
#include "kiv/Sassert.h"

#include <fmt/format.h>

namespace Kiv {

SassertException::SassertException(Pelix::String message, Pelix::String condition,
                                   Pelix::String function, Pelix::String file, int line)
    : std::logic_error(fmt::format("{} ({}) in {}", message, condition, function)),
      message_(std::move(message)),
      condition_(std::move(condition)),
      function_(std::move(function)),
      file_(std::move(file)),
      line_(line) {}

SassertException::~SassertException() = default;

void SassertHelper::fail(char const* condition, Pelix::String message, char const* function,
                         char const* file, int line) {
  throw SassertException(std::move(message), condition, function, file, line);
}

}  // namespace Kiv
