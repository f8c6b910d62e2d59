// The EEDB hardware tables and their entry formats: every field of every format at its limits
// and through a SCHAN command and back, the entries the shadow compares, the bit routine at the
// end of its words; the MDB-backed table and the one-bit direct ones, their SCHAN commands and
// table clears; every command that a decoder or the chip memory model refuses; and the model:
// writes and clears per FAP, the null FAP reaching every FAP, and its comparison with a shadow
// place by place. (Arbitrary commands are the decode_command fuzz target's.)
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "pelix/RangeException.h"
#include "replay_support/ChipMemory.h"
#include "replay_support/FieldText.h"

namespace chip26_a0 {
namespace test {
inline ZuriAsicUtils::HwShadowKey unit(unsigned fap, unsigned instance = 0) {
  return {SchanAccel::FapId(fap), static_cast<ZuriAsicUtils::InstanceId>(instance)};
}

// An Out-RIF entry with the given MTU profile and every fodo bit set. The 60-bit class: two
// command words, the fields packed from bit 0, the bits above 24 reserved (always 0).
//
//   bit  59 .. 25  24            10  9        5  4   1  0
//       [reserved][     fodo       ][remarkProf][mtuP][fqm]
//   rif(k, 2):      111111111111111   00000      0010   0    = 0x0000000001fffc04
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
  }
  EXPECT_EQ(mdb::formatByCode(0), nullptr);
  EXPECT_EQ(mdb::formatByCode(32), nullptr);
  EXPECT_EQ(mdb::formatByName("EedbRifBasicEtpsEthRif60"), nullptr);
  // (Each format's layout, the bits it uses included, is docs/formats.md's: docs.formats.)
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

// decode(encode(e)) == e for every format with each number field at another extreme (all ones,
// only its top bit, only bit 0), and a 128-bit field read back as the bit map it was given, word
// by word. Arbitrary commands are the decode_command fuzz target's.
TEST_P(EveryFormat, DecodingTheEncodingGivesTheEntryBack) {
  auto const& format = *GetParam();
  PerUnitBitmap wide;  // bit 0, bit 127 and a bit of its own in every word
  for (unsigned w = 0; w < PerUnitBitmap::kWords; ++w)
    wide.bitListIs(w, 1u << (8 * w) | (w == 3 ? 0x80000000u : 0));
  auto e = test::stamped(format, 0xFFFFFFFFu);
  for (std::size_t i = 0; i < format.fields.size(); ++i) {
    auto const& f = format.fields[i];
    if (f.wide()) {
      e.fieldIs(f, wide);
    } else if (i % 3 == 0) {
      test::fill(e, f, true);
    } else {
      e.fieldIs(f, i % 3 == 1 ? 1ull << (f.width - 1) : 1);
    }
  }
  auto const cmd = Mdb::encode(test::unit(128, 255), e);
  EXPECT_EQ(cmd.resultType, format.code);
  EXPECT_EQ(cmd.sizeBits, format.sizeBits);
  auto const decoded = Mdb::decode(cmd);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, e);
  for (auto const& f : format.fields) {
    EXPECT_TRUE(!f.wide() || decoded->fieldValue(f).bitmap() == wide) << f.name;
  }
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

// The shadow compares key, format and bits; a plain entry converts back to a typed one of its
// own format only.
TEST(EedbFormatEntryTest, EqualityTakesKeyFormatAndBitsAndConversionBackTheOwnFormat) {
  auto const a = test::stamped(Mdb::EedbMplsTunnelEtpsMpls190Entry::kSpec, 1);
  EXPECT_FALSE(a.isEq(test::stamped(Mdb::EedbMplsTunnelEtpsMplsSwap90Entry::kSpec, 1)));
  auto otherLabel = *Mdb::EedbMplsTunnelEtpsMpls190Entry::fromEntry(a);
  otherLabel.mplsLabelIs(U20(1));
  EXPECT_FALSE(a.isEq(otherLabel));
  EXPECT_FALSE(a.isEq(Mdb::Entry(Mdb::EntryKey(1))));  // stamped is not key-only
  EXPECT_FALSE(Mdb::Entry(Mdb::EntryKey(1)).isEq(Mdb::Entry(Mdb::EntryKey())));
  EXPECT_TRUE(Mdb::Entry(Mdb::EntryKey()).isEq(Mdb::Entry()));
  EXPECT_TRUE(Mdb::EedbMplsTunnelEtpsMpls190Entry::fromEntry(a).has_value());
  EXPECT_FALSE(Mdb::EedbMplsTunnelEtpsMplsSwap90Entry::fromEntry(a).has_value());
  EXPECT_FALSE(Mdb::EedbStatEtpsOnlyStat90Entry::fromEntry(Mdb::Entry()).has_value());
}

// Untyped access reaches the entry's own fields only, a number or a bit map as the width says.
TEST(EedbFormatEntryTest, UntypedAccessIsLimitedToTheEntrysOwnFields) {
  Mdb::EedbRifBasicEtpsEthRif60Entry rif{Mdb::EntryKey(1)};
  rif.handleInitialized();
  Mdb::Entry const noFormat{Mdb::EntryKey(1)};
  auto const refusal = [](auto entry, auto const& field, auto value) {
    try {
      entry.fieldIs(field, value);
    } catch (std::invalid_argument const& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  auto const& fqm = rif.format()->fields[0];
  EXPECT_EQ(refusal(rif, Mdb::EedbStatEtpsOnlyStat90Entry::kSpec.fields[0], 1),
            "field nextOutlifPointer is not a field of EedbRifBasicEtpsEthRif60Entry");
  EXPECT_EQ(refusal(noFormat, fqm, 1),
            "field forwardQosModel is not a field of an entry without a format");
  EXPECT_EQ(refusal(rif, fqm, PerUnitBitmap()),
            "field forwardQosModel of EedbRifBasicEtpsEthRif60Entry is 1 bits wide: set it with "
            "a number");
  EXPECT_EQ(rif.fieldValue("mtuProfile")->value(), 0u);
  EXPECT_FALSE(rif.fieldValue("statObjectId").has_value());
  EXPECT_FALSE(noFormat.fieldValue("mtuProfile").has_value());
}

// The run-time bit routine reads nothing past the last word of its span. Evaluated at compile
// time a read one word too far does not compile; at run time the sanitizer job sees it.
TEST(BitFieldTest, ReadsAtTheLastWordStayInside) {
  static constexpr std::array<std::uint32_t, 2> kWords{0x89ABCDEF, 0x80000001};
  static_assert(bits::read(kWords, 32, 32) == 0x80000001u);
  static_assert(bits::read(kWords, 63, 1) == 1u && bits::read(kWords, 60, 8) == 0x8u);
  static_assert(bits::read(kWords, 28, 8) == 0x18u);
  static_assert(bits::firstSetFrom(kWords, 33) == 63 && bits::firstSetFrom(kWords, 64) == -1);
  std::vector<std::uint32_t> const heap(kWords.begin(), kWords.end());
  EXPECT_EQ(bits::read(heap, 32, 32), 0x80000001u);
  EXPECT_EQ(bits::firstSetFrom(heap, 33), 63);
}

// --- The hardware tables and the chip memory model ---

using test::rif;
using test::unit;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ZuriAsicUtils::SchanCmd;
using Key = EedbHwMdb::EntryKey;

// A statistics entry. The 90-bit class: three command words; the id runs from word 0 into
// word 1, the bits above 41 are reserved.
//
//   bit  89 .. 42  41          25  24     20  19               0
//       [reserved][ statObjectId ][statObjCmd][nextOutlifPointer]
//                  word 1 | word 0 (bit 32 between id bits 6 and 7)
EedbHwMdb::Entry stat(std::uint32_t key) {
  return test::stamped(EedbHwMdb::EedbStatEtpsOnlyStat90Entry::kSpec, key);
}

std::vector<std::string> texts(ZuriAsicUtils::SchanCmds const& cmds) {
  std::vector<std::string> out;
  for (auto const& c : cmds) out.push_back(fmt::format("{}", c));
  return out;
}

Pelix::Ptr<EedbHwMdb> mdbTable() {
  return Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
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

// --- The one-bit direct tables: one template over the memory name and the MDB table's shadow
// store (its clears above), so one of them, in the commands refused below ---

using Direct = EedbAgMemTlmHwDirect;

Direct::Entry bit(std::uint32_t key, unsigned value) {
  Direct::Entry e{Direct::EntryKey(key)};
  e.bitIs(U1(value));
  return e;
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

SchanCmd changed(SchanCmd c, void (*change)(SchanCmd&)) {
  change(c);
  return c;
}

// Every command that a decoder or the chip model refuses, with the reason it names; a refused
// command leaves the chip model as it was. Each reader's whole text once, then its reasons.
TEST(SchanCommandRefusals, EachDecoderAndTheChipModelNameTheReason) {
  enum Reader { mdb, direct, chip };
  auto const write = EedbHwMdb::encode(unit(0), rif(0x1000, 0));
  auto const clear = chipClear(0, 1, 60);
  auto const bitWrite = Direct::encode(unit(0), bit(5, 1));
  auto const unknownOp = [](SchanCmd& c) { c.op = static_cast<SchanCmd::Op>(2); };
  struct Case {
    Reader reader;
    SchanCmd cmd;
    char const* text;  // the whole text, or its end after ": "
  };
  Case const cases[] = {
      {mdb, changed(write, [](SchanCmd& c) { c.memory = "EEDB_AG_MEM_TLM"; }),
       "SCHAN command write EEDB_AG_MEM_TLM[4096] fap 0 instance 0: memory is not EEDB"},
      {mdb, changed(write, [](SchanCmd& c) { c.resultType = 32; }),
       "result type 32 names no format"},
      {mdb, changed(write, [](SchanCmd& c) { c.resultType = 0; }), "a write names no result type"},
      {mdb, changed(write, [](SchanCmd& c) { c.sizeBits = 90; }),
       "EedbRifBasicEtpsEthRif60Entry (result type 1) is 60 bits, not 90"},
      {mdb, changed(write, [](SchanCmd& c) { c.data[0] |= 1u << 25; }),  // the fields end at bit 24
       "bit 25 is set, outside the fields of EedbRifBasicEtpsEthRif60Entry (bits 0 to 24)"},
      {mdb, changed(write, [](SchanCmd& c) { c.sizeBits = 200; }),
       "200 bits do not fit in a command"},
      {mdb, changed(clear, [](SchanCmd& c) { c.data[0] = 1; }), "a clear carries no data"},
      {mdb, changed(clear, [](SchanCmd& c) { c.resultType = 3; }), "a clear names no result type"},
      {mdb, changed(clear, unknownOp), "unknown operation"},
      {direct, changed(bitWrite, [](SchanCmd& c) { c.memory = "EEDB"; }),
       "SCHAN command write EEDB[5] fap 0 instance 0: memory is not EEDB_AG_MEM_TLM"},
      {direct, changed(bitWrite, [](SchanCmd& c) { c.data[0] = 2; }), "data beyond bit 0"},
      {direct, changed(bitWrite, [](SchanCmd& c) { c.data[4] = 1; }), "data beyond bit 0"},
      {direct, changed(bitWrite, [](SchanCmd& c) { c.sizeBits = 2; }), "a direct entry is 1 bit"},
      {direct, changed(bitWrite, [](SchanCmd& c) { c.resultType = 1; }),
       "a direct table has no result types"},
      {direct, changed(bitWrite, unknownOp), "unknown operation"},
      {chip, changed(write, [](SchanCmd& c) { c.fapId = 129; }),
       "cannot execute write EEDB[4096] fap 129 instance 0 type 1 0x0000000001fffc00: FAP ids end "
       "at 128"},
      {chip, changed(clear, unknownOp), "unknown operation"},
      {chip, changed(write, [](SchanCmd& c) { c.sizeBits = 161; }),
       "more bits than a command carries"},
      {chip, changed(clear, [](SchanCmd& c) { c.resultType = 1; }), "a clear names no result type"},
      {chip, changed(clear, [](SchanCmd& c) { c.data[0] = 1; }), "data beyond the command's size"},
      {chip, changed(write, [](SchanCmd& c) { c.sizeBits = 0, c.data[0] = 1; }),
       "data beyond the command's size"},
      {chip, changed(write, [](SchanCmd& c) { c.data[1] = 1u << 28; }),  // bit 60 of 60
       "data beyond the command's size"},
  };
  ChipMemory model;
  model.execute(write);
  auto const placesBefore = model.places("EEDB");
  for (auto const& c : cases) {
    std::string got = "accepted";
    try {
      if (c.reader == mdb) EedbHwMdb::decode(c.cmd);
      if (c.reader == direct) Direct::decode(c.cmd);
      if (c.reader == chip) model.execute(c.cmd);
    } catch (std::exception const& e) {
      got = e.what();
    }
    std::string_view const text = c.text;
    EXPECT_TRUE(got == text || got.ends_with(fmt::format(": {}", text))) << got;
  }
  EXPECT_EQ(model.places("EEDB"), placesBefore);
  EXPECT_EQ(model.read("EEDB", 0, 0, 0x1000), contentOf(write));
  EXPECT_EQ(model.commandsExecuted(), 1u);
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
  EXPECT_EQ(d[0].place.fapId, 1u);
  EXPECT_EQ(d[0].fields.size(), 1u);
  EXPECT_EQ(d[1].shadow, "nothing");
  EXPECT_EQ(d[1].fields.size(), 4u);  // every field of the chip's entry
  EXPECT_EQ(d[2].chip, "nothing");
  EXPECT_EQ(d[3].place.fapId, 4u);
  EXPECT_EQ(d[3].fields.at(0).shadow, "5");
}

// Places whose FAP and instance ids differ (pairs that swap into each other, the null FAP): the
// entry sent where the shadow holds it agrees, and a content that decodes to no format is
// reported at its own place, in the decoder's words.
TEST(ChipMemory, ComparisonKeepsEveryPlacesFapAndInstanceApart) {
  std::pair<unsigned, unsigned> const places[] = {{3, 5}, {5, 3}, {0, 7}, {7, 0}, {128, 2}};
  for (auto const& [fap, instance] : places) {
    SCOPED_TRACE(fmt::format("fap {} instance {}", fap, instance));
    auto const table = mdbTable();
    table->setEntry(unit(fap, instance), rif(0x10, 4));
    ChipMemory chip;
    chip.execute(table->schanCmds(unit(fap, instance), Key(0x10), 60, nullptr));
    EXPECT_TRUE(compareWithShadow(chip, *table).empty());
    auto undecodable = EedbHwMdb::encode(unit(fap, instance), rif(0x10, 4));
    undecodable.resultType = 32;
    chip.execute(undecodable);
    auto const d = compareWithShadow(chip, *table);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(fmt::format("{}", d[0].place),
              fmt::format("EEDB[16] {} instance {}",
                          fap == 128 ? "every fap" : fmt::format("fap {}", fap), instance));
    EXPECT_EQ(d[0].chip, fmt::format("undecodable (SCHAN command write EEDB[16] fap {} instance "
                                     "{}: result type 32 names no format)",
                                     fap, instance));
  }
}

// A field that holds an address prints as the address the translator stored (first octet most
// significant), any other as its number: the extremes here; which fields hold addresses, and the
// addresses of every format's field at work, are the replay goldens' ("addresses"). In the
// 150-bit class the IPv6 address is words 0 to 3, its first octet the top byte of word 3.
TEST(EedbFormatTest, AddressFieldsPrintAsTheAddressTheTranslatorsStore) {
  using layout::FieldKind;
  struct Case {
    std::string_view format;
    std::string_view field;
    layout::FieldValue::Words words;  // word 0 holds bits 0 to 31
    std::string_view text;
  };
  Case const cases[] = {
      {"EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry", "ipv4Dip", {0xFFFFFFFF}, "255.255.255.255"},
      {"EedbIpv6DataDipEtpsDataIpv6Dip150Entry", "ipv6Dip", {0, 0, 0, 0}, "::"},
      {"EedbSrv6DataSidEtpsDataSid150Entry",
       "srv6SidData",
       {0x0D0E0F10, 0x090A0B0C, 0x05060708, 0x01020304},
       "102:304:506:708:90a:b0c:d0e:f10"},
      {"EedbArpEtpsRifArpStat120Entry", "statObjectId", {0x1FFFF}, "131071"},
  };
  for (auto const& c : cases) {
    auto const* field = mdb::formatByName(c.format)->field(c.field);
    ASSERT_NE(field, nullptr) << c.format << "." << c.field;
    EXPECT_EQ(layout::fieldText(field->kind, layout::FieldValue(field->width, c.words)), c.text)
        << c.format << "." << c.field;
  }
  // Up to 64 bits a value is a number; only a 128-bit one is a bit map.
  EXPECT_EQ(layout::fieldText(FieldKind::number, layout::FieldValue(64, {~0u, ~0u})),
            "18446744073709551615");
  EXPECT_EQ(layout::fieldText(FieldKind::number, layout::FieldValue(128, {1, 0, 0, 2})),
            "0x00000002000000000000000000000001");
}

}  // namespace
}  // namespace chip26_a0
