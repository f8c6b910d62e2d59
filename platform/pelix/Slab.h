// The runtime's slab allocator: storage for small objects (table utilities, loader nodes) from
// per-size free lists, so that creating and dropping such objects does not go to malloc.
//
// Sizes are rounded up to a multiple of kSlabGranule; each size class keeps its own free list,
// refilled a chunk at a time. Chunks are kept for the life of the process. Blocks are aligned
// for any object type (alignof(std::max_align_t)).
//
// Thread-safety: none. The allocator belongs to the agent's thread, where every table utility
// is created and destroyed; it takes no lock. Do not call it from other threads.
#pragma once

#include <cstddef>

namespace Pelix {

inline constexpr std::size_t kSlabGranule = 16;
inline constexpr std::size_t kSlabMaxSize = 2048;

// A block of at least `size` bytes (0 counts as 1). Sizes above kSlabMaxSize are not served:
// std::bad_alloc, as when the system has no memory left for a new chunk.
void* slabAlloc(std::size_t size);
// As slabAlloc for sizes up to kSlabMaxSize; larger sizes come from std::malloc. Never null
// (std::bad_alloc).
void* slabAllocOrStdMalloc(std::size_t size);
// Returns a block of either allocation call; `size` must be the size it was asked for. A null
// `p` does nothing.
void slabFree(void* p, std::size_t size) noexcept;

// Counts of the allocator, for tests and leak checks.
struct SlabCounts {
  std::size_t liveBlocks;        // slab blocks handed out and not yet returned
  std::size_t liveMallocBlocks;  // blocks above kSlabMaxSize from slabAllocOrStdMalloc
  std::size_t chunkBytes;        // memory taken from the system for slab chunks
};
SlabCounts slabCounts() noexcept;
// Live blocks of the size class that serves `size`.
std::size_t slabLiveBlocks(std::size_t size) noexcept;

}  // namespace Pelix
