// Pelix::fmassert: the runtime's fatal assertion report. It writes one line to standard error
// and aborts the process; nothing runs after it.
#pragma once

#include "pelix/String.h"

namespace Pelix {

// Writes "%ASSERT: FILE:LINE FUNCTION: MESSAGE" to standard error, then std::abort().
[[noreturn]] void fmassert(char const* file, char const* function, int line, String const& message);

}  // namespace Pelix
