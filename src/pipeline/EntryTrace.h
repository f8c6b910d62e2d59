// The per-entry traces: level 3 of the table utility's trace handle (named after its class
// without namespaces). Whether an entry is traced is decided once, as it enters the table
// utility; a quiet entry tests that one flag at each trace site and formats nothing.
#pragma once

#include "kiv/Trace.h"

// Traces at level 3 of Util's handle when the entry is traced.
#define EEDB_ENTRY_TRACE(traced, Util, function, classLabel, ...)                            \
  do {                                                                                       \
    if (traced) [[unlikely]] {                                                               \
      ::Pelix::fmtrace(Util::traceHandle(), 3, __FILE__, (function), __LINE__, (classLabel), \
                       __VA_ARGS__);                                                         \
    }                                                                                        \
  } while (false)
