// The agent's value types as the table utilities rely on them: FAP ids and masks, FAP revisions,
// addresses and the bounded field types.
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

using namespace std::string_view_literals;
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

TEST(FapId, AcceptsUpToTheNullIdOnlyAndEachIsOneBitOfTheMask) {
  EXPECT_FALSE(FapId(127).isNull());
  EXPECT_EQ(FapId(128), FapId::null);
  // 256 and 384 would wrap onto 0 and 128 in a byte.
  for (std::uint32_t bad : {129u, 255u, 256u, 384u, 0xFFFFFFFFu}) {
    EXPECT_EQ(rangeText([bad] { FapId{bad}; }),
              "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null "
              "not allowed")
        << bad;
  }
  Fapmask all;
  EXPECT_TRUE(all.empty());
  for (unsigned id : {0u, 63u, 64u, 127u, 128u}) all.set(FapId(id));
  EXPECT_EQ(fmt::format("{}", all), "{0,63,64,127,128}");
  EXPECT_EQ(all & Fapmask::of(FapId(64)), Fapmask::of(FapId(64)));
  EXPECT_TRUE((all & Fapmask::of(FapId(65))).empty());
  all.clear(FapId(63));
  all.clear(FapId(62));
  EXPECT_EQ(fmt::format("{}", all), "{0,64,127,128}");
}

TEST(FapRevision, ParsesPrintsAndOrdersByChipTypeLetterDigit) {
  for (char const* text : {"26:A0", "25:B1", "0:A0", "255:P9"}) {
    auto const r = FapRevision::parse(text);
    ASSERT_TRUE(r) << text;
    EXPECT_EQ(fmt::format("{}", *r), text);
  }
  for (char const* bad : {"", "26:", "26:A", "26:A00", ":A0", "256:A0", "26:a0", "26:Q0", " 26:A0",
                          "-1:A0", "+26:A0"}) {
    EXPECT_EQ(FapRevision::parse(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(FapRevision::fapRevGen3A0(), FapRevision(ChipType{26}, 'A', 0));
  EXPECT_LT(*FapRevision::parse("25:B9"), *FapRevision::parse("26:A0"));  // chip type first
  EXPECT_LT(*FapRevision::parse("26:A9"), *FapRevision::parse("26:B0"));
}

// Good text prints back in its canonical form, octets in network order; bad text, text with an
// embedded NUL included, is refused.
TEST(Addresses, ParseGoodTextRefuseBad) {
  for (auto [text, printed] : {std::pair{"255.255.255.255", "255.255.255.255"},
                               {"::", "::"},
                               {"2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
                               {"::ffff:1.2.3.4", "::ffff:1.2.3.4"}}) {
    auto const a = IpGenAddr::parse(text);
    ASSERT_TRUE(a) << text;
    EXPECT_EQ(fmt::format("{}", *a), printed);
  }
  auto const v4 = *IpGenAddr::parse("1.2.3.4");
  EXPECT_TRUE(v4.isV4());
  EXPECT_EQ(v4.v4Addr(), (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  // An IPv4 address seen as IPv6 is its mapped form; an IPv6 address has no IPv4 form.
  EXPECT_EQ(IpGenAddr::v6(v4.v6Addr()), *IpGenAddr::parse("::ffff:1.2.3.4"));
  auto const v6 = *IpGenAddr::parse("2001:db8::1");
  EXPECT_EQ(v6.v6Addr(), (std::array<std::uint8_t, 16>{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0,
                                                       0, 0, 0, 0, 1}));
  EXPECT_EQ(v6.v4Addr(), (std::array<std::uint8_t, 4>{}));
  EXPECT_NE(IpGenAddr::parse("0.0.0.0"), IpGenAddr::parse("::"));
  EXPECT_EQ(EthAddr::parse("02:00:00:AA:bb:cc")->octets(),
            (std::array<std::uint8_t, 6>{0x02, 0, 0, 0xaa, 0xbb, 0xcc}));
  for (std::string_view bad :
       {""sv, "1.2.3"sv, "1.2.3.256"sv, "1.2.3.4.5"sv, "garbage"sv, "1.2.3.4 "sv, "2001:db8:::1"sv,
        "2001:db8::1::2"sv, "12345::1"sv, "1.2.3.4\0junk"sv, "2001:db8::1\0"sv,
        "1111:2222:3333:4444:5555:6666:7777:8888:9999:aaaa"sv}) {
    EXPECT_EQ(IpGenAddr::parse(bad), std::nullopt) << '"' << bad << '"';
  }
  for (std::string_view bad : {""sv, "02:00:00:aa:bb"sv, "02:00:00:aa:bb:cc:"sv,
                               "02-00-00-aa-bb-cc"sv, "02:00:00:aa:bb:cg"sv, "2:00:00:aa:bb:cc0"sv,
                               "02:00:00:aa:bb:c"sv, "02:00:00:aa:bb:cc\0"sv}) {
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
  expectBounded<U20>(0xfffff, "U20::value < 0 or > 0x000fffff not allowed");
}

}  // namespace
