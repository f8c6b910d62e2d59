// The runtime's slab allocator of small objects.
#include "pelix/Slab.h"

#include <cstdlib>
#include <new>

namespace Pelix {
namespace {

constexpr std::size_t kClasses = kSlabMaxSize / kSlabGranule;
// A chunk holds at least this many bytes of blocks, and at least kMinBlocksPerChunk blocks.
constexpr std::size_t kChunkPayload = 16 * 1024;
constexpr std::size_t kMinBlocksPerChunk = 8;

static_assert(kSlabMaxSize % kSlabGranule == 0);
static_assert(kSlabGranule % alignof(std::max_align_t) == 0);

struct FreeBlock {
  FreeBlock* next;
};

// Chunks are chained through this header so that they stay reachable (leak checkers see them
// as owned); it is padded to keep the blocks behind it aligned.
struct alignas(std::max_align_t) ChunkHeader {
  ChunkHeader* next;
};

struct SizeClass {
  FreeBlock* free;
  std::size_t live;
};

// Plain data with constant initialisation: usable during static initialisation and after
// static destruction (loader nodes are released at exit).
constinit SizeClass gClasses[kClasses] = {};
constinit ChunkHeader* gChunks = nullptr;
constinit std::size_t gChunkBytes = 0;
constinit std::size_t gLiveMalloc = 0;

constexpr std::size_t classIndex(std::size_t size) noexcept {
  return size == 0 ? 0 : (size - 1) / kSlabGranule;
}

constexpr std::size_t blockSize(std::size_t index) noexcept {
  return (index + 1) * kSlabGranule;
}

void refill(std::size_t index) {
  std::size_t const bytes = blockSize(index);
  std::size_t count = kChunkPayload / bytes;
  if (count < kMinBlocksPerChunk) count = kMinBlocksPerChunk;
  std::size_t const total = sizeof(ChunkHeader) + count * bytes;
  auto* chunk = static_cast<ChunkHeader*>(std::malloc(total));
  if (chunk == nullptr) throw std::bad_alloc();
  chunk->next = gChunks;
  gChunks = chunk;
  gChunkBytes += total;
  // Thread the new blocks onto the free list, first block first.
  auto* base = reinterpret_cast<unsigned char*>(chunk + 1);
  FreeBlock* head = gClasses[index].free;
  for (std::size_t i = count; i-- > 0;) {
    auto* block = reinterpret_cast<FreeBlock*>(base + i * bytes);
    block->next = head;
    head = block;
  }
  gClasses[index].free = head;
}

}  // namespace

void* slabAlloc(std::size_t size) {
  if (size > kSlabMaxSize) throw std::bad_alloc();
  std::size_t const index = classIndex(size);
  SizeClass& c = gClasses[index];
  if (c.free == nullptr) refill(index);
  FreeBlock* block = c.free;
  c.free = block->next;
  ++c.live;
  return block;
}

void* slabAllocOrStdMalloc(std::size_t size) {
  if (size <= kSlabMaxSize) return slabAlloc(size);
  void* p = std::malloc(size);
  if (p == nullptr) throw std::bad_alloc();
  ++gLiveMalloc;
  return p;
}

void slabFree(void* p, std::size_t size) noexcept {
  if (p == nullptr) return;
  if (size > kSlabMaxSize) {
    std::free(p);
    --gLiveMalloc;
    return;
  }
  SizeClass& c = gClasses[classIndex(size)];
  auto* block = static_cast<FreeBlock*>(p);
  block->next = c.free;
  c.free = block;
  --c.live;
}

SlabCounts slabCounts() noexcept {
  SlabCounts counts{0, gLiveMalloc, gChunkBytes};
  for (auto const& c : gClasses) counts.liveBlocks += c.live;
  return counts;
}

std::size_t slabLiveBlocks(std::size_t size) noexcept {
  if (size > kSlabMaxSize) return 0;
  return gClasses[classIndex(size)].live;
}

}  // namespace Pelix
