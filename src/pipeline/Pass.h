// One log entry's pass through a table utility, and the two mechanisms that make it fast. Their
// figures are callgrind's instructions per entry (make bench-instructions), each against the same
// plug-in built without the mechanism.
//
// Quiet pass (kTraced, EEDB_ENTRY_TRACE): whether a pass is traced (level 3 of the table
// utility's trace handle) is decided once, as the entry enters the table utility
// (processSwEntry), which runs one of two instances of the pass: UtilAccessor<Util, kTraced> and
// the Translation<Util, kTraced> it calls. The quiet instance is compiled without trace sites, so
// it formats nothing and tests no level; the traced one tests the level at each site, as every
// separate call of the agent does. One instance testing its sites costs 120 to 270 instructions
// more per entry, a third to three quarters of the pass (Out-RIF adds 545 -> 747, the mixed
// stream 581 -> 802).
//
// Inlined stages (EEDB_INLINE_STAGE): the stages of a pass and the translation steps they call
// are inlined into the one function that runs the entry (UtilAccessor::process), so that the
// entry's values (FAP id, shadow key, hardware key, the bound table) stay in registers from stage
// to stage. Left to the compiler, the pass costs 22 to 87 instructions more per entry (the mixed
// stream 581 -> 643); the stages of the accessor and the steps of the translation each count
// (the steps alone: up to 38 more, AgMemTlm adds). The one part the compiler may keep out of line
// is the body of the translation guard: for a table with large formats it stays a call of its
// own, which takes its arguments in registers (translate/Translation.h, guarded), and inside it
// the table's rules are flattened (Translation.h, build).
#pragma once

#include "kiv/Trace.h"

#define EEDB_ENTRY_TRACE(kTraced, Util, function, classLabel, ...)                         \
  do {                                                                                     \
    if constexpr (kTraced) {                                                               \
      EEDB_TRACE((Util::_defaultTraceHandle()), 3, (function), (classLabel), __VA_ARGS__); \
    }                                                                                      \
  } while (false)

#define EEDB_INLINE_STAGE [[gnu::always_inline]] inline
