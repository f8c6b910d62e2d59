// Asic::LogEntryWrapperBase: the polymorphic base of every software table's log entry wrapper.
// Table utilities recover their table's wrapper with Pelix::dynamic_pointer_cast.
#pragma once

#include "pelix/Node.h"

namespace Asic {

class LogEntryWrapperBase : public Pelix::Node {
 public:
  ~LogEntryWrapperBase() override;
};

}  // namespace Asic
