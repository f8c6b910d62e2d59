// The EEDB entry formats: the format table, every field of every format at its limits and
// through a SCHAN command and back, and the entries the shadow compares.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "chip/ChipTestSupport.h"
#include "chip26_a0/EedbHwMdb.h"
#include "pelix/RangeException.h"

namespace chip26_a0 {
namespace {

using layout::FormatSpec;
using Mdb = EedbHwMdb;

// Result types number the formats from 1 (the golden outputs show each format's name and size).
TEST(EedbFormatTest, TheTableNumbersEveryFormatAndFindsItByCodeAndName) {
  ASSERT_EQ(Mdb::formats().size(), 31u);
  for (std::size_t i = 0; i < Mdb::formats().size(); ++i) {
    auto const* f = Mdb::formats()[i];
    EXPECT_EQ(f->code, i + 1) << f->name;
    EXPECT_EQ(mdb::formatByCode(i + 1), f) << f->name;
    EXPECT_EQ(mdb::formatByName(f->name), f) << f->name;
    EXPECT_LE(f->usedBits(), f->sizeBits) << f->name;
  }
  EXPECT_EQ(mdb::formatByCode(0), nullptr);
  EXPECT_EQ(mdb::formatByCode(32), nullptr);
  EXPECT_EQ(mdb::formatByName("EedbRifBasicEtpsEthRif60"), nullptr);
  // The widest formats fill their entry exactly.
  EXPECT_EQ(Mdb::EedbSrv6DataSidEtpsDataSid150Entry::kSpec.usedBits(), 150u);
  EXPECT_EQ(Mdb::EedbIpv6DataDipEtpsDataIpv6Dip150Entry::kSpec.usedBits(), 150u);
}

class EveryFormat : public ::testing::TestWithParam<FormatSpec const*> {};

// Each field holds all ones among zeros and zero among all ones, touching neither its neighbours
// nor the bits beyond the fields; a stamped entry holds the defaults.
TEST_P(EveryFormat, EachFieldHoldsItsLimitsWithoutTouchingItsNeighbours) {
  FormatSpec const& format = *GetParam();
  auto const stamped = test::stamped(format);
  EXPECT_EQ(stamped.format(), &format);
  EXPECT_EQ(stamped.entrySizeBits(), format.sizeBits);
  EXPECT_EQ(stamped.key().value(), 0x1234u);
  for (auto const& f : format.fields) EXPECT_EQ(stamped.fieldValue(f).value(), f.defaultValue);
  for (auto const& target : format.fields) {
    SCOPED_TRACE(std::string(target.name));
    for (bool ones : {true, false}) {
      auto e = stamped;
      for (auto const& f : format.fields) test::fill(e, f, !ones);
      test::fill(e, target, ones);
      for (auto const& f : format.fields) {
        layout::FieldValue::Words want{};
        for (unsigned i = 0; (&f == &target) == ones && i < f.width; ++i)
          want[i / 32] |= 1u << i % 32;
        EXPECT_EQ(e.fieldValue(f), layout::FieldValue(f.width, want))
            << f.name << (ones ? " in zeros" : " in ones");
      }
      EXPECT_TRUE(!ones || bits::firstSetFrom(e.bits(), format.usedBits()) == -1) << "bits beyond";
    }
  }
}

// One more than the field holds is refused with the bounded type's message; nothing changes.
TEST_P(EveryFormat, AValueWiderThanTheFieldIsRefusedWithTheBoundedMessage) {
  for (auto const& f : GetParam()->fields) {
    if (f.wide() || f.width == 64) continue;
    SCOPED_TRACE(std::string(f.name));
    auto e = test::stamped(*GetParam());
    auto const before = e;
    std::uint64_t const max = (1ull << f.width) - 1;
    try {
      e.fieldIs(f, max + 1);
      ADD_FAILURE() << "accepted " << max + 1;
    } catch (Pelix::RangeException const& ex) {
      int const digits = f.width <= 8 ? 2 : f.width <= 16 ? 4 : f.width <= 32 ? 8 : 16;
      EXPECT_EQ(std::string(ex.what()),
                fmt::format("U{}::value < 0 or > 0x{:0{}x} not allowed", f.width, max, digits));
    }
    EXPECT_EQ(e, before);
  }
}

// decode(encode(e)) == e for every format with each field at another extreme (all ones, only its
// top bit, only bit 0). Arbitrary commands are the decode_command fuzz target's.
TEST_P(EveryFormat, DecodingTheEncodingGivesTheEntryBack) {
  auto const& format = *GetParam();
  auto e = test::stamped(format, 0xFFFFFFFFu);
  for (std::size_t i = 0; i < format.fields.size(); ++i) {
    auto const& f = format.fields[i];
    if (i % 3 == 0) {
      test::fill(e, f, true);
    } else if (f.wide()) {
      PerUnitBitmap b;  // the top bit of a 128-bit field, or bit 0
      b.bitListIs(i % 3 == 1 ? 3 : 0, i % 3 == 1 ? 0x80000000u : 1u);
      e.fieldIs(f, b);
    } else {
      e.fieldIs(f, i % 3 == 1 ? 1ull << (f.width - 1) : 1);
    }
  }
  auto const cmd = Mdb::encode(test::unit(128, 255), e);
  EXPECT_EQ(cmd.resultType, format.code);
  EXPECT_EQ(cmd.sizeBits, format.sizeBits);
  EXPECT_EQ(Mdb::decode(cmd), e);
}

INSTANTIATE_TEST_SUITE_P(All, EveryFormat,
                         ::testing::ValuesIn(Mdb::formats().begin(), Mdb::formats().end()),
                         [](auto const& info) { return std::string(info.param->name); });

// The typed accessors copy bits with places fixed at compile time; at every field place of every
// format (a 128-bit field as its four words) they agree with the run-time routine, for all ones
// among zeros, zero among ones and an irregular pattern.
template <unsigned Offset, unsigned Width>
void expectSameCopies() {
  // (value, what the other bits hold)
  constexpr std::pair<std::uint64_t, std::uint32_t> kCases[] = {
      {~0ull, 0}, {0, ~0u}, {0x9E3779B97F4A7C15ull, 0}};
  for (auto const& [pattern, others] : kCases) {
    mdb::EntryBits fast, slow;
    fast.fill(others);
    slow.fill(others);
    std::uint64_t const v = pattern & bits::lowMask(Width);
    bits::depositAt<Offset, Width>(fast, v);
    bits::deposit(slow, Offset, Width, bits::wordsOf(v));
    EXPECT_EQ(fast, slow) << "bits " << Offset << " to " << Offset + Width - 1;
    EXPECT_EQ((bits::extractAt<Offset, Width>(fast)), v) << "bits " << Offset << "+" << Width;
  }
}

template <class Format, std::size_t... I>
void expectSameCopiesIn(std::index_sequence<I...>) {
  auto const one = []<std::size_t J>(std::integral_constant<std::size_t, J>) {
    constexpr auto const& f = Format::kFields[J];
    if constexpr (f.wide()) {
      expectSameCopies<f.offset, 32>(), expectSameCopies<f.offset + 32, 32>();
      expectSameCopies<f.offset + 64, 32>(), expectSameCopies<f.offset + 96, 32>();
    } else {
      expectSameCopies<f.offset, f.width>();
    }
  };
  (one(std::integral_constant<std::size_t, I>{}), ...);
}

template <class... Formats>
void expectSameCopiesInAll(mdb::formats::FormatList<Formats...>) {
  (expectSameCopiesIn<Formats>(std::make_index_sequence<Formats::kFields.size()>{}), ...);
}

TEST(EedbFormatEntryTest, FixedPlaceCopiesAgreeWithTheRunTimeRoutine) {
  expectSameCopiesInAll(mdb::formats::AllFormats{});
}

// The shadow compares key, format and bits; a typed entry converts to a plain one and back only
// for its own format; untyped access is limited to the entry's own fields.
TEST(EedbFormatEntryTest, EqualityConversionAndUntypedAccess) {
  auto const a = test::stamped(Mdb::EedbMplsTunnelEtpsMpls190Entry::kSpec, 1);
  auto const sameBitsOtherFormat = test::stamped(Mdb::EedbMplsTunnelEtpsMplsSwap90Entry::kSpec, 1);
  EXPECT_FALSE(a.isEq(sameBitsOtherFormat));
  auto otherLabel = *Mdb::EedbMplsTunnelEtpsMpls190Entry::fromEntry(a);
  otherLabel.mplsLabelIs(U20(1));
  EXPECT_FALSE(a.isEq(otherLabel));
  EXPECT_FALSE(a.isEq(Mdb::Entry(Mdb::EntryKey(1))));  // stamped is not key-only
  EXPECT_FALSE(Mdb::Entry(Mdb::EntryKey(1)).isEq(Mdb::Entry(Mdb::EntryKey())));
  EXPECT_TRUE(Mdb::Entry(Mdb::EntryKey()).isEq(Mdb::Entry()));
  EXPECT_FALSE(Mdb::EedbMplsTunnelEtpsMplsSwap90Entry::fromEntry(a).has_value());
  EXPECT_FALSE(Mdb::EedbStatEtpsOnlyStat90Entry::fromEntry(Mdb::Entry()).has_value());
  Mdb::EedbRifBasicEtpsEthRif60Entry rif{Mdb::EntryKey(1)};
  rif.handleInitialized();
  EXPECT_THROW(rif.fieldIs(Mdb::EedbStatEtpsOnlyStat90Entry::kSpec.fields[0], 1),
               std::invalid_argument);
  Mdb::Entry noFormat{Mdb::EntryKey(1)};
  EXPECT_THROW(noFormat.fieldIs(rif.format()->fields[0], 1), std::invalid_argument);
  EXPECT_THROW(rif.fieldIs(rif.format()->fields[0], PerUnitBitmap()), std::invalid_argument);
  EXPECT_EQ(rif.fieldValue("mtuProfile")->value(), 0u);
  EXPECT_FALSE(rif.fieldValue("statObjectId").has_value());
  EXPECT_FALSE(noFormat.fieldValue("mtuProfile").has_value());
}

}  // namespace
}  // namespace chip26_a0
