// The allocator of the shadow's slot arrays. A large array (4 huge pages, 8 MiB, or more: a
// shadow key holding some 200,000 entries) starts on a huge page boundary, and the kernel is asked
// to back it with huge pages (madvise MADV_HUGEPAGE, which is what transparent huge pages in
// "madvise" mode wait for): a look-up at a random key of a large shadow then needs one TLB entry
// per 2 MiB instead of one per 4 KiB. Smaller arrays, which the TLB covers, are allocated as
// usual; the alignment costs a large array up to one huge page of address space, untouched.
// Both go through the global allocation functions.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>

namespace chip26_a0::detail {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
inline constexpr std::size_t kHugePagedArrayBytes = 4 * kHugePageBytes;

template <class T>
struct SlotAllocator {
  using value_type = T;

  SlotAllocator() = default;
  template <class U>
  SlotAllocator(SlotAllocator<U> const&) noexcept {}  // NOLINT(google-explicit-constructor)

  T* allocate(std::size_t n) {
    std::size_t const bytes = n * sizeof(T);
    if (bytes < kHugePagedArrayBytes) return std::allocator<T>().allocate(n);
    void* p = ::operator new (bytes, std::align_val_t{kHugePageBytes});
    // Advice only: without transparent huge pages the array keeps small pages.
    static_cast<void>(::madvise(p, bytes, MADV_HUGEPAGE));
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < kHugePagedArrayBytes) return std::allocator<T>().deallocate(p, n);
    ::operator delete (p, std::align_val_t{kHugePageBytes});
  }

  template <class U>
  bool operator==(SlotAllocator<U> const&) const noexcept {
    return true;
  }
};

}  // namespace chip26_a0::detail
