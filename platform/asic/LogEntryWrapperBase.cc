// The log entry wrapper base's key function: its type info lives in this library.
#include "asic/LogEntryWrapperBase.h"

namespace Asic {

LogEntryWrapperBase::~LogEntryWrapperBase() = default;

}  // namespace Asic
