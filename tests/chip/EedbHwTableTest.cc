// The EEDB hardware tables, the MDB-backed one and the two one-bit direct ones: their shadow per
// shadow key, the SCHAN commands that follow it, table clears and decoding.
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipTestSupport.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "pelix/RangeException.h"

namespace chip26_a0 {
namespace {

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

class EedbHwMdbTest : public ::testing::Test {
 protected:
  Pelix::Ptr<EedbHwMdb> table_ = Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
};

TEST_F(EedbHwMdbTest, SetReplaceAndDeleteArePerShadowKey) {
  table_->setEntry(unit(0), rif(0x1000, 2));
  table_->setEntry(unit(0, 1), rif(0x1000, 5));
  table_->setEntry(unit(1), stat(0x1000));
  EXPECT_EQ(table_->getEntry(unit(0), Key(0x1000)), rif(0x1000, 2));
  EXPECT_EQ(table_->getEntry(unit(1), Key(0x1000)), stat(0x1000));
  // Replacing changes the one shadow key only, also to another format.
  table_->setEntry(unit(0), stat(0x1000));
  EXPECT_EQ(table_->getEntry(unit(0), Key(0x1000)), stat(0x1000));
  EXPECT_EQ(table_->getEntry(unit(0, 1), Key(0x1000)), rif(0x1000, 5));
  EXPECT_EQ(table_->entryCount(), 3u);
  table_->deleteEntry(unit(0), Key(0x1000), 90);
  EXPECT_EQ(table_->findEntry(unit(0), Key(0x1000)), nullptr);
  EXPECT_EQ(table_->getEntry(unit(0), Key(0x1000)), EedbHwMdb::Entry(Key(0x1000)));  // key only
  EXPECT_NE(table_->findEntry(unit(0, 1), Key(0x1000)), nullptr);
  // Deleting what is not there changes nothing.
  table_->deleteEntry(unit(0), Key(0x1000), 90);
  table_->deleteEntry(unit(9), Key(1), 60);
  EXPECT_EQ(table_->entryCount(), 2u);
}

// A stored entry gives one write of its size; an absent or format-less one a clear as wide as
// asked; size 0 gives nothing; 160 bits is the most a command carries.
TEST_F(EedbHwMdbTest, CommandsFollowTheShadow) {
  table_->setEntry(unit(128, 2), rif(0x1000, 2));
  table_->setEntry(unit(0), EedbHwMdb::Entry(Key(0x77)));
  EXPECT_THAT(texts(table_->schanCmds(unit(128, 2), Key(0x1000), 60, nullptr)),
              ElementsAre("write EEDB[4096] fap 128 instance 2 type 1 0x0000000001fffc04"));
  EXPECT_THAT(texts(table_->schanCmds(unit(0), Key(0x77), 90, nullptr)),
              ElementsAre("clear EEDB[119] fap 0 instance 0 type 0 0x000000000000000000000000"));
  EXPECT_THAT(texts(table_->schanCmds(unit(0), Key(0x78), 60, nullptr)),
              ElementsAre("clear EEDB[120] fap 0 instance 0 type 0 0x0000000000000000"));
  EXPECT_TRUE(table_->schanCmds(unit(128, 2), Key(0x1000), 0, nullptr).empty());
  EXPECT_EQ(table_->schanCmds(unit(0), Key(1), 160, nullptr).size(), 1u);
  try {
    table_->schanCmds(unit(0), Key(1), 161, nullptr);
    ADD_FAILURE() << "accepted 161 bits";
  } catch (Pelix::RangeException const& ex) {
    EXPECT_STREQ(ex.what(), "chip26_a0::EedbHwMdb::sizeBits 161 > 160 not allowed");
  }
}

TEST_F(EedbHwMdbTest, ClearingOneFapKeepsTheOthersAndTheNullFapClearsEvery) {
  table_->setEntry(unit(1, 1), stat(0x20));
  table_->setEntry(unit(1, 0), rif(0x30, 1));
  table_->setEntry(unit(1, 0), stat(0x10));
  table_->setEntry(unit(1, 0), EedbHwMdb::Entry(Key(0x5)));
  table_->setEntry(unit(0), rif(0x10, 1));
  table_->setEntry(unit(128, 7), rif(0x10, 1));
  // Ascending shadow key, then hardware key; each clear as wide as the removed entry.
  EXPECT_THAT(texts(table_->clearTable(SchanAccel::FapId(1))),
              ElementsAre("clear EEDB[5] fap 1 instance 0 type 0 0x00000000",
                          "clear EEDB[16] fap 1 instance 0 type 0 0x000000000000000000000000",
                          "clear EEDB[48] fap 1 instance 0 type 0 0x0000000000000000",
                          "clear EEDB[32] fap 1 instance 1 type 0 0x000000000000000000000000"));
  EXPECT_EQ(table_->entryCount(), 2u);
  EXPECT_TRUE(table_->clearTable(SchanAccel::FapId(1)).empty());
  EXPECT_THAT(texts(table_->clearTable(SchanAccel::FapId::null)),
              ElementsAre("clear EEDB[16] fap 0 instance 0 type 0 0x0000000000000000",
                          "clear EEDB[16] fap 128 instance 7 type 0 0x0000000000000000"));
  EXPECT_EQ(table_->entryCount(), 0u);
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
  EXPECT_EQ(EedbHwMdb::decode(write), rif(0x1000, 0));
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

// A stored 0 is still an entry: a write of bit 0, not a clear. Clears go in shadow order.
TEST(HwDirectTest, SetReplaceDeleteClearAndTheCommandsThatFollow) {
  auto const t = Pelix::make<Direct>(
      "direct", ZuriAsicUtils::HwTableKey{"direct", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>());
  using Key = Direct::EntryKey;
  t->setEntry(unit(128, 3), bit(0x10, 1));
  t->setEntry(unit(1), bit(0x10, 1));
  t->setEntry(unit(1), bit(0x10, 0));
  EXPECT_EQ(t->getEntry(unit(1), Key(0x10)), bit(0x10, 0));
  EXPECT_THAT(texts(t->schanCmds(unit(128, 3), Key(0x10), nullptr)),
              ElementsAre("write EEDB_AG_MEM_TLM[16] fap 128 instance 3 type 0 0x00000001"));
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

}  // namespace
}  // namespace chip26_a0
