// The EEDB hardware tables and their entry formats: every field of every format at its limits
// and through a SCHAN command and back, the entries the shadow compares; the MDB-backed table and
// the one-bit direct ones, their SCHAN commands, table clears and decoding; and the chip memory
// model that runs those commands: writes and clears per FAP, the null FAP reaching every FAP,
// and its comparison with a shadow. (Commands no chip runs are the decode_command fuzz target's.)
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip26_a0/ChipMemory.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "chip26_a0/FieldText.h"
#include "pelix/RangeException.h"

namespace chip26_a0 {
namespace test {
inline ZuriAsicUtils::HwShadowKey unit(unsigned fap, unsigned instance = 0) {
  return {SchanAccel::FapId(fap), static_cast<ZuriAsicUtils::InstanceId>(instance)};
}

// An Out-RIF entry with the given MTU profile and every fodo bit set.
inline EedbHwMdb::Entry rif(std::uint32_t key, unsigned mtu) {
  EedbHwMdb::EedbRifBasicEtpsEthRif60Entry e{EedbHwMdb::EntryKey(key)};
  e.handleInitialized();
  e.mtuProfileIs(U4(mtu));
  e.fodoIs(U15(0x7FFF));
  return e;
}

// An entry of the format, built and initialised as the translators do it.
inline EedbHwMdb::Entry stamped(layout::FormatSpec const& format, std::uint32_t key = 0x1234) {
  EedbHwMdb::Entry out;
  [&]<class... Fs>(mdb::formats::FormatList<Fs...>) {
    auto stamp = [&]<class F>() {
      mdb::FormatEntry<F> e{EedbHwMdb::EntryKey(key)};
      e.handleInitialized();
      out = e;
    };
    ((mdb::kFormatCode<Fs> == format.code ? stamp.template operator()<Fs>() : void()), ...);
  }(mdb::formats::AllFormats{});
  return out;
}

// Every field at all ones (ones = true) or zero, wide fields included.
inline void fill(EedbHwMdb::Entry& e, layout::FieldSpec const& f, bool ones) {
  if (f.wide()) {
    PerUnitBitmap b;
    for (unsigned w = 0; w < PerUnitBitmap::kWords; ++w) b.bitListIs(w, ones ? ~0u : 0u);
    e.fieldIs(f, b);
  } else {
    e.fieldIs(f, ones ? (f.width >= 64 ? ~0ull : (1ull << f.width) - 1) : 0);
  }
}

}  // namespace test

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

// --- The hardware tables and the chip memory model ---

using test::rif;
using test::unit;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ZuriAsicUtils::SchanCmd;
using Key = EedbHwMdb::EntryKey;

EedbHwMdb::Entry stat(std::uint32_t key) {
  return test::stamped(EedbHwMdb::EedbStatEtpsOnlyStat90Entry::kSpec, key);
}

std::vector<std::string> texts(ZuriAsicUtils::SchanCmds const& cmds) {
  std::vector<std::string> out;
  for (auto const& c : cmds) out.push_back(fmt::format("{}", c));
  return out;
}

template <class Decode>
std::string decodeError(Decode decode, SchanCmd const& cmd) {
  try {
    decode(cmd);
  } catch (SchanDecodeException const& ex) {
    return ex.what();
  }
  return "decoded";
}

Pelix::Ptr<EedbHwMdb> mdbTable() {
  return Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
}

Pelix::Ptr<EedbAgMemTlmHwDirect> directTable() {
  return Pelix::make<EedbAgMemTlmHwDirect>(
      "direct", ZuriAsicUtils::HwTableKey{"direct", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>());
}

// A stored entry gives one write of its size; an absent or format-less one a clear as wide as
// asked; size 0 gives nothing; 160 bits is the most a command carries.
TEST(EedbHwMdbTest, CommandsFollowTheShadow) {
  auto const table = mdbTable();
  table->setEntry(unit(128, 2), rif(0x1000, 2));
  table->setEntry(unit(0), EedbHwMdb::Entry(Key(0x77)));
  EXPECT_THAT(texts(table->schanCmds(unit(128, 2), Key(0x1000), 60, nullptr)),
              ElementsAre("write EEDB[4096] fap 128 instance 2 type 1 0x0000000001fffc04"));
  EXPECT_THAT(texts(table->schanCmds(unit(0), Key(0x77), 90, nullptr)),
              ElementsAre("clear EEDB[119] fap 0 instance 0 type 0 0x000000000000000000000000"));
  EXPECT_THAT(texts(table->schanCmds(unit(0), Key(0x78), 60, nullptr)),
              ElementsAre("clear EEDB[120] fap 0 instance 0 type 0 0x0000000000000000"));
  EXPECT_TRUE(table->schanCmds(unit(128, 2), Key(0x1000), 0, nullptr).empty());
  EXPECT_EQ(table->schanCmds(unit(0), Key(1), 160, nullptr).size(), 1u);
  try {
    table->schanCmds(unit(0), Key(1), 161, nullptr);
    ADD_FAILURE() << "accepted 161 bits";
  } catch (Pelix::RangeException const& ex) {
    EXPECT_STREQ(ex.what(), "chip26_a0::EedbHwMdb::sizeBits 161 > 160 not allowed");
  }
}

TEST(EedbHwMdbTest, ClearingOneFapKeepsTheOthersAndTheNullFapClearsEvery) {
  auto const table = mdbTable();
  table->setEntry(unit(1, 1), stat(0x20));
  table->setEntry(unit(1, 0), rif(0x30, 1));
  table->setEntry(unit(1, 0), stat(0x10));
  table->setEntry(unit(1, 0), EedbHwMdb::Entry(Key(0x5)));
  table->setEntry(unit(0), rif(0x10, 1));
  table->setEntry(unit(128, 7), rif(0x10, 1));
  // Ascending shadow key, then hardware key; each clear as wide as the removed entry.
  EXPECT_THAT(texts(table->clearTable(SchanAccel::FapId(1))),
              ElementsAre("clear EEDB[5] fap 1 instance 0 type 0 0x00000000",
                          "clear EEDB[16] fap 1 instance 0 type 0 0x000000000000000000000000",
                          "clear EEDB[48] fap 1 instance 0 type 0 0x0000000000000000",
                          "clear EEDB[32] fap 1 instance 1 type 0 0x000000000000000000000000"));
  EXPECT_EQ(table->entryCount(), 2u);
  EXPECT_TRUE(table->clearTable(SchanAccel::FapId(1)).empty());
  EXPECT_THAT(texts(table->clearTable(SchanAccel::FapId::null)),
              ElementsAre("clear EEDB[16] fap 0 instance 0 type 0 0x0000000000000000",
                          "clear EEDB[16] fap 128 instance 7 type 0 0x0000000000000000"));
  EXPECT_EQ(table->entryCount(), 0u);
}

SchanCmd changed(SchanCmd c, void (*change)(SchanCmd&)) {
  change(c);
  return c;
}

TEST(EedbHwMdbDecodeTest, ACommandThatMatchesNoFormatNamesTheReason) {
  auto const write = EedbHwMdb::encode(unit(0), rif(0x1000, 0));
  auto const clear = EedbHwMdb::encode(unit(0), EedbHwMdb::Entry(Key(1)));
  std::pair<SchanCmd, char const*> const cases[] = {
      {changed(write, [](SchanCmd& c) { c.memory = "EEDB_AG_MEM_TLM"; }),
       "SCHAN command write EEDB_AG_MEM_TLM[4096] fap 0 instance 0: memory is not EEDB"},
      {changed(write, [](SchanCmd& c) { c.resultType = 32; }),
       "SCHAN command write EEDB[4096] fap 0 instance 0: result type 32 names no format"},
      {changed(write, [](SchanCmd& c) { c.resultType = 0; }), ": a write names no result type"},
      {changed(write, [](SchanCmd& c) { c.sizeBits = 90; }),
       ": EedbRifBasicEtpsEthRif60Entry (result type 1) is 60 bits, not 90"},
      {changed(write, [](SchanCmd& c) { c.data[0] |= 1u << 25; }),  // the fields end at bit 24
       ": bit 25 is set, outside the fields of EedbRifBasicEtpsEthRif60Entry (bits 0 to 24)"},
      {changed(write, [](SchanCmd& c) { c.sizeBits = 200; }), ": 200 bits do not fit in a command"},
      {changed(clear, [](SchanCmd& c) { c.data[2] = 1; }), ": a clear carries no data"},
      {changed(clear, [](SchanCmd& c) { c.resultType = 3; }), ": a clear names no result type"},
  };
  for (auto const& [cmd, text] : cases) {
    EXPECT_THAT(decodeError(&EedbHwMdb::decode, cmd), HasSubstr(text));
  }
}

// --- The one-bit direct tables: one template over the memory name, so one of them here ---

using Direct = EedbAgMemTlmHwDirect;

Direct::Entry bit(std::uint32_t key, unsigned value) {
  Direct::Entry e{Direct::EntryKey(key)};
  e.bitIs(U1(value));
  return e;
}

std::string directClear(unsigned fap, unsigned index, unsigned instance) {
  return fmt::format("clear EEDB_AG_MEM_TLM[{}] fap {} instance {} type 0 0x00000000", index, fap,
                     instance);
}

// A stored 0 is still an entry (a write of bit 0, as the golden outputs show); a deleted one is a
// clear, which decodes to nothing. Table clears go in shadow order.
TEST(HwDirectTest, DeleteAndClearTableGiveClearsInShadowOrder) {
  auto const t = directTable();
  using Key = Direct::EntryKey;
  t->setEntry(unit(128, 3), bit(0x10, 1));
  t->setEntry(unit(1), bit(0x10, 0));
  EXPECT_EQ(t->schanCmds(unit(1), Key(0x10), nullptr)[0].op, SchanCmd::Op::write);
  t->deleteEntry(unit(1), Key(0x10));
  EXPECT_EQ(t->getEntry(unit(1), Key(0x10)), Direct::Entry(Key(0x10)));
  auto const clear = t->schanCmds(unit(1), Key(0x10), nullptr);
  EXPECT_THAT(texts(clear), ElementsAre(directClear(1, 16, 0)));
  EXPECT_EQ(Direct::decode(clear[0]), std::nullopt);
  t->setEntry(unit(2, 1), bit(1, 1));
  t->setEntry(unit(2, 0), bit(9, 0));
  t->setEntry(unit(2, 0), bit(3, 1));
  EXPECT_THAT(texts(t->clearTable(SchanAccel::FapId(2))),
              ElementsAre(directClear(2, 3, 0), directClear(2, 9, 0), directClear(2, 1, 1)));
  EXPECT_THAT(texts(t->clearTable(SchanAccel::FapId::null)),
              ElementsAre("clear EEDB_AG_MEM_TLM[16] fap 128 instance 3 type 0 0x00000000"));
  EXPECT_EQ(t->entryCount(), 0u);
}

TEST(HwDirectTest, ACommandOfAnotherShapeFailsToDecode) {
  auto const good = Direct::encode(unit(0), bit(5, 1));
  std::pair<SchanCmd, char const*> const cases[] = {
      {changed(good, [](SchanCmd& c) { c.memory = "EEDB"; }),
       "SCHAN command write EEDB[5] fap 0 instance 0: memory is not EEDB_AG_MEM_TLM"},
      {changed(good, [](SchanCmd& c) { c.data[0] = 2; }), ": data beyond bit 0"},
      {changed(good, [](SchanCmd& c) { c.data[4] = 1; }), ": data beyond bit 0"},
      {changed(good, [](SchanCmd& c) { c.sizeBits = 2; }), ": a direct entry is 1 bit"},
      {changed(good, [](SchanCmd& c) { c.resultType = 1; }),
       ": a direct table has no result types"},
  };
  for (auto const& [cmd, text] : cases)
    EXPECT_THAT(decodeError(&Direct::decode, cmd), HasSubstr(text));
}

// --- The chip memory model ---

SchanCmd chipClear(unsigned fap, std::uint32_t index, unsigned bits, unsigned instance = 0) {
  SchanCmd c;
  c.op = SchanCmd::Op::clear;
  c.fapId = static_cast<std::uint8_t>(fap);
  c.instanceId = static_cast<std::uint8_t>(instance);
  c.memory = EedbHwMdb::kMemory;
  c.index = index;
  c.sizeBits = static_cast<std::uint16_t>(bits);
  return c;
}

ChipMemory::Content contentOf(SchanCmd const& c) {
  return {c.resultType, c.sizeBits, c.data};
}

// Writes and clears reach one FAP and instance; the null FAP's reach every FAP, one FAP's own
// content sitting on top; a clear shorter than the entry leaves its upper bits.
TEST(ChipMemory, WritesAndClearsPerFapInstanceAndForEveryFap) {
  ChipMemory chip;
  auto const w = EedbHwMdb::encode(unit(3, 1), rif(0x10, 2));
  chip.execute(w);
  EXPECT_EQ(chip.read("EEDB", 3, 1, 0x10), contentOf(w));
  EXPECT_TRUE(chip.read("EEDB", 3, 0, 0x10).empty());
  EXPECT_TRUE(chip.read("EEDB", 4, 1, 0x10).empty());
  EXPECT_TRUE(chip.read("EEDB_AG_MEM_TLM", 3, 1, 0x10).empty());
  chip.execute(chipClear(3, 0x10, 60));  // instance 0: instance 1 keeps its entry
  EXPECT_EQ(chip.read("EEDB", 3, 1, 0x10), contentOf(w));
  chip.execute(chipClear(3, 0x10, 60, 1));
  EXPECT_TRUE(chip.places("EEDB").empty());
  auto const own = EedbHwMdb::encode(unit(5), rif(0x20, 1));
  auto const every = EedbHwMdb::encode(unit(128), rif(0x20, 7));
  chip.execute(own);
  chip.execute(every);  // overwrites FAP 5's own entry too
  EXPECT_EQ(chip.read("EEDB", 5, 0, 0x20), contentOf(every));
  EXPECT_EQ(chip.read("EEDB", 127, 0, 0x20), contentOf(every));
  chip.execute(own);
  EXPECT_EQ(chip.read("EEDB", 5, 0, 0x20), contentOf(own));
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20), contentOf(every));
  chip.execute(chipClear(5, 0x20, 60));  // FAP 5 alone clears; the others keep the common content
  EXPECT_TRUE(chip.read("EEDB", 5, 0, 0x20).empty());
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20), contentOf(every));
  chip.execute(chipClear(128, 0x20, 10));  // fodo sits at bits 10 to 24
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20).resultType, every.resultType);
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20).data[0], 0x7FFFu << 10);
  chip.execute(chipClear(128, 0x20, 60));
  EXPECT_TRUE(chip.places("EEDB").empty());
}

