// Heap use of the benchmark process, seen through its replaced global operator new and delete:
// the number of allocations and the bytes live at any moment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace eedb::bench {

// Allocations made by the process so far (every operator new).
std::uint64_t heapAllocations() noexcept;
// Bytes held by live allocations (as the allocator sized them).
std::int64_t heapLiveBytes() noexcept;
// The most bytes live at once since the last heapPeakReset() (the high-water mark: a rehash
// holds the old and the new slot arrays together).
std::int64_t heapPeakBytes() noexcept;
void heapPeakReset() noexcept;

// Counts the allocations of the timed stretches of a benchmark: open() when timing resumes,
// close() when it pauses.
class AllocationWindow {
 public:
  void open() noexcept { start_ = heapAllocations(); }
  void close() noexcept { total_ += heapAllocations() - start_; }
  std::uint64_t total() const noexcept { return total_; }

 private:
  std::uint64_t start_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace eedb::bench
