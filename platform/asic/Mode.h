// Asic::mode: the process-wide assertion mode (1: graceful assertions are fatal, 0: they raise
// GracefulAssertException), with the byte that records whether it was set. Defined once in the
// agent's library so every plug-in of the process shares the same pair; the first plug-in
// whose static initialisation sees modeInitialized clear sets both.
#pragma once

#include <cstdint>

namespace Asic {

extern std::int32_t mode;
// A plain byte, not a thread-safe guard: static initialisations that set it must not overlap.
extern unsigned char modeInitialized;

}  // namespace Asic
