// Pelix::MemTrack: the object runtime's entry to allocation tracking, used by its allocators
// (Pelix::Allocator) for storage they hand out, such as the loader's list nodes. It records into
// the same per-type trackers as Kiv::AllocTrackTypeInfo.
#pragma once

#include <cstddef>

#include "kiv/AllocTrack.h"

namespace Pelix {
namespace MemTrack {

using TypeInfo = Kiv::AllocTrackTypeInfo;

namespace Impl {

// Records `count` objects of `size` bytes each under `*tracker`, creating the tracker for
// `typeName` when *tracker is still null.
void alloc(TypeInfo** tracker, char const* typeName, std::size_t size, std::size_t count);
// Records their release. Takes the type name as well: storage may be released by another
// library than the one that allocated it, which has no cached tracker yet.
void free(TypeInfo** tracker, char const* typeName, std::size_t size, std::size_t count);

}  // namespace Impl
}  // namespace MemTrack

// The runtime's allocator of T: holds the tracker under which storage for T is recorded.
template <class T>
struct Allocator {
  static inline MemTrack::TypeInfo* tracker_ = nullptr;
};

}  // namespace Pelix
