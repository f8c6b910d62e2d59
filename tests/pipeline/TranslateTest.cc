// The shared pieces of translation: view maps, the statistics object rule, the low-bits copy
// and the conversion of addresses into hardware numbers.

#include <cstdint>
#include <string_view>

#include <gtest/gtest.h>

#include "chip26_a0/EedbHwMdb.h"
#include "plexo/Addresses.h"
#include "translate/FieldRules.h"
#include "translate/ViewMap.h"

namespace {

using chip26_a0::EedbHwMdb;
using Mpls1Stat = EedbHwMdb::EedbMplsTunnelEtpsMpls1Stat150Entry;    // 17-bit statObjectId
using Ipv4Udp = EedbHwMdb::EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry;  // 16-bit statObjectId
using ArpAc1Tag = EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry;    // 15-bit statObjectId

TEST(ViewMap, DispatchesEachViewToItsFormatAndOthersToNone) {
  using Views = eedb::ViewMap<eedb::View<1, Mpls1Stat>, eedb::View<4, Ipv4Udp>>;
  struct Case {
    unsigned viewType;
    std::string_view format;
  };
  Case const cases[] = {{1, "EedbMplsTunnelEtpsMpls1Stat150Entry"},
                        {4, "EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry"},
                        {0, "none"},
                        {2, "none"},
                        {5, "none"},
                        {255, "none"}};
  for (auto const& c : cases) {
    EXPECT_EQ(Views::contains(c.viewType), c.format != "none") << c.viewType;
    auto const got = Views::dispatch(
        c.viewType, []<class F>(std::type_identity<F>) { return F::kSpec.name; },
        [] { return std::string_view("none"); });
    EXPECT_EQ(got, c.format) << c.viewType;
  }
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

TEST(StatObjectRule, IdBelowTheAllOnesValueSelectsStatistics) {
  using R = std::pair<std::uint64_t, std::uint64_t>;
  // 17 bits: 0x1FFFF is the field's all-ones value and means none.
  EXPECT_EQ(stat<Mpls1Stat>(0), R(3, 0));
  EXPECT_EQ(stat<Mpls1Stat>(0x1FFFE), R(3, 0x1FFFE));
  EXPECT_EQ(stat<Mpls1Stat>(0x1FFFF), R(0, 0));
  EXPECT_EQ(stat<Mpls1Stat>(0xFFFFFFFF), R(0, 0));
  // 16 bits (a plain 16-bit setter).
  EXPECT_EQ(stat<Ipv4Udp>(0xFFFE), R(3, 0xFFFE));
  EXPECT_EQ(stat<Ipv4Udp>(0xFFFF), R(0, 0));
  EXPECT_EQ(stat<Ipv4Udp>(0xFFFFFFFF), R(0, 0));
  // 15 bits.
  EXPECT_EQ(stat<ArpAc1Tag>(0x7FFE), R(3, 0x7FFE));
  EXPECT_EQ(stat<ArpAc1Tag>(0x7FFF), R(0, 0));
}

TEST(FieldRules, LowBitsCopiesWithoutCheck) {
  EXPECT_EQ(eedb::lowBits<U15>(0xFFFF), U15(0x7FFF));
  EXPECT_EQ(eedb::lowBits<U20>(0x123456), U20(0x23456));
  EXPECT_EQ(eedb::lowBits<U1>(2), U1(0));
}

TEST(FieldRules, AddressesFirstOctetMostSignificant) {
  EXPECT_EQ(eedb::ipv4Number(*Plexo::IpGenAddr::parse("10.1.2.3")), 0x0A010203u);
  EXPECT_EQ(eedb::ipv4Number(*Plexo::IpGenAddr::parse("255.0.0.1")), 0xFF000001u);

  auto const v6 = eedb::bitmapOf128(Plexo::IpGenAddr::parse("2001:db8::1:2")->v6Addr());
  EXPECT_EQ(v6.bitList(3), 0x20010db8u);
  EXPECT_EQ(v6.bitList(2), 0u);
  EXPECT_EQ(v6.bitList(1), 0u);
  EXPECT_EQ(v6.bitList(0), 0x00010002u);

  EXPECT_EQ(eedb::macNumber(*Plexo::EthAddr::parse("02:00:00:aa:bb:cc")), U48(0x020000AABBCCull));
  EXPECT_EQ(eedb::macNumber(*Plexo::EthAddr::parse("ff:ff:ff:ff:ff:ff")), U48(0xFFFFFFFFFFFFull));
}

}  // namespace
