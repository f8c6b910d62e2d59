// Ancillary::Utility: small helpers of the agent shared by its libraries.
#pragma once

#include <stdexcept>

namespace Ancillary::Utility {

// Raises a copy of the given range failure. Out of line, so that callers in hot code carry
// no throw sequence of their own.
[[noreturn]] void raise(std::range_error const& error);

}  // namespace Ancillary::Utility
