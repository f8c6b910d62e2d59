// Kiv::AllocTrackTypeInfo: allocation tracking by type. One tracker per type name counts the
// objects alive and the totals of allocations, releases and bytes; leak checks and tests look
// trackers up by name.
//
// A class keeps a static `AllocTrackTypeInfo*` that the first tracked allocation fills in; from
// then on recording costs a few relaxed atomic additions and no lock. Trackers live for the whole
// process, so a pointer cached by a library stays valid, and a library loaded again finds its
// counts under the same name.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Kiv {

class AllocTrackTypeInfo {
 public:
  AllocTrackTypeInfo(AllocTrackTypeInfo const&) = delete;
  AllocTrackTypeInfo& operator=(AllocTrackTypeInfo const&) = delete;

  // Records one allocation of `size` bytes under `*tracker`, creating the tracker for
  // `typeName` when *tracker is still null. The agent's tracking allocator puts a header in
  // front of objects it allocates itself (_trackAllocation) and none in front of objects placed
  // in storage of their own (_trackAllocationNoOverhead); ours adds no header, so both record
  // the same.
  static void _trackAllocationNoOverhead(AllocTrackTypeInfo** tracker, char const* typeName,
                                         std::size_t size);
  static void _trackAllocation(AllocTrackTypeInfo** tracker, char const* typeName,
                               std::size_t size);

  void trackAllocation(std::size_t size, std::size_t count = 1) noexcept;
  void trackDeallocation(std::size_t size, std::size_t count = 1) noexcept;

  // The tracker of `typeName`, created when there is none yet.
  static AllocTrackTypeInfo& tracker(std::string_view typeName);
  // The tracker of `typeName`, or nullptr when nothing of that type was ever tracked.
  static AllocTrackTypeInfo const* find(std::string_view typeName);
  // Every tracker with objects alive (or more releases than allocations), by name.
  static std::vector<AllocTrackTypeInfo const*> alive();

  std::string const& name() const noexcept { return name_; }
  // Objects allocated and not yet released; negative after a release that was never allocated.
  std::int64_t live() const noexcept { return live_.load(std::memory_order_relaxed); }
  std::uint64_t allocations() const noexcept {
    return allocations_.load(std::memory_order_relaxed);
  }
  std::uint64_t releases() const noexcept { return releases_.load(std::memory_order_relaxed); }
  std::int64_t liveBytes() const noexcept { return liveBytes_.load(std::memory_order_relaxed); }
  std::uint64_t totalBytes() const noexcept { return totalBytes_.load(std::memory_order_relaxed); }

 private:
  explicit AllocTrackTypeInfo(std::string name) : name_(std::move(name)) {}

  std::string name_;
  std::atomic<std::int64_t> live_{0};
  std::atomic<std::uint64_t> allocations_{0};
  std::atomic<std::uint64_t> releases_{0};
  std::atomic<std::int64_t> liveBytes_{0};
  std::atomic<std::uint64_t> totalBytes_{0};
};

}  // namespace Kiv
