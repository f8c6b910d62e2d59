// Allocation trackers: created once per type name, counts back to zero after release.
#include <string>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kiv/AllocTrack.h"
#include "pelix/MemTrack.h"

namespace {

// A type name of its own for every run, so that repeated runs start from no tracker.
std::string freshName(char const* base) {
  static int run = 0;
  return fmt::format("kiv_alloc_track_test::{}{}", base, run++);
}

bool isAlive(std::string const& name) {
  for (auto const* t : Kiv::AllocTrackTypeInfo::alive()) {
    if (t->name() == name) return true;
  }
  return false;
}

TEST(KivAllocTrack, FirstAllocationCreatesTheTrackerAndLaterOnesReuseIt) {
  std::string const name = freshName("Widget");
  char const* const typeName = name.c_str();
  EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(typeName), nullptr);

  Kiv::AllocTrackTypeInfo* tracker = nullptr;
  Kiv::AllocTrackTypeInfo::_trackAllocationNoOverhead(&tracker, typeName, 48);
  ASSERT_NE(tracker, nullptr);
  Kiv::AllocTrackTypeInfo* const first = tracker;
  Kiv::AllocTrackTypeInfo::_trackAllocation(&tracker, typeName, 48);
  EXPECT_EQ(tracker, first);
  EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(typeName), first);

  EXPECT_EQ(tracker->name(), typeName);
  EXPECT_EQ(tracker->live(), 2);
  EXPECT_EQ(tracker->allocations(), 2u);
  EXPECT_EQ(tracker->liveBytes(), 96);
  EXPECT_TRUE(isAlive(typeName));

  tracker->trackDeallocation(48);
  tracker->trackDeallocation(48);
  EXPECT_EQ(tracker->live(), 0);
  EXPECT_EQ(tracker->liveBytes(), 0);
  EXPECT_EQ(tracker->releases(), 2u);
  EXPECT_EQ(tracker->totalBytes(), 96u);  // totals keep the history
  EXPECT_FALSE(isAlive(typeName));
}

TEST(KivAllocTrack, TwoCachedPointersOfOneNameShareTheTracker) {
  // The plug-in and the platform each cache their own pointer.
  std::string const name = freshName("Shared");
  char const* const typeName = name.c_str();
  Kiv::AllocTrackTypeInfo* inPlugin = nullptr;
  Kiv::AllocTrackTypeInfo* inPlatform = nullptr;
  Kiv::AllocTrackTypeInfo::_trackAllocation(&inPlugin, typeName, 8);
  Kiv::AllocTrackTypeInfo::_trackAllocation(&inPlatform, typeName, 8);
  EXPECT_EQ(inPlugin, inPlatform);
  EXPECT_EQ(inPlugin->live(), 2);
  inPlatform->trackDeallocation(8, 2);
  EXPECT_EQ(inPlugin->live(), 0);
}

TEST(KivAllocTrack, ReleaseWithoutAllocationShowsAsNegativeAndAlive) {
  std::string const name = freshName("Stray");
  auto& tracker = Kiv::AllocTrackTypeInfo::tracker(name);
  tracker.trackDeallocation(16);
  EXPECT_EQ(tracker.live(), -1);
  EXPECT_TRUE(isAlive(name));
  tracker.trackAllocation(16);
  EXPECT_FALSE(isAlive(name));
}

struct Node16 {
  char bytes[16];
};

TEST(PelixMemTrack, AllocAndFreeRecordUnderThePerTypeTracker) {
  std::string const name = freshName("Node16");
  char const* const typeName = name.c_str();
  Pelix::Allocator<Node16>::tracker_ = nullptr;
  Pelix::MemTrack::Impl::alloc(&Pelix::Allocator<Node16>::tracker_, typeName, sizeof(Node16), 3);
  auto const* tracker = Kiv::AllocTrackTypeInfo::find(typeName);
  ASSERT_NE(tracker, nullptr);
  EXPECT_EQ(Pelix::Allocator<Node16>::tracker_, tracker);
  EXPECT_EQ(tracker->live(), 3);
  EXPECT_EQ(tracker->liveBytes(), 48);

  // Released by code that never allocated: it finds the tracker by name.
  Pelix::MemTrack::TypeInfo* other = nullptr;
  Pelix::MemTrack::Impl::free(&other, typeName, sizeof(Node16), 3);
  EXPECT_EQ(other, tracker);
  EXPECT_EQ(tracker->live(), 0);
  EXPECT_EQ(tracker->liveBytes(), 0);
}

}  // namespace
