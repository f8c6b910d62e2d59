// The process hash seed of the agent's hash tables.
#include "kiv/HashHelper.h"

namespace Kiv::HashHelper {

std::uint32_t hashSeed32() noexcept {
  // A fixed seed keeps table lookups and test runs repeatable.
  return 0x5bd1e995u;
}

}  // namespace Kiv::HashHelper
