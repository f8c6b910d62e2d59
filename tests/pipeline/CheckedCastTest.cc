// Checked casts of software values into bounded hardware field types: the largest value of the
// field passes, one more fails with the exact text the agent sees.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "pipeline/CheckedCast.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace {

using Gen3EsemCmds::Item;

// The text of the cast's failure, or "" when the value fits (then the value must come through).
template <class Target, class From>
std::string castOf(From value) {
  try {
    auto const out = Asic::checkedCast<Target>(value);
    EXPECT_EQ(out.value(), static_cast<std::uint64_t>(value));
    return "";
  } catch (std::range_error const& e) {
    return e.what();
  }
}

TEST(CheckedCast, InstancesInUse) {
  struct Case {
    std::string atLimit;
    std::string aboveLimit;
    char const* text;
  };
  Case const cases[] = {
      {castOf<U1>(std::uint8_t{1}), castOf<U1>(std::uint8_t{2}),
       "Casting values: cast from unsigned char{ 2 } to U1 (max = 1) failed."},
      {castOf<U2>(std::uint8_t{3}), castOf<U2>(std::uint8_t{4}),
       "Casting values: cast from unsigned char{ 4 } to U2 (max = 3) failed."},
      {castOf<U3>(std::uint8_t{7}), castOf<U3>(std::uint8_t{8}),
       "Casting values: cast from unsigned char{ 8 } to U3 (max = 7) failed."},
      {castOf<U4>(std::uint8_t{15}), castOf<U4>(std::uint8_t{16}),
       "Casting values: cast from unsigned char{ 16 } to U4 (max = 15) failed."},
      {castOf<U5>(std::uint8_t{31}), castOf<U5>(std::uint8_t{32}),
       "Casting values: cast from unsigned char{ 32 } to U5 (max = 31) failed."},
      {castOf<U6>(std::uint8_t{63}), castOf<U6>(std::uint8_t{64}),
       "Casting values: cast from unsigned char{ 64 } to U6 (max = 63) failed."},
      {castOf<U6>(Item{63}), castOf<U6>(Item{64}),
       "Casting values: cast from Gen3EsemCmds::Item{ 64 } to U6 (max = 63) failed."},
      {castOf<U12>(std::uint16_t{4095}), castOf<U12>(std::uint16_t{4096}),
       "Casting values: cast from short unsigned int{ 4096 } to U12 (max = 4095) failed."},
      {castOf<U13>(std::uint16_t{8191}), castOf<U13>(std::uint16_t{8192}),
       "Casting values: cast from short unsigned int{ 8192 } to U13 (max = 8191) failed."},
      {castOf<U14>(std::uint16_t{16383}), castOf<U14>(std::uint16_t{16384}),
       "Casting values: cast from short unsigned int{ 16384 } to U14 (max = 16383) failed."},
      {castOf<U20>(std::uint32_t{1048575}), castOf<U20>(std::uint32_t{1048576}),
       "Casting values: cast from unsigned int{ 1048576 } to U20 (max = 1048575) failed."},
      {castOf<U20>(std::uint32_t{0}), castOf<U20>(std::uint32_t{0xFFFFFFFF}),
       "Casting values: cast from unsigned int{ 4294967295 } to U20 (max = 1048575) failed."},
      {castOf<U1>(std::uint8_t{0}), castOf<U1>(std::uint8_t{255}),
       "Casting values: cast from unsigned char{ 255 } to U1 (max = 1) failed."},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(c.atLimit, "") << c.text;
    EXPECT_EQ(c.aboveLimit, c.text);
  }
}

// Every width from U1 to U20, from a 32-bit value: the same rule at each limit.
template <std::size_t... I>
void checkEveryWidth(std::index_sequence<I...>) {
  auto const one = []<unsigned N>() {
    constexpr auto kMax = static_cast<std::uint32_t>(Bounded<N>::kMax);
    EXPECT_EQ(castOf<Bounded<N>>(kMax), "") << N;
    EXPECT_EQ(
        castOf<Bounded<N>>(kMax + 1),
        fmt::format("Casting values: cast from unsigned int{{ {} }} to U{} (max = {}) failed.",
                    kMax + 1, N, kMax));
  };
  (one.template operator()<static_cast<unsigned>(I + 1)>(), ...);
}

TEST(CheckedCast, EveryWidthFromUnsignedInt) {
  checkEveryWidth(std::make_index_sequence<20>{});
}

TEST(CheckedCast, RaiseNamesSourceValueTargetAndMax) {
  try {
    Asic::Detail::raise_cast_integral<U4, std::uint8_t>(20);
    ADD_FAILURE() << "no exception";
  } catch (std::range_error const& e) {
    EXPECT_STREQ(e.what(),
                 "Casting values: cast from unsigned char{ 20 } to U4 (max = 15) failed.");
  }
}

}  // namespace
