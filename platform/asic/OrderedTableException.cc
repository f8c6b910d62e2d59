// The exception in which table utilities hand their failures to the agent.
#include "asic/OrderedTableException.h"

#include <string>

namespace Asic {

// Out of line, so that the plug-in and the agent share one type_info per exception type.
OrderedTableException::~OrderedTableException() = default;

char const* OrderedTableException::what() const noexcept {
  return message_.c_str();
}

GracefulAssertException::~GracefulAssertException() = default;

void throwOrderedTableException(Pelix::String const& context, char const* caughtText) {
  Pelix::String message;
  message.reserve(context.size() + 2 +
                  (caughtText ? std::char_traits<char>::length(caughtText) : 0));
  message.append(context).append(": ").append(caughtText ? caughtText : "");
  throw OrderedTableException(std::move(message));
}

void throwOrderedTableExceptionUnknown(Pelix::String const& context) {
  throw OrderedTableException(context + ": unknown exception");
}

}  // namespace Asic
