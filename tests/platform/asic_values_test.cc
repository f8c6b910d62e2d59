// The agent's value types as the table utilities rely on them: unit ids, software table ids,
// FAP ids and masks, FAP revisions, addresses and the bounded field types.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "asic/Types.h"
#include "hardware/FapRevision.h"
#include "hardware/FieldTypes.h"
#include "pelix/RangeException.h"
#include "plexo/Addresses.h"
#include "schan_accel/FapId.h"

namespace {

using Hardware::ChipType;
using Hardware::Zuri::FapRevision;
using Plexo::EthAddr;
using Plexo::IpGenAddr;
using SchanAccel::FapId;
using SchanAccel::Fapmask;

template <class Fn>
std::string rangeText(Fn&& fn) {
  try {
    fn();
  } catch (Pelix::RangeException const& e) {
    return e.what();
  }
  return "<nothing raised>";
}

constexpr char kFapIdRange[] =
    "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null not allowed";

TEST(UnitId, SplitsIntoFapAndInstance) {
  struct Case {
    std::uint16_t value;
    unsigned fap, instance;
    char const* text;
  } const cases[] = {
      {0x0000, 0, 0, "0x0000"},
      {0x0102, 1, 2, "0x0102"},
      {0x80FF, 128, 255, "0x80ff"},
      {0xFFFF, 255, 255, "0xffff"},
  };
  for (auto const& c : cases) {
    Asic::UnitId const u(c.value);
    EXPECT_EQ(u.fapIdRaw(), c.fap) << c.text;
    EXPECT_EQ(u.instanceId(), c.instance) << c.text;
    EXPECT_EQ(Asic::UnitId::of(u.fapIdRaw(), u.instanceId()), u) << c.text;
    EXPECT_EQ(fmt::format("{}", u), c.text);
  }
}

TEST(SwTableId, PrintsAgentGroupAndTable) {
  EXPECT_EQ(fmt::format("{}", Asic::SwTableId(0x03010C07)), "03:01:0c07");
  EXPECT_EQ(fmt::format("{}", Asic::SwTableId(0x03011001)), "03:01:1001");
  EXPECT_EQ(fmt::format("{}", Asic::SwTableId(0x01020003)), "01:02:0003");
  EXPECT_EQ(fmt::format("{}", Asic::SwTableId(0xFFFFFFFF)), "ff:ff:ffff");
  EXPECT_EQ(Asic::SwTableId(0x03010C07).value(), 50400263u);
}

TEST(FapId, AcceptsUpToTheNullIdOnly) {
  EXPECT_EQ(FapId(0).value(), 0);
  EXPECT_FALSE(FapId(127).isNull());
  EXPECT_TRUE(FapId(128).isNull());
  EXPECT_EQ(FapId(128), FapId::null);
  // 256 and 384 would wrap onto 0 and 128 in a byte.
  for (std::uint32_t bad : {129u, 255u, 256u, 384u, 0xFFFFFFFFu}) {
    EXPECT_EQ(rangeText([bad] { FapId{bad}; }), kFapIdRange) << bad;
  }
}

TEST(Fapmask, EachFapIsOneBitOfItsWord) {
  for (unsigned id : {0u, 63u, 64u, 127u, 128u}) {
    Fapmask const m = Fapmask::of(FapId(id));
    for (unsigned w = 0; w < 4; ++w) {
      std::uint64_t const expected = w == id / 64 ? std::uint64_t{1} << (id % 64) : 0;
      EXPECT_EQ(m.words()[w], expected) << "fap " << id << " word " << w;
    }
    EXPECT_TRUE(m.test(FapId(id)));
    EXPECT_FALSE(m.empty());
  }
}

TEST(Fapmask, IntersectsAndClears) {
  Fapmask m;
  EXPECT_TRUE(m.empty());
  for (unsigned id : {0u, 63u, 64u, 127u, 128u}) m.set(FapId(id));
  EXPECT_EQ(fmt::format("{}", m), "{0,63,64,127,128}");
  EXPECT_EQ(m.words()[3], 0u);  // bits 192 to 255 are never used
  EXPECT_EQ(m & Fapmask::of(FapId(64)), Fapmask::of(FapId(64)));
  EXPECT_TRUE((m & Fapmask::of(FapId(65))).empty());
  EXPECT_TRUE((m & Fapmask::of(FapId(1))).empty());
  m.clear(FapId(63));
  m.clear(FapId(62));
  EXPECT_EQ(fmt::format("{}", m), "{0,64,127,128}");
  EXPECT_EQ(fmt::format("{}", Fapmask()), "{}");
}

TEST(FapRevision, ParsesPrintsAndOrders) {
  for (char const* text : {"26:A0", "25:B1", "0:A0", "255:P9"}) {
    auto const r = FapRevision::parse(text);
    ASSERT_TRUE(r) << text;
    EXPECT_EQ(fmt::format("{}", *r), text);
  }
  for (char const* bad : {"", "26", "26:", "26:A", "26:A00", ":A0", "256:A0", "26:a0", "26:Q0",
                          "26:AA", "x6:A0", "26-A0", " 26:A0", "-1:A0", "+26:A0"}) {
    EXPECT_EQ(FapRevision::parse(bad), std::nullopt) << '"' << bad << '"';
  }
  EXPECT_EQ(FapRevision::fapRevGen3A0(), FapRevision::parse("26:A0"));
  EXPECT_EQ(FapRevision::fapRevGen3A0().chipType(), ChipType{26});

  // Chip type first, then letter, then digit.
  FapRevision const ascending[] = {*FapRevision::parse("25:B9"), *FapRevision::parse("26:A0"),
                                   *FapRevision::parse("26:A1"), *FapRevision::parse("26:B0"),
                                   *FapRevision::parse("27:A0")};
  for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
    EXPECT_LT(ascending[i], ascending[i + 1]) << i;
    EXPECT_FALSE(ascending[i].isEq(ascending[i + 1])) << i;
  }
  EXPECT_TRUE(ascending[1].isEq(FapRevision(ChipType{26}, 'A', 0)));
}

