// Kiv::SassertHelper: the agent's check of its callers' preconditions (for example a log entry
// handed to the wrong table utility). The agent aborts on a failed precondition; our stand-in
// raises Kiv::SassertException instead, so that tests and the replay tool can observe it.
#pragma once

#include <stdexcept>

#include "pelix/String.h"

namespace Kiv {

// A failed precondition. It derives from std::logic_error because it reports a programming
// error of the caller, not bad input; preconditions are checked outside the guards that wrap
// translation failures, so no guard ever turns it into another exception.
// what() is "MESSAGE (CONDITION) in FUNCTION".
class SassertException : public std::logic_error {
 public:
  SassertException(Pelix::String message, Pelix::String condition, Pelix::String function,
                   Pelix::String file, int line);
  ~SassertException() override;

  Pelix::String const& message() const noexcept { return message_; }
  Pelix::String const& condition() const noexcept { return condition_; }
  Pelix::String const& function() const noexcept { return function_; }
  Pelix::String const& file() const noexcept { return file_; }
  int line() const noexcept { return line_; }

 private:
  Pelix::String message_;
  Pelix::String condition_;
  Pelix::String function_;
  Pelix::String file_;
  int line_;
};

struct SassertHelper {
  // Reports a failed precondition: `condition` is the text of the check that failed,
  // `function` the full name of the operation that checked it.
  [[noreturn]] static void fail(char const* condition, Pelix::String message, char const* function,
                                char const* file, int line);
};

}  // namespace Kiv
