// Translation's building blocks: checked casts into bounded hardware fields (the largest value
// passes, one more fails with the exact text the agent sees) and the statistics object rule. View
// dispatch and address conversion show in the example streams' goldens (tests/golden/*.json).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "chip26_a0/EedbHwMdb.h"
#include "pipeline/CheckedCast.h"
#include "translate/FieldRules.h"

namespace {

using chip26_a0::EedbHwMdb;

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

template <std::size_t... I>
void checkEveryWidth(std::index_sequence<I...>) {
  auto const one = []<unsigned N>() {
    constexpr auto kMax = static_cast<std::uint32_t>(Bounded<N>::kMax);
    EXPECT_EQ(castOf<Bounded<N>>(std::uint32_t{0}), "") << N;
    EXPECT_EQ(castOf<Bounded<N>>(kMax), "") << N;
    EXPECT_EQ(
        castOf<Bounded<N>>(kMax + 1),
        fmt::format("Casting values: cast from unsigned int{{ {} }} to U{} (max = {}) failed.",
                    kMax + 1, N, kMax));
  };
  (one.template operator()<static_cast<unsigned>(I + 1)>(), ...);
}

// The source types the tables cast from appear in the conformance matrix of the plug-in tests;
// here every width from U1 to U20 and the largest source value.
TEST(CheckedCast, EveryWidthPassesItsMaxAndFailsOneMore) {
  checkEveryWidth(std::make_index_sequence<20>{});
  EXPECT_EQ(castOf<U20>(std::uint32_t{0xFFFFFFFF}),
            "Casting values: cast from unsigned int{ 4294967295 } to U20 (max = 1048575) failed.");
}

// The statistics object id as a number, whatever the setter's type.
std::uint64_t idValue(std::uint16_t v) {
  return v;
}
template <unsigned N>
std::uint64_t idValue(Bounded<N> v) {
  return v.value();
}

template <class Format>
std::pair<std::uint64_t, std::uint64_t> stat(std::uint32_t id) {
  Format e(EedbHwMdb::EntryKey(1));
  e.handleInitialized();
  eedb::applyStatObject(e, id);
  return {e.statObjectCmd().value(), idValue(e.statObjectId())};
}

// The field's all-ones value and anything wider mean "no statistics" (command 0, id 0).
TEST(StatObjectRule, IdBelowTheAllOnesValueSelectsStatistics) {
  using R = std::pair<std::uint64_t, std::uint64_t>;
  using Mpls1Stat = EedbHwMdb::EedbMplsTunnelEtpsMpls1Stat150Entry;    // 17-bit id
  using Ipv4Udp = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry;  // 16-bit id, plain setter
  using ArpAc1Tag = EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry;    // 15-bit id
  EXPECT_EQ(stat<Mpls1Stat>(0), R(3, 0));
  EXPECT_EQ(stat<Mpls1Stat>(0x1FFFE), R(3, 0x1FFFE));
  EXPECT_EQ(stat<Mpls1Stat>(0x1FFFF), R(0, 0));
  EXPECT_EQ(stat<Mpls1Stat>(0xFFFFFFFF), R(0, 0));
  EXPECT_EQ(stat<Ipv4Udp>(0xFFFE), R(3, 0xFFFE));
  EXPECT_EQ(stat<Ipv4Udp>(0xFFFF), R(0, 0));
  EXPECT_EQ(stat<Ipv4Udp>(0xFFFFFFFF), R(0, 0));
  EXPECT_EQ(stat<ArpAc1Tag>(0x7FFE), R(3, 0x7FFE));
  EXPECT_EQ(stat<ArpAc1Tag>(0x7FFF), R(0, 0));
}

}  // namespace
