// The statistics object rule of translation. Checked casts at every field's limit are in the
// conformance matrix of the plug-in tests (tests/golden/conformance.txt); view dispatch and
// address conversion show in the example streams' goldens (tests/golden/*.json).

#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

#include "chip26_a0/EedbHwMdb.h"
#include "translate/FieldRules.h"

namespace {

using chip26_a0::EedbHwMdb;

template <class Format>
std::pair<std::uint64_t, std::uint64_t> stat(std::uint32_t id) {
  Format e(EedbHwMdb::EntryKey(1));
  e.handleInitialized();
  eedb::applyStatObject(e, id);
  return {e.statObjectCmd().value(), e.statObjectId().value()};
}

// The field's all-ones value and anything wider mean "no statistics" (command 0, id 0). The
// 16-bit and the 17-bit ids below their all-ones value show in the goldens (iptunnel, mplstunnel).
TEST(StatObjectRule, IdBelowTheAllOnesValueSelectsStatistics) {
  using R = std::pair<std::uint64_t, std::uint64_t>;
  using Mpls1Stat = EedbHwMdb::EedbMplsTunnelEtpsMpls1Stat150Entry;  // 17-bit id
  using ArpAc1Tag = EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry;  // 15-bit id
  EXPECT_EQ(stat<Mpls1Stat>(0), R(3, 0));
  EXPECT_EQ(stat<Mpls1Stat>(0x1FFFF), R(0, 0));
  EXPECT_EQ(stat<Mpls1Stat>(0xFFFFFFFF), R(0, 0));
  EXPECT_EQ(stat<ArpAc1Tag>(0x7FFE), R(3, 0x7FFE));
  EXPECT_EQ(stat<ArpAc1Tag>(0x7FFF), R(0, 0));
}

}  // namespace
