// Pelix::RangeException: a value outside the range of its type.
//
// It derives from std::exception, so guards that catch std::exception report it as a known
// failure and keep its text.
#pragma once

#include <exception>

#include "pelix/String.h"

namespace Pelix {

class RangeException : public std::exception {
 public:
  explicit RangeException(String text) : text_(std::move(text)) {}
  ~RangeException() override;
  char const* what() const noexcept override { return text_.c_str(); }

  [[noreturn]] static void throwException(String text);

 private:
  String text_;
};

}  // namespace Pelix
