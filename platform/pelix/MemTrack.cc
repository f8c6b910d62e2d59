// The object runtime's entry to allocation tracking, for its allocators.
#include "pelix/MemTrack.h"

namespace Pelix::MemTrack::Impl {

void alloc(TypeInfo** tracker, char const* typeName, std::size_t size, std::size_t count) {
  if (*tracker == nullptr) *tracker = &TypeInfo::tracker(typeName);
  (*tracker)->trackAllocation(size, count);
}

void free(TypeInfo** tracker, char const* typeName, std::size_t size, std::size_t count) {
  if (*tracker == nullptr) *tracker = &TypeInfo::tracker(typeName);
  (*tracker)->trackDeallocation(size, count);
}

}  // namespace Pelix::MemTrack::Impl
