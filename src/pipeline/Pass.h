// One log entry's pass through a table utility, and the two mechanisms that make it fast.
//
// Quiet pass: whether a pass is traced (level 3 of the table utility's trace handle) is decided
// once, as the entry enters the table utility (processSwEntry). A quiet pass is compiled without
// trace sites, so it formats nothing and tests no level; a traced pass tests the level at each
// site, as every separate call of the agent does.
//
// Inlined stages (EEDB_INLINE_STAGE): the stages of a pass and the translation steps they call
// are inlined into the one function that runs the entry (UtilAccessor::process), so that the
// entry's values (FAP id, shadow key, hardware key, the bound table) stay in registers from stage
// to stage. As separate calls the same path costs 20 to 60 more instructions per entry and up to
// a third more time (make bench, direct-table deletes). The one part the compiler may keep out of
// line is the body of the translation guard: for a table with large formats it stays a call of
// its own, which takes its arguments in registers (translate/Translation.h, guarded); inside it
// the table's rules are flattened, so that they pack the format's words once.
#pragma once

#include "kiv/Trace.h"

#define EEDB_ENTRY_TRACE(kTraced, Util, function, classLabel, ...)                         \
  do {                                                                                     \
    if constexpr (kTraced) {                                                               \
      EEDB_TRACE((Util::_defaultTraceHandle()), 3, (function), (classLabel), __VA_ARGS__); \
    }                                                                                      \
  } while (false)

#define EEDB_INLINE_STAGE [[gnu::always_inline]] inline
