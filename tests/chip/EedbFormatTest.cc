// The EEDB entry formats: their table, their layouts and the typed format entries.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipTestSupport.h"
#include "chip26_a0/EedbHwMdb.h"
#include "pelix/RangeException.h"

namespace chip26_a0 {
namespace {

using layout::FieldSpec;
using layout::FormatSpec;
using Mdb = EedbHwMdb;

struct NameSize {
  std::string_view name;
  unsigned sizeBits;
};

// Every format, in result-type order, with the size its name ends in.
constexpr NameSize kExpectedFormats[] = {
    {"EedbRifBasicEtpsEthRif60Entry", 60},
    {"EedbMplsTunnelEtpsMpls190Entry", 90},
    {"EedbMplsTunnelEtpsMpls1Stat150Entry", 150},
    {"EedbMplsTunnelEtpsMpls2Stat150Entry", 150},
    {"EedbMplsTunnelEtpsMpls2StatPlus150Entry", 150},
    {"EedbMplsDataTunnelEtpsDataMpls190Entry", 90},
    {"EedbMplsDataTunnelEtpsDataMpls290Entry", 90},
    {"EedbMplsDataTunnelEtpsDataMpls390Entry", 90},
    {"EedbMplsDataTunnelEtpsDataMpls4150Entry", 150},
    {"EedbMplsDataTunnelEtpsDataMpls5150Entry", 150},
    {"EedbMplsDataTunnelEtpsDataMpls6150Entry", 150},
    {"EedbMplsTunnelEtpsMplsSwap90Entry", 90},
    {"EedbSrv6EtpsSrv6150Entry", 150},
    {"EedbSrv6DataSidEtpsDataSid150Entry", 150},
    {"EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry", 150},
    {"EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry", 150},
    {"EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry", 150},
    {"EedbIpv6TunnelEtpsIpv6TunnelUdp150Entry", 150},
    {"EedbIpv6TunnelEtpsIpv6TunnelRaw150Entry", 150},
    {"EedbIpv6DataDipEtpsDataIpv6Dip150Entry", 150},
    {"EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry", 150},
    {"EedbArpEtpsArp60Entry", 60},
    {"EedbArpEtpsRifArpStat120Entry", 120},
    {"EedbArpEtpsRifArpAc1TagStat120Entry", 120},
    {"EedbArpEtpsArpAcTapaggDest120Entry", 120},
    {"EedbArpEtpsArpAcTapaggDestAndSrc120Entry", 120},
    {"EedbOutAcEtpsAc3TagStat120Entry", 120},
    {"EedbOutAcEtpsAc3TagStat150Entry", 150},
    {"EedbSflowEtpsSflowFirstPass150Entry", 150},
    {"EedbSflowEtpsSflowFirstPassData90Entry", 90},
    {"EedbStatEtpsOnlyStat90Entry", 90},
};

TEST(EedbFormatTest, TheTableListsEveryFormatWithItsSizeAndResultType) {
  auto const formats = Mdb::formats();
  ASSERT_EQ(formats.size(), std::size(kExpectedFormats));
  for (std::size_t i = 0; i < formats.size(); ++i) {
    SCOPED_TRACE(kExpectedFormats[i].name);
    EXPECT_EQ(formats[i]->name, kExpectedFormats[i].name);
    EXPECT_EQ(formats[i]->sizeBits, kExpectedFormats[i].sizeBits);
    EXPECT_EQ(formats[i]->code, i + 1);
    EXPECT_EQ(mdb::formatByCode(i + 1), formats[i]);
    EXPECT_EQ(mdb::formatByName(kExpectedFormats[i].name), formats[i]);
    EXPECT_LE(formats[i]->usedBits(), formats[i]->sizeBits);
  }
  EXPECT_EQ(mdb::formatByCode(0), nullptr);
  EXPECT_EQ(mdb::formatByCode(32), nullptr);
  EXPECT_EQ(mdb::formatByName("EedbRifBasicEtpsEthRif60"), nullptr);
}

TEST(EedbFormatTest, TheWidestFormatsFillTheirEntryExactly) {
  EXPECT_EQ(Mdb::EedbSrv6DataSidEtpsDataSid150Entry::kSpec.usedBits(), 150u);
  EXPECT_EQ(Mdb::EedbIpv6DataDipEtpsDataIpv6Dip150Entry::kSpec.usedBits(), 150u);
}

// A compile-time check that rejects what it must: the size must end the name, fields must fit.
struct BadSizeName {
  static constexpr std::string_view kName = "EedbMplsTunnelEtpsMpls190Entry";
  static constexpr unsigned kSizeBits = 190;  // "Mpls1" + 90, not 190
  static constexpr auto kFields = layout::layout({{"mplsLabel", 20}});
};
struct TooWide {
  static constexpr std::string_view kName = "Small10Entry";
  static constexpr unsigned kSizeBits = 10;
  static constexpr auto kFields = layout::layout({{"a", 4}, {"b", 7}});
};
template <class F>
concept Accepted = requires {
  typename std::integral_constant<bool, layout::checkFormat<F, 160>()>;
};
static_assert(!Accepted<BadSizeName>);
static_assert(!Accepted<TooWide>);
static_assert(Accepted<mdb::formats::EedbStatEtpsOnlyStat90>);

// --- Setter types: the width each format gives a field ---

template <auto Setter>
struct ArgOf;
template <class C, class A, void (C::*Setter)(A)>
struct ArgOf<Setter> {
  using type = A;
};
template <auto Setter>
using ArgOfT = typename ArgOf<Setter>::type;

static_assert(std::is_same_v<ArgOfT<&Mdb::EedbStatEtpsOnlyStat90Entry::statObjectIdIs>, U17>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry::statObjectIdIs>,
                             std::uint16_t>);
static_assert(
    std::is_same_v<ArgOfT<&Mdb::EedbArpEtpsRifArpAc1TagStat120Entry::statObjectIdIs>, U15>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbArpEtpsRifArpStat120Entry::mtuProfileIs>, U4>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbArpEtpsRifArpAc1TagStat120Entry::mtuProfileIs>, U3>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbMplsTunnelEtpsMpls1Stat150Entry::esemCommandIs>, U3>);
static_assert(
    std::is_same_v<ArgOfT<&Mdb::EedbIpv6TunnelEtpsIpv6TunnelRaw150Entry::esemCommandIs>, U6>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbRifBasicEtpsEthRif60Entry::fodoIs>, U15>);
static_assert(
    std::is_same_v<ArgOfT<&Mdb::EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry::fodoIs>, U10>);
static_assert(
    std::is_same_v<ArgOfT<&Mdb::EedbMplsTunnelEtpsMpls2StatPlus150Entry::vlanEditProfileIs>, U3>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbOutAcEtpsAc3TagStat120Entry::vlanEditProfileIs>, U6>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbArpEtpsArp60Entry::l2MacIs>, U48 const&>);
static_assert(std::is_same_v<ArgOfT<&Mdb::EedbSrv6DataSidEtpsDataSid150Entry::srv6SidDataIs>,
                             PerUnitBitmap const&>);
static_assert(
    std::is_same_v<ArgOfT<&Mdb::EedbSrv6EtpsSrv6150Entry::srhRoutingTypeIs>, std::uint8_t>);
static_assert(
    std::is_same_v<ArgOfT<&Mdb::EedbSflowEtpsSflowFirstPass150Entry::headerSampleSamplingRateIs>,
                   std::uint32_t>);
static_assert(std::is_same_v<decltype(Mdb::EedbRifBasicEtpsEthRif60Entry().mtuProfile()), U4>);

// A format offers no accessor for a field it does not have.
template <class E>
concept HasFodo = requires(E e) {
  e.fodoIs(U15());
};
static_assert(HasFodo<Mdb::EedbRifBasicEtpsEthRif60Entry>);
static_assert(!HasFodo<Mdb::EedbStatEtpsOnlyStat90Entry>);

// Format entries are distinct types (the plug-in overloads on them) that add no data.
static_assert(
    !std::is_same_v<Mdb::EedbOutAcEtpsAc3TagStat120Entry, Mdb::EedbOutAcEtpsAc3TagStat150Entry>);
static_assert(std::is_base_of_v<Mdb::Entry, Mdb::EedbStatEtpsOnlyStat90Entry>);

// --- Layout: every field of every format round-trips at its limits alone ---

using test::maxOf;

void setAllOnes(Mdb::Entry& e, FieldSpec const& f) {
  if (f.wide()) {
    PerUnitBitmap b;
    for (unsigned w = 0; w < PerUnitBitmap::kWords; ++w) b.bitListIs(w, 0xFFFFFFFFu);
    e.fieldIs(f, b);
  } else {
    e.fieldIs(f, maxOf(f));
  }
}

void setZero(Mdb::Entry& e, FieldSpec const& f) {
  if (f.wide()) {
    e.fieldIs(f, PerUnitBitmap());
  } else {
    e.fieldIs(f, 0);
  }
}

bool isAllOnes(layout::FieldValue const& v) {
  for (unsigned i = 0; i < v.width(); ++i) {
    if (((v.words()[i / 32] >> (i % 32)) & 1u) == 0) return false;
  }
  return true;
}

bool isZero(layout::FieldValue const& v) {
  return v == layout::FieldValue(v.width(), {});
}

class EveryFormat : public ::testing::TestWithParam<FormatSpec const*> {
 protected:
  // A blank entry of the format, built through the generic path: stamped, then all zero.
  Mdb::Entry blank() const {
    Mdb::Entry e = stamped();
    for (auto const& f : spec().fields) setZero(e, f);
    return e;
  }
  Mdb::Entry stamped() const { return test::stamped(spec()); }
  FormatSpec const& spec() const { return *GetParam(); }
};

TEST_P(EveryFormat, HandleInitializedStampsTheFormatAndTheDefaults) {
  auto const e = stamped();
  EXPECT_EQ(e.format(), GetParam());
  EXPECT_EQ(e.entrySizeBits(), spec().sizeBits);
  EXPECT_EQ(e.key().value(), 0x1234u);
  for (auto const& f : spec().fields) {
    SCOPED_TRACE(std::string(f.name));
    EXPECT_EQ(e.fieldValue(f).value(), f.defaultValue);
  }
  if (auto const* cmd = spec().field("statObjectCmd")) {
    EXPECT_EQ(cmd->defaultValue, 0u);
  }
}

TEST_P(EveryFormat, EachFieldHoldsAllOnesWithoutTouchingItsNeighbours) {
  for (auto const& target : spec().fields) {
    SCOPED_TRACE(std::string(target.name));
    auto e = blank();
    setAllOnes(e, target);
    for (auto const& f : spec().fields) {
      auto const v = e.fieldValue(f);
      if (&f == &target) {
        EXPECT_TRUE(isAllOnes(v)) << f.name;
      } else {
        EXPECT_TRUE(isZero(v)) << f.name << " disturbed";
      }
    }
    // Nothing leaks outside the fields either.
    EXPECT_EQ(bits::firstSetFrom(e.bits(), spec().usedBits()), -1);
  }
}

TEST_P(EveryFormat, EachFieldHoldsZeroAmongAllOnes) {
  for (auto const& target : spec().fields) {
    SCOPED_TRACE(std::string(target.name));
    auto e = blank();
    for (auto const& f : spec().fields) setAllOnes(e, f);
    setZero(e, target);
    for (auto const& f : spec().fields) {
      auto const v = e.fieldValue(f);
      if (&f == &target) {
        EXPECT_TRUE(isZero(v)) << f.name;
      } else {
        EXPECT_TRUE(isAllOnes(v)) << f.name << " disturbed";
      }
    }
  }
}

TEST_P(EveryFormat, AValueWiderThanTheFieldIsRefusedWithTheBoundedMessage) {
  for (auto const& f : spec().fields) {
    if (f.wide() || f.width == 64) continue;
    SCOPED_TRACE(std::string(f.name));
    auto e = blank();
    auto const before = e;
    try {
      e.fieldIs(f, maxOf(f) + 1);
      ADD_FAILURE() << "accepted " << maxOf(f) + 1;
    } catch (Pelix::RangeException const& ex) {
      int const digits = f.width <= 8 ? 2 : f.width <= 16 ? 4 : f.width <= 32 ? 8 : 16;
      EXPECT_EQ(std::string(ex.what()), fmt::format("U{}::value < 0 or > 0x{:0{}x} not allowed",
                                                    f.width, maxOf(f), digits));
    }
    EXPECT_EQ(e, before);
  }
}

std::string formatName(::testing::TestParamInfo<FormatSpec const*> const& info) {
  return std::string(info.param->name);
}

INSTANTIATE_TEST_SUITE_P(All, EveryFormat,
                         ::testing::ValuesIn(Mdb::formats().begin(), Mdb::formats().end()),
                         formatName);

// --- Typed accessors ---

TEST(EedbFormatEntryTest, TheOutRifFieldsPackFromBitZeroUp) {
  Mdb::EedbRifBasicEtpsEthRif60Entry e{Mdb::EntryKey(0x1000)};
  e.handleInitialized();
  e.forwardQosModelIs(U1(1));
  e.mtuProfileIs(U4(2));
  e.remarkProfileIs(U5(3));
  e.fodoIs(U15(100));
  // fodo 100 | remark 3 | mtu 2 | fwd 1
  //  bits 10..24 | 5..9 | 1..4 | 0  ->  100 << 10 | 3 << 5 | 2 << 1 | 1
  EXPECT_EQ(e.bits()[0], 0x19065u);
  EXPECT_EQ(e.bits()[1], 0u);
  EXPECT_EQ(e.mtuProfile(), U4(2));
  EXPECT_EQ(e.fodo().value(), 100u);
}

TEST(EedbFormatEntryTest, WideAndByteFieldsKeepTheirValues) {
  Mdb::EedbIpv6DataDipEtpsDataIpv6Dip150Entry dip{Mdb::EntryKey(7)};
  dip.handleInitialized();
  EXPECT_EQ(dip.dataEntry2BReserved(), U2(3));  // the data entries' default
  PerUnitBitmap addr;
  addr.bitListIs(3, 0x20010DB8);
  addr.bitListIs(0, 1);
  dip.ipv6DipIs(addr);
  dip.nextOutlifPointerIs(U20(0xFFFFF));
  EXPECT_EQ(dip.ipv6Dip(), addr);
  EXPECT_EQ(dip.nextOutlifPointer(), U20(0xFFFFF));
  EXPECT_EQ(dip.dataEntry2BReserved(), U2(3));

  Mdb::EedbArpEtpsArp60Entry arp{Mdb::EntryKey(1)};
  arp.handleInitialized();
  arp.l2MacIs(U48(0x020000AABBCCull));
  EXPECT_EQ(arp.l2Mac().value(), 0x020000AABBCCull);

  Mdb::EedbSflowEtpsSflowFirstPass150Entry sflow{Mdb::EntryKey(2)};
  sflow.handleInitialized();
  sflow.headerSampleSamplingRateIs(0xFFFFFFFFu);
  sflow.headerRecordEnterpriseFormatIs(0x80000001u);
  EXPECT_EQ(sflow.headerSampleSamplingRate(), 0xFFFFFFFFu);
  EXPECT_EQ(sflow.headerRecordEnterpriseFormat(), 0x80000001u);
  EXPECT_EQ(sflow.headerSampleSampleLength(), U14(0));
}

TEST(EedbFormatEntryTest, ABoundedFieldCannotBeBuiltWiderThanItsWidth) {
  // The setters take the bounded type, so a value too wide fails where it is built.
  EXPECT_THROW(
      {
        try {
          Mdb::EedbMplsTunnelEtpsMpls1Stat150Entry e;
          e.esemCommandIs(U3(8));
        } catch (Pelix::RangeException const& ex) {
          EXPECT_STREQ(ex.what(), "U3::value < 0 or > 0x07 not allowed");
          throw;
        }
      },
      Pelix::RangeException);
}

TEST(EedbFormatEntryTest, AFormatEntryConvertsToAPlainEntryAndBack) {
  Mdb::EedbStatEtpsOnlyStat90Entry stat{Mdb::EntryKey(0x55)};
  stat.handleInitialized();
  stat.statObjectCmdIs(U5(3));
  stat.statObjectIdIs(U17(0x1FFFE));
  Mdb::Entry const plain = stat;
  EXPECT_EQ(plain.format()->name, "EedbStatEtpsOnlyStat90Entry");
  EXPECT_EQ(plain.entrySizeBits(), 90u);
  EXPECT_TRUE(plain.isEq(stat));

  auto const back = Mdb::EedbStatEtpsOnlyStat90Entry::fromEntry(plain);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->statObjectId(), U17(0x1FFFE));
  EXPECT_FALSE(Mdb::EedbArpEtpsArp60Entry::fromEntry(plain).has_value());
  EXPECT_FALSE(Mdb::EedbStatEtpsOnlyStat90Entry::fromEntry(Mdb::Entry()).has_value());
}

TEST(EedbFormatEntryTest, EqualityComparesKeyFormatAndBits) {
  Mdb::EedbMplsTunnelEtpsMpls190Entry a{Mdb::EntryKey(1)};
  a.handleInitialized();
  Mdb::EedbMplsTunnelEtpsMplsSwap90Entry sameBitsOtherFormat{Mdb::EntryKey(1)};
  sameBitsOtherFormat.handleInitialized();
  EXPECT_FALSE(Mdb::Entry(a).isEq(sameBitsOtherFormat));

  auto otherKey = a;
  otherKey = Mdb::EedbMplsTunnelEtpsMpls190Entry{Mdb::EntryKey(2)};
  otherKey.handleInitialized();
  EXPECT_FALSE(a.isEq(otherKey));

  auto otherLabel = a;
  otherLabel.mplsLabelIs(U20(1));
  EXPECT_FALSE(a.isEq(otherLabel));
  EXPECT_TRUE(a.isEq(a));

  // A key-only entry is not the blank entry; two blank entries are equal.
  EXPECT_FALSE(Mdb::Entry(Mdb::EntryKey(1)).isEq(Mdb::Entry(Mdb::EntryKey())));
  EXPECT_TRUE(Mdb::Entry(Mdb::EntryKey()).isEq(Mdb::Entry()));
  // Stamped but unchanged is not the key-only entry.
  EXPECT_FALSE(Mdb::Entry(a).isEq(Mdb::Entry(Mdb::EntryKey(1))));
}

TEST(EedbFormatEntryTest, UntypedAccessIsLimitedToTheEntrysOwnFields) {
  Mdb::EedbRifBasicEtpsEthRif60Entry rif{Mdb::EntryKey(1)};
  rif.handleInitialized();
  auto const& otherFormatsField = Mdb::EedbStatEtpsOnlyStat90Entry::kSpec.fields[0];
  EXPECT_THROW(rif.fieldIs(otherFormatsField, 1), std::invalid_argument);
  Mdb::Entry noFormat{Mdb::EntryKey(1)};
  EXPECT_THROW(noFormat.fieldIs(rif.format()->fields[0], 1), std::invalid_argument);
  EXPECT_THROW(rif.fieldIs(rif.format()->fields[0], PerUnitBitmap()), std::invalid_argument);
  EXPECT_EQ(rif.fieldValue("mtuProfile")->value(), 0u);
  EXPECT_FALSE(rif.fieldValue("statObjectId").has_value());
  EXPECT_FALSE(noFormat.fieldValue("mtuProfile").has_value());
}

TEST(EedbFormatEntryTest, VisitingGivesEveryFieldInLayoutOrder) {
  Mdb::EedbSrv6DataSidEtpsDataSid150Entry sid{Mdb::EntryKey(9)};
  sid.handleInitialized();
  PerUnitBitmap b;
  b.bitListIs(3, 0xDEADBEEF);
  sid.srv6SidDataIs(b);
  sid.nextOutlifPointerIs(U20(5));
  std::vector<std::string> seen;
  sid.forEachField([&](FieldSpec const& f, layout::FieldValue const& v) {
    seen.push_back(fmt::format("{}/{}/{}", f.name, f.width, v));
  });
  EXPECT_THAT(seen, ::testing::ElementsAre("srv6SidData/128/0xdeadbeef000000000000000000000000",
                                           "dataEntry2BReserved/2/3", "nextOutlifPointer/20/5"));
  int visits = 0;
  Mdb::Entry().forEachField([&](auto const&, auto const&) { ++visits; });
  EXPECT_EQ(visits, 0);
}

TEST(EedbFormatEntryTest, TextFormsListTheFields) {
  Mdb::EedbRifBasicEtpsEthRif60Entry rif{Mdb::EntryKey(0x1000)};
  rif.handleInitialized();
  rif.forwardQosModelIs(U1(1));
  rif.mtuProfileIs(U4(2));
  rif.remarkProfileIs(U5(3));
  rif.fodoIs(U15(100));
  EXPECT_EQ(fmt::format("{}", rif),
            "EedbRifBasicEtpsEthRif60Entry{key=0x1000, forwardQosModel=1, mtuProfile=2, "
            "remarkProfile=3, fodo=100}");
  EXPECT_EQ(fmt::format("{}", Mdb::Entry(rif)), fmt::format("{}", rif));
  EXPECT_EQ(fmt::format("{}", Mdb::Entry(Mdb::EntryKey(0x1000))), "Entry{key=0x1000, no format}");
  EXPECT_EQ(fmt::format("{}", Mdb::EntryKey(255)), "0xff");
}

}  // namespace
}  // namespace chip26_a0