TEST(IpGenAddr, ParsesGoodText) {
  auto v4 = IpGenAddr::parse("1.2.3.4");
  ASSERT_TRUE(v4);
  EXPECT_TRUE(v4->isV4());
  EXPECT_EQ(v4->v4Addr(), (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(fmt::format("{}", *v4), "1.2.3.4");
  // An IPv4 address seen as IPv6 is its mapped form.
  EXPECT_EQ(fmt::format("{}", IpGenAddr::v6(v4->v6Addr())), "::ffff:1.2.3.4");

  auto any = IpGenAddr::parse("::");
  ASSERT_TRUE(any);
  EXPECT_TRUE(any->isV6());
  EXPECT_EQ(any->v6Addr(), (std::array<std::uint8_t, 16>{}));
  EXPECT_EQ(fmt::format("{}", *any), "::");

  auto v6 = IpGenAddr::parse("2001:db8::1");
  ASSERT_TRUE(v6);
  EXPECT_TRUE(v6->isV6());
  EXPECT_EQ(v6->v6Addr(), (std::array<std::uint8_t, 16>{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0,
                                                        0, 0, 0, 0, 1}));
  EXPECT_EQ(fmt::format("{}", *v6), "2001:db8::1");
  // An IPv6 address has no IPv4 form, not even its last or first four octets.
  EXPECT_EQ(v6->v4Addr(), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));

  EXPECT_EQ(fmt::format("{}", *IpGenAddr::parse("255.255.255.255")), "255.255.255.255");
  EXPECT_NE(IpGenAddr::parse("0.0.0.0"), IpGenAddr::parse("::"));
}

TEST(IpGenAddr, RefusesBadText) {
  using namespace std::string_view_literals;
  for (std::string_view bad :
       {""sv, "1.2.3"sv, "1.2.3.256"sv, "1.2.3.4.5"sv, "garbage"sv, "1.2.3.4 "sv, "2001:db8:::1"sv,
        "2001:db8::1::2"sv, "12345::1"sv, "1.2.3.4\0junk"sv,
        "1111:2222:3333:4444:5555:6666:7777:8888:9999:aaaa"sv}) {
    EXPECT_EQ(IpGenAddr::parse(bad), std::nullopt) << '"' << bad << '"';
  }
}

TEST(EthAddr, ParsesAndPrints) {
  auto mac = EthAddr::parse("02:00:00:aa:bb:cc");
  ASSERT_TRUE(mac);
  EXPECT_EQ(mac->octets(), (std::array<std::uint8_t, 6>{0x02, 0, 0, 0xaa, 0xbb, 0xcc}));
  EXPECT_EQ(fmt::format("{}", *mac), "02:00:00:aa:bb:cc");
  EXPECT_EQ(EthAddr::parse("02:00:00:AA:BB:CC"), mac);
  for (char const* bad : {"", "02:00:00:aa:bb", "02:00:00:aa:bb:cc:", "02-00-00-aa-bb-cc",
                          "02:00:00:aa:bb:cg", "2:00:00:aa:bb:cc0", "02:00:00:aa:bb:c"}) {
    EXPECT_EQ(EthAddr::parse(bad), std::nullopt) << '"' << bad << '"';
  }
}

// The largest value fits; the next one, and values that would wrap to small ones, raise the
// type's range failure.
template <class U>
void expectBounded(std::uint64_t max, char const* message) {
  EXPECT_EQ(U(max).value(), max);
  for (std::uint64_t bad :
       {max + 1, (max + 1) * 2, (max + 1) * 2 + 1, ~std::uint64_t{0}, std::uint64_t{1} << 32}) {
    EXPECT_EQ(rangeText([bad] { U{bad}; }), message) << bad;
  }
}

TEST(BoundedTypes, NoneWraps) {
  expectBounded<U1>(0x1, "U1::value < 0 or > 0x01 not allowed");
  expectBounded<U3>(0x7, "U3::value < 0 or > 0x07 not allowed");
  expectBounded<U5>(0x1f, "U5::value < 0 or > 0x1f not allowed");
  expectBounded<U6>(0x3f, "U6::value < 0 or > 0x3f not allowed");
  expectBounded<U20>(0xfffff, "U20::value < 0 or > 0x000fffff not allowed");
}

}  // namespace
