// The agent's helper that raises a range error for its libraries.
#include "ancillary/Utility.h"

namespace Ancillary::Utility {

void raise(std::range_error const& error) {
  throw error;
}

}  // namespace Ancillary::Utility
