// The object runtime's fatal assertion report.
#include "pelix/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace Pelix {

void fmassert(char const* file, char const* function, int line, String const& message) {
  // One write of the whole line, so that a dying process does not interleave it.
  std::fprintf(stderr, "%%ASSERT: %s:%d %s: %s\n", file, line, function, message.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace Pelix
