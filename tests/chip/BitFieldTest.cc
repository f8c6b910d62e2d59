// The one bit routine under every hardware field: runs of bits at any offset, across words.
#include "chip26_a0/BitField.h"

#include <array>
#include <cstdint>

#include <gtest/gtest.h>

namespace chip26_a0::bits {
namespace {

using Words = std::array<std::uint32_t, 5>;

struct Case {
  unsigned offset;
  unsigned width;
};

// Offsets and widths that start, end and cross word boundaries, up to a 128-bit run.
constexpr Case kCases[] = {
    {0, 1},  {31, 1}, {32, 1},  {0, 32},  {0, 20},   {30, 4},   {28, 48}, {17, 48},  {0, 64},
    {1, 64}, {63, 2}, {96, 64}, {0, 128}, {20, 128}, {22, 128}, {159, 1}, {130, 20}, {140, 20},
};

Words ones(unsigned width) {
  Words w{};
  for (unsigned i = 0; i < width; ++i) w[i / 32] |= 1u << (i % 32);
  return w;
}

TEST(BitFieldTest, OnesLandExactlyOnTheirRunAndZerosAroundStay) {
  for (auto [offset, width] : kCases) {
    SCOPED_TRACE(::testing::Message() << "offset " << offset << " width " << width);
    Words dst{};
    deposit(dst, offset, width, ones(width));
    for (unsigned bit = 0; bit < 160; ++bit) {
      bool const inRun = bit >= offset && bit < offset + width;
      ASSERT_EQ(read(dst, bit, 1), inRun ? 1u : 0u) << "bit " << bit;
    }
    Words back{};
    extract(dst, offset, width, back);
    EXPECT_EQ(back, ones(width));
  }
}

TEST(BitFieldTest, ZerosClearOnlyTheirRunAmongOnes) {
  for (auto [offset, width] : kCases) {
    SCOPED_TRACE(::testing::Message() << "offset " << offset << " width " << width);
    Words dst = ones(160);
    deposit(dst, offset, width, Words{});
    for (unsigned bit = 0; bit < 160; ++bit) {
      bool const inRun = bit >= offset && bit < offset + width;
      ASSERT_EQ(read(dst, bit, 1), inRun ? 0u : 1u) << "bit " << bit;
    }
  }
}

TEST(BitFieldTest, SourceBitsAboveTheWidthAreIgnored) {
  Words dst{};
  deposit(dst, 4, 3, wordsOf(0xFF));  // only 0b111 may land
  EXPECT_EQ(dst[0], 0x70u);
  EXPECT_EQ(dst[1], 0u);
}

TEST(BitFieldTest, A48BitValueCrossingTwoWordBoundaries) {
  // 0x020000AABBCC at bit 28: its low nibble C ends word 0, the next 32 bits fill word 1, the
  // top 12 bits (0x020) start word 2.
  Words dst{};
  deposit(dst, 28, 48, wordsOf(0x020000AABBCCull));
  EXPECT_EQ(dst[0], 0xC0000000u);
  EXPECT_EQ(dst[1], 0x000AABBCu);
  EXPECT_EQ(dst[2], 0x00000020u);
  std::array<std::uint32_t, 2> back{};
  extract(dst, 28, 48, back);
  EXPECT_EQ(valueOf(back), 0x020000AABBCCull);
}

TEST(BitFieldTest, FirstSetFromFindsTheLowestBitAtOrAbove) {
  Words w{};
  EXPECT_EQ(firstSetFrom(w, 0), -1);
  w[4] = 1u << 22;  // bit 150
  EXPECT_EQ(firstSetFrom(w, 0), 150);
  EXPECT_EQ(firstSetFrom(w, 150), 150);
  EXPECT_EQ(firstSetFrom(w, 151), -1);
}

}  // namespace
}  // namespace chip26_a0::bits
