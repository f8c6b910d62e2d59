// The process-wide assertion mode and the byte that says whether it was set.
#include "asic/Mode.h"

namespace Asic {

std::int32_t mode = 0;
unsigned char modeInitialized = 0;

}  // namespace Asic
