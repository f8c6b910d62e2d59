// Counts every heap allocation of the test process, for the no-allocation checks.
#include <atomic>
#include <cstdlib>
#include <new>

#include "chip/ChipTestSupport.h"

namespace {
std::atomic<std::size_t> gAllocations{0};

void* countedAlloc(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

std::size_t chip26_a0::test::allocationCount() noexcept {
  return gAllocations.load(std::memory_order_relaxed);
}

void* operator new(std::size_t size) {
  return countedAlloc(size);
}
void* operator new[](std::size_t size) {
  return countedAlloc(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
