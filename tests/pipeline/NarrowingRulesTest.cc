// The named rules by which a software value becomes a hardware field (translate/FieldRules.h):
// what each keeps, which narrowings do not compile at all, and the statistics object rule. Where
// checked and bounded refuse, with their exact texts, is the conformance matrix's at every
// field's limit (tests/golden/conformance.txt, from every source type).

#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

#include "chip26_a0/EedbHwMdb.h"
#include "translate/FieldRules.h"

namespace {

using namespace eedb::rules;
using chip26_a0::EedbHwMdb;
using Vxlan = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry;  // sourceIdx: 8 bits
using Sflow = EedbHwMdb::EedbSflowEtpsSflowFirstPass150Entry;        // samplingRate: 32 bits

// A raw field setter takes its exact type only; copy() widens, cut() narrows by name.
template <class Entry, class Value>
concept SetsSourceIdx = requires(Entry& e, Value v) {
  e.sourceIdxIs(v);
};
static_assert(SetsSourceIdx<Vxlan, std::uint8_t>);
static_assert(!SetsSourceIdx<Vxlan, std::uint32_t>);
static_assert(!SetsSourceIdx<Vxlan, std::uint16_t>);
static_assert(!SetsSourceIdx<Vxlan, int>);
template <class Entry, class Value>
concept SetsSamplingRate = requires(Entry& e, Value v) {
  e.headerSampleSamplingRateIs(v);
};
static_assert(!SetsSamplingRate<Sflow, std::uint64_t>);
static_assert(SetsSamplingRate<Sflow, decltype(copy(std::uint16_t{}))>);

// copy() converts only into a field that holds every value of its source.
static_assert(std::is_convertible_v<decltype(copy(U4())), U20>);
static_assert(std::is_convertible_v<decltype(copy(U4())), U4>);
static_assert(!std::is_convertible_v<decltype(copy(U20())), U4>);
static_assert(!std::is_convertible_v<decltype(copy(std::uint32_t{})), std::uint8_t>);
static_assert(!std::is_convertible_v<decltype(copy(std::uint8_t{})), U7>);

// fixed<> refuses a constant that does not fit when compiled.
template <class Field, std::uint64_t kValue>
concept Fixes = requires {
  fixed<Field, kValue>;
};
static_assert(Fixes<U2, 3> && !Fixes<U2, 4>);

TEST(NarrowingRules, CutKeepsTheLowBitsOfTheFieldItMeets) {
  EXPECT_EQ(cut<U15>(std::uint16_t{0xFFFF}).value(), 0x7FFFu);
  EXPECT_EQ(cut<U20>(std::uint32_t{0x123456}).value(), 0x23456u);
  EXPECT_EQ(cut<U2>(U4(0xE)).value(), 2u);
  EXPECT_EQ(cut<std::uint8_t>(std::uint64_t{0} - 1), 0xFF);
  // Without a width, the field's own: 17 bits in one format, 15 in another.
  U17 const wide = cut(std::uint32_t{0xFFFFFFFF});
  U15 const narrow = cut(std::uint32_t{0xFFFFFFFF});
  EXPECT_EQ(wide.value(), 0x1FFFFu);
  EXPECT_EQ(narrow.value(), 0x7FFFu);
}

TEST(NarrowingRules, FlagAndFixedWriteTheirBits) {
  EXPECT_EQ(flag(true).value(), 1u);
  EXPECT_EQ(flag(false).value(), 0u);
  Vxlan e(EedbHwMdb::EntryKey(1));
  e.handleInitialized();
  e.esemCommandIs(fixed<U3, 1>);
  e.sourceIdxIs(copy(std::uint8_t{0xAB}));
  e.nextOutlifPointerIs(copy(U4(9)));
  EXPECT_EQ(e.esemCommand().value(), 1u);
  EXPECT_EQ(e.sourceIdx(), 0xAB);
  EXPECT_EQ(e.nextOutlifPointer().value(), 9u);
}

// The statistics object id: below the field's all-ones value it selects statistics (command 3);
// the all-ones value and anything wider mean "no statistics" (command 0, id 0).
template <class Format>
std::pair<std::uint64_t, std::uint64_t> statObject(std::uint32_t id) {
  Format e(EedbHwMdb::EntryKey(1));
  e.handleInitialized();
  eedb::applyStatObject(e, id);
  return {e.statObjectCmd().value(), e.statObjectId().value()};
}

TEST(NarrowingRules, StatObjectIdBelowTheAllOnesValueSelectsStatistics) {
  using R = std::pair<std::uint64_t, std::uint64_t>;
  constexpr auto mpls1 = statObject<EedbHwMdb::EedbMplsTunnelEtpsMpls1Stat150Entry>;  // 17 bits
  constexpr auto arpAc = statObject<EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry>;  // 15 bits
  struct {
    R (*apply)(std::uint32_t);
    std::uint32_t id;
    R written;
  } const cases[] = {
      {mpls1, 0, {3, 0}},           {mpls1, 0x1FFFF, {0, 0}}, {mpls1, 0xFFFFFFFF, {0, 0}},
      {arpAc, 0x7FFE, {3, 0x7FFE}}, {arpAc, 0x7FFF, {0, 0}},
  };
  for (auto const& c : cases) EXPECT_EQ(c.apply(c.id), c.written) << c.id;
}

}  // namespace
