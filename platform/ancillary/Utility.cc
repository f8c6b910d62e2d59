#include "ancillary/Utility.h"

namespace Ancillary::Utility {

void raise(std::range_error const& error) {
  throw error;
}

}  // namespace Ancillary::Utility
