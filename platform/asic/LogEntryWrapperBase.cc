#include "asic/LogEntryWrapperBase.h"

namespace Asic {

LogEntryWrapperBase::~LogEntryWrapperBase() = default;

}  // namespace Asic
