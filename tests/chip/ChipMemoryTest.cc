// The chip memory model: writes and clears per FAP, the null FAP reaching every FAP, clears
// shorter than the entry, and the comparison with a shadow, field by field. (Commands no chip
// runs are the decode_command fuzz target's.)
#include <gtest/gtest.h>

#include "chip/ChipTestSupport.h"
#include "chip26_a0/ChipMemory.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"

namespace {

using chip26_a0::ChipMemory;
using chip26_a0::EedbHwMdb;
using chip26_a0::test::rif;
using chip26_a0::test::unit;
using ZuriAsicUtils::SchanCmd;

SchanCmd clear(unsigned fap, std::uint32_t index, unsigned bits, unsigned instance = 0) {
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
  chip.execute(clear(3, 0x10, 60));  // instance 0: instance 1 keeps its entry
  EXPECT_EQ(chip.read("EEDB", 3, 1, 0x10), contentOf(w));
  chip.execute(clear(3, 0x10, 60, 1));
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
  chip.execute(clear(5, 0x20, 60));  // FAP 5 alone clears; the others keep the common content
  EXPECT_TRUE(chip.read("EEDB", 5, 0, 0x20).empty());
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20), contentOf(every));
  chip.execute(clear(128, 0x20, 10));  // fodo sits at bits 10 to 24
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20).resultType, every.resultType);
  EXPECT_EQ(chip.read("EEDB", 6, 0, 0x20).data[0], 0x7FFFu << 10);
  chip.execute(clear(128, 0x20, 60));
  EXPECT_TRUE(chip.places("EEDB").empty());
}

// A different field, an entry the shadow lacks, one never sent, and a FAP whose own content
// differs from the null FAP's entry that it must hold.
TEST(ChipMemory, ComparisonReportsEveryDifferenceFieldByField) {
  auto const table = Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey("EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()),
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
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
  ASSERT_EQ(d[0].fields.size(), 1u);
  EXPECT_EQ(
      fmt::format("{} {} {}", d[0].fields[0].name, d[0].fields[0].shadow, d[0].fields[0].chip),
      "mtuProfile 1 9");
  EXPECT_EQ(d[1].shadow, "nothing");
  EXPECT_EQ(d[1].fields.size(), 4u);  // every field of the chip's entry
  EXPECT_EQ(d[2].chip, "nothing");
  EXPECT_EQ(d[3].place.fapId, 4u);
  EXPECT_EQ(d[3].fields.at(0).shadow, "5");
}

TEST(ChipMemory, ADirectBitOfZeroIsAClearedPlace) {
  auto table = Pelix::make<chip26_a0::EedbAgMemTlmHwDirect>(
      "t", ZuriAsicUtils::HwTableKey("t", Hardware::Zuri::FapRevision::fapRevGen3A0()),
      Pelix::make<ZuriAsicUtils::TableManager>());
  using Entry = chip26_a0::EedbAgMemTlmHwDirect::Entry;
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

}  // namespace