// A different field, an entry the shadow lacks, one never sent, and a FAP whose own content
// differs from the null FAP's entry that it must hold.
TEST(ChipMemory, ComparisonReportsEveryDifferenceFieldByField) {
  auto const table = mdbTable();
  ChipMemory chip;
  table->setEntry(unit(1), rif(0x10, 1));
  chip.execute(EedbHwMdb::encode(unit(1), rif(0x10, 9)));
  chip.execute(EedbHwMdb::encode(unit(2), rif(0x12, 3)));
  table->setEntry(unit(3), rif(0x13, 4));
  table->setEntry(unit(128), rif(0x20, 5));
  chip.execute(EedbHwMdb::encode(unit(128), rif(0x20, 5)));
  chip.execute(EedbHwMdb::encode(unit(4), rif(0x20, 6)));
  auto const d = compareWithShadow(chip, *table);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(fmt::format("{}", d[0].place), "EEDB[16] fap 1 instance 0");
  EXPECT_EQ(d[0].fields.size(), 1u);
  EXPECT_EQ(d[1].shadow, "nothing");
  EXPECT_EQ(d[1].fields.size(), 4u);  // every field of the chip's entry
  EXPECT_EQ(d[2].chip, "nothing");
  EXPECT_EQ(d[3].place.fapId, 4u);
  EXPECT_EQ(d[3].fields.at(0).shadow, "5");
}

