// The chip's two direct EEDB tables, instantiated once in this library.
#include "chip26_a0/EedbHwDirect.h"

namespace chip26_a0 {

namespace direct {
template class HwDirectTable<AgMemTlmDesc, AgMemTlmEntry>;
template class HwDirectTable<DataByLocalOutlifMsbsDesc, DataByLocalOutlifMsbsEntry>;
}  // namespace direct

EedbAgMemTlmHwDirect::~EedbAgMemTlmHwDirect() = default;
EedbDataByLocalOutlifMsbsHwDirect::~EedbDataByLocalOutlifMsbsHwDirect() = default;

}  // namespace chip26_a0
