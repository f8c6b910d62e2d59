// Allocation tracking by type name: the trackers that leak checks and tests read.
#include "kiv/AllocTrack.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace Kiv {
namespace {

struct Trackers {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<AllocTrackTypeInfo>, std::less<>> byName;
};

// Never destroyed: objects are released at exit after static destructors have run.
Trackers& trackers() {
  static auto* const t = new Trackers;
  return *t;
}

AllocTrackTypeInfo& resolve(AllocTrackTypeInfo** tracker, char const* typeName) {
  if (*tracker == nullptr) *tracker = &AllocTrackTypeInfo::tracker(typeName);
  return **tracker;
}

}  // namespace

void AllocTrackTypeInfo::_trackAllocationNoOverhead(AllocTrackTypeInfo** tracker,
                                                    char const* typeName, std::size_t size) {
  resolve(tracker, typeName).trackAllocation(size);
}

void AllocTrackTypeInfo::_trackAllocation(AllocTrackTypeInfo** tracker, char const* typeName,
                                          std::size_t size) {
  resolve(tracker, typeName).trackAllocation(size);
}

void AllocTrackTypeInfo::trackAllocation(std::size_t size, std::size_t count) noexcept {
  auto const bytes = static_cast<std::int64_t>(size * count);
  live_.fetch_add(static_cast<std::int64_t>(count), std::memory_order_relaxed);
  allocations_.fetch_add(count, std::memory_order_relaxed);
  liveBytes_.fetch_add(bytes, std::memory_order_relaxed);
  totalBytes_.fetch_add(static_cast<std::uint64_t>(bytes), std::memory_order_relaxed);
}

void AllocTrackTypeInfo::trackDeallocation(std::size_t size, std::size_t count) noexcept {
  live_.fetch_sub(static_cast<std::int64_t>(count), std::memory_order_relaxed);
  releases_.fetch_add(count, std::memory_order_relaxed);
  liveBytes_.fetch_sub(static_cast<std::int64_t>(size * count), std::memory_order_relaxed);
}

AllocTrackTypeInfo& AllocTrackTypeInfo::tracker(std::string_view typeName) {
  auto& t = trackers();
  std::lock_guard lock(t.mutex);
  auto it = t.byName.find(typeName);
  if (it == t.byName.end()) {
    std::string name(typeName);
    auto info = std::unique_ptr<AllocTrackTypeInfo>(new AllocTrackTypeInfo(name));
    it = t.byName.emplace(std::move(name), std::move(info)).first;
  }
  return *it->second;
}

AllocTrackTypeInfo const* AllocTrackTypeInfo::find(std::string_view typeName) {
  auto& t = trackers();
  std::lock_guard lock(t.mutex);
  auto it = t.byName.find(typeName);
  return it == t.byName.end() ? nullptr : it->second.get();
}

std::vector<AllocTrackTypeInfo const*> AllocTrackTypeInfo::alive() {
  auto& t = trackers();
  std::lock_guard lock(t.mutex);
  std::vector<AllocTrackTypeInfo const*> result;
  for (auto const& [name, info] : t.byName) {
    if (info->live() != 0) result.push_back(info.get());
  }
  return result;
}

}  // namespace Kiv
