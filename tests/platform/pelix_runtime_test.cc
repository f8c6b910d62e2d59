// Duration, the slab allocator and the fatal assertion report.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <set>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pelix/Assert.h"
#include "pelix/Duration.h"
#include "pelix/Slab.h"

namespace {

using Pelix::Duration;

TEST(PelixDuration, UnitsAndText) {
  static_assert(Duration::seconds(1) - Duration::milliseconds(1) == Duration(999'000'000));
  static_assert(Duration::microseconds(3) == Duration::nanoseconds(3000));
  EXPECT_DOUBLE_EQ(Duration::milliseconds(1500).toSeconds(), 1.5);
  EXPECT_EQ(Duration(std::chrono::microseconds(7)).ns(), 7000);
  EXPECT_EQ(fmt::format("{}", Duration(-1500)), "-1500ns");
}

// Counts before and after, since other tests of this binary may hold slab blocks.
TEST(PelixSlab, BlocksComeBackAndCountsReturnToTheStart) {
  Pelix::SlabCounts const before = Pelix::slabCounts();
  void* a = Pelix::slabAlloc(40);
  void* b = Pelix::slabAlloc(40);
  EXPECT_NE(a, b);
  EXPECT_EQ(Pelix::slabCounts().liveBlocks, before.liveBlocks + 2);
  Pelix::slabFree(a, 40);
  // The freed block is the next one handed out in its class.
  void* c = Pelix::slabAlloc(33);
  EXPECT_EQ(c, a);
  Pelix::slabFree(b, 40);
  Pelix::slabFree(c, 33);
  EXPECT_EQ(Pelix::slabCounts().liveBlocks, before.liveBlocks);
}

TEST(PelixSlab, SizesShareAClassUpToTheGranule) {
  // 0, 1 and 16 are served by the 16-byte class, 17 and 32 by the 32-byte class.
  std::size_t const live16 = Pelix::slabLiveBlocks(16);
  std::size_t const live32 = Pelix::slabLiveBlocks(32);
  void* p0 = Pelix::slabAlloc(0);
  void* p1 = Pelix::slabAlloc(1);
  void* p16 = Pelix::slabAlloc(16);
  void* p17 = Pelix::slabAlloc(17);
  EXPECT_EQ(Pelix::slabLiveBlocks(1), live16 + 3);
  EXPECT_EQ(Pelix::slabLiveBlocks(32), live32 + 1);
  Pelix::slabFree(p0, 0);
  Pelix::slabFree(p1, 1);
  Pelix::slabFree(p16, 16);
  Pelix::slabFree(p17, 17);
  EXPECT_EQ(Pelix::slabLiveBlocks(16), live16);
  EXPECT_EQ(Pelix::slabLiveBlocks(32), live32);
}

TEST(PelixSlab, ManyBlocksAcrossChunksAreAlignedAndDisjoint) {
  // More blocks of each size than one chunk holds; each is filled with its own index and
  // checked after all are written, which shows any two that overlap.
  for (std::size_t size :
       {std::size_t{8}, std::size_t{24}, std::size_t{200}, Pelix::kSlabMaxSize}) {
    SCOPED_TRACE(size);
    std::size_t const perChunk = std::max<std::size_t>(16 * 1024 / size, 8);
    std::vector<unsigned char*> blocks;
    for (std::size_t i = 0; i < 2 * perChunk + 1; ++i) {
      auto* p = static_cast<unsigned char*>(Pelix::slabAlloc(size));
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t), 0u);
      for (std::size_t w = 0; w < size; w += sizeof i) std::memcpy(p + w, &i, sizeof i);
      blocks.push_back(p);
    }
    EXPECT_EQ(std::set<unsigned char*>(blocks.begin(), blocks.end()).size(), blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      for (std::size_t w = 0; w < size; w += sizeof i) {
        std::size_t stored;
        std::memcpy(&stored, blocks[i] + w, sizeof stored);
        ASSERT_EQ(stored, i);
      }
    }
    for (auto* p : blocks) Pelix::slabFree(p, size);
  }
}

TEST(PelixSlab, LargeSizes) {
  EXPECT_THROW(Pelix::slabAlloc(Pelix::kSlabMaxSize + 1), std::bad_alloc);

  Pelix::SlabCounts const before = Pelix::slabCounts();
  void* big = Pelix::slabAllocOrStdMalloc(Pelix::kSlabMaxSize + 1);
  void* small = Pelix::slabAllocOrStdMalloc(Pelix::kSlabMaxSize);
  EXPECT_EQ(Pelix::slabCounts().liveMallocBlocks, before.liveMallocBlocks + 1);
  EXPECT_EQ(Pelix::slabCounts().liveBlocks, before.liveBlocks + 1);
  EXPECT_EQ(Pelix::slabLiveBlocks(Pelix::kSlabMaxSize + 1), 0u);
  Pelix::slabFree(big, Pelix::kSlabMaxSize + 1);
  Pelix::slabFree(small, Pelix::kSlabMaxSize);
  Pelix::slabFree(nullptr, 64);
  EXPECT_EQ(Pelix::slabCounts().liveMallocBlocks, before.liveMallocBlocks);
  EXPECT_EQ(Pelix::slabCounts().liveBlocks, before.liveBlocks);
}

TEST(PelixFmassertDeathTest, ReportsAndAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      Pelix::fmassert("EedbSrv6TunnelUtil.cc", "translateToHwFormat_", 120, "view 7 not handled"),
      "%ASSERT: EedbSrv6TunnelUtil\\.cc:120 translateToHwFormat_: view 7 not handled");
}

}  // namespace
