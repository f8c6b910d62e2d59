// Kiv::HashHelper: the process hash seed.
#pragma once

#include <cstdint>

namespace Kiv::HashHelper {

// Fixed for the life of the process.
std::uint32_t hashSeed32() noexcept;

}  // namespace Kiv::HashHelper