TEST(ChipMemory, ADirectBitOfZeroIsAClearedPlace) {
  auto const table = directTable();
  using Entry = EedbAgMemTlmHwDirect::Entry;
  table->setEntry(unit(0), Entry{Entry::EntryKey(7)});
  ChipMemory chip;
  EXPECT_TRUE(compareWithShadow(chip, *table).empty());
  Entry one{Entry::EntryKey(8)};
  one.bitIs(U1(1));
  table->setEntry(unit(0), one);
  auto const d = compareWithShadow(chip, *table);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].fields.at(0).name, "agFieldTlm");
  chip.execute(table->schanCmds(unit(0), Entry::EntryKey(8), {}));
  EXPECT_TRUE(compareWithShadow(chip, *table).empty());
}

// The format tables mark exactly the fields that hold addresses, and such a field prints as the
// address the translator stored (first octet most significant), any other as its number.
TEST(EedbFormatTest, AddressFieldsPrintAsTheAddressTheTranslatorsStore) {
  using layout::FieldKind;
  std::vector<std::string> marked;
  for (auto const* format : Mdb::formats()) {
    for (auto const& f : format->fields) {
      if (f.kind != FieldKind::number) marked.push_back(fmt::format("{}.{}", format->name, f.name));
    }
  }
  EXPECT_THAT(marked, ::testing::UnorderedElementsAre(
                          "EedbSrv6DataSidEtpsDataSid150Entry.srv6SidData",
                          "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry.ipv4Dip",
                          "EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry.ipv4Dip",
                          "EedbIpv6DataDipEtpsDataIpv6Dip150Entry.ipv6Dip",
                          "EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry.ipv4Dip",
                          "EedbArpEtpsArp60Entry.l2Mac", "EedbArpEtpsRifArpStat120Entry.l2Mac",
                          "EedbArpEtpsRifArpAc1TagStat120Entry.l2Mac",
                          "EedbArpEtpsArpAcTapaggDest120Entry.l2Mac",
                          "EedbArpEtpsArpAcTapaggDestAndSrc120Entry.l2Mac",
                          "EedbArpEtpsArpAcTapaggDestAndSrc120Entry.rawData"));

  struct Case {
    std::string_view format;
    std::string_view field;
    layout::FieldValue::Words words;  // word 0 holds bits 0 to 31
    std::string_view text;
  };
  Case const cases[] = {
      {"EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry", "ipv4Dip", {0x0A010203}, "10.1.2.3"},
      {"EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry", "ipv4Dip", {0xFFFFFFFF}, "255.255.255.255"},
      {"EedbIpv6DataDipEtpsDataIpv6Dip150Entry", "ipv6Dip", {1, 0, 0, 0x20010DB8}, "2001:db8::1"},
      {"EedbIpv6DataDipEtpsDataIpv6Dip150Entry", "ipv6Dip", {0, 0, 0, 0}, "::"},
      {"EedbSrv6DataSidEtpsDataSid150Entry",
       "srv6SidData",
       {0x0D0E0F10, 0x090A0B0C, 0x05060708, 0x01020304},
       "102:304:506:708:90a:b0c:d0e:f10"},
      {"EedbArpEtpsArp60Entry", "l2Mac", {0x00AABBCC, 0x0200}, "02:00:00:aa:bb:cc"},
      {"EedbArpEtpsArpAcTapaggDestAndSrc120Entry",
       "rawData",
       {0x22334455, 0x0011},
       "00:11:22:33:44:55"},
      {"EedbArpEtpsRifArpStat120Entry", "fodo", {100}, "100"},
      {"EedbArpEtpsRifArpStat120Entry", "statObjectId", {0x1FFFF}, "131071"},
  };
  for (auto const& c : cases) {
    auto const* field = mdb::formatByName(c.format)->field(c.field);
    ASSERT_NE(field, nullptr) << c.format << "." << c.field;
    EXPECT_EQ(layout::fieldText(field->kind, layout::FieldValue(field->width, c.words)), c.text)
        << c.format << "." << c.field;
  }
}

}  // namespace
}  // namespace chip26_a0
