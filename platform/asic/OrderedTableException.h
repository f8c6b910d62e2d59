// Asic::OrderedTableException: the one exception type in which table utilities hand every
// failure of key mapping, translation and their hooks to the agent, and the agent's functions
// that raise it.
#pragma once

#include <exception>
#include <utility>

#include "pelix/String.h"

namespace Asic {

class OrderedTableException : public std::exception {
 public:
  explicit OrderedTableException(Pelix::String message) : message_(std::move(message)) {}
  ~OrderedTableException() override;
  char const* what() const noexcept override;

 private:
  Pelix::String message_;
};

// Raised by a graceful assertion; same message and what().
class GracefulAssertException : public OrderedTableException {
 public:
  using OrderedTableException::OrderedTableException;
  ~GracefulAssertException() override;
};

// Raises OrderedTableException for a caught failure. The message joins the context and the
// caught exception's text with ": ", "<context>: <caught text>"; a null text counts as empty.
[[noreturn]] void throwOrderedTableException(Pelix::String const& context, char const* caughtText);

// Raises OrderedTableException for a caught failure that carries no text (not a
// std::exception): "<context>: unknown exception".
[[noreturn]] void throwOrderedTableExceptionUnknown(Pelix::String const& context);

}  // namespace Asic
