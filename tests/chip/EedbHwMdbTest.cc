// The MDB-backed EEDB table: its shadow per shadow key, its SCHAN commands and their decoding.
#include "chip26_a0/EedbHwMdb.h"

#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipTestSupport.h"
#include "pelix/RangeException.h"

namespace chip26_a0 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;
using Key = EedbHwMdb::EntryKey;

HwShadowKey unit(unsigned fap, unsigned instance = 0) {
  return HwShadowKey(SchanAccel::FapId(fap), static_cast<ZuriAsicUtils::InstanceId>(instance));
}

EedbHwMdb::Entry rif(std::uint32_t key, unsigned mtu) {
  EedbHwMdb::EedbRifBasicEtpsEthRif60Entry e{Key(key)};
  e.handleInitialized();
  e.mtuProfileIs(U4(mtu));
  return e;
}

EedbHwMdb::Entry stat(std::uint32_t key, unsigned id) {
  EedbHwMdb::EedbStatEtpsOnlyStat90Entry e{Key(key)};
  e.handleInitialized();
  e.statObjectCmdIs(U5(3));
  e.statObjectIdIs(U17(id));
  return e;
}

class EedbHwMdbTest : public ::testing::Test {
 protected:
  Pelix::Ptr<ZuriAsicUtils::TableManager> manager_ = Pelix::make<ZuriAsicUtils::TableManager>();
  ZuriAsicUtils::HwTableKey tableKey_{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()};
  Pelix::Ptr<EedbHwMdb> table_ = Pelix::make<EedbHwMdb>("EedbHwMdb", tableKey_, manager_,
                                                        Pelix::make<ZuriMdb::TableManager>());
};

TEST_F(EedbHwMdbTest, EntersItsTableManagerAndNamesItsType) {
  EXPECT_EQ(table_->tableType(), "chip26_a0::EedbHwMdb");
  auto found = manager_->findTable(tableKey_);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, table_.get());
  table_.reset();
  EXPECT_FALSE(manager_->findTable(tableKey_).has_value());
}

TEST_F(EedbHwMdbTest, SetReplaceAndDeleteArePerShadowKey) {
  table_->setEntry(unit(0), rif(0x1000, 2));
  table_->setEntry(unit(0, 1), rif(0x1000, 5));
  table_->setEntry(unit(1), stat(0x1000, 7));

  EXPECT_EQ(table_->getEntry(unit(0), Key(0x1000)), rif(0x1000, 2));
  EXPECT_EQ(table_->getEntry(unit(0, 1), Key(0x1000)), rif(0x1000, 5));
  EXPECT_EQ(table_->getEntry(unit(1), Key(0x1000)), stat(0x1000, 7));
  EXPECT_EQ(table_->entryCount(), 3u);

  // Replacing changes the one shadow key only, also to another format.
  table_->setEntry(unit(0), stat(0x1000, 9));
  EXPECT_EQ(table_->getEntry(unit(0), Key(0x1000)), stat(0x1000, 9));
  EXPECT_EQ(table_->getEntry(unit(0, 1), Key(0x1000)), rif(0x1000, 5));
  EXPECT_EQ(table_->entryCount(unit(0)), 1u);

  table_->deleteEntry(unit(0), Key(0x1000), 90);
  EXPECT_EQ(table_->findEntry(unit(0), Key(0x1000)), nullptr);
  EXPECT_NE(table_->findEntry(unit(0, 1), Key(0x1000)), nullptr);
  EXPECT_EQ(table_->entryCount(), 2u);

  // Deleting what is not there changes nothing.
  table_->deleteEntry(unit(0), Key(0x1000), 90);
  table_->deleteEntry(unit(9), Key(1), 60);
  EXPECT_EQ(table_->entryCount(), 2u);
}

TEST_F(EedbHwMdbTest, ReadingAnAbsentEntryGivesTheKeyOnlyEntry) {
  EXPECT_EQ(table_->getEntry(unit(3), Key(0x42)), EedbHwMdb::Entry(Key(0x42)));
  EXPECT_EQ(table_->findEntry(unit(3), Key(0x42)), nullptr);
  // A key-only entry can be stored, and is then found.
  table_->setEntry(unit(3), EedbHwMdb::Entry(Key(0x42)));
  ASSERT_NE(table_->findEntry(unit(3), Key(0x42)), nullptr);
  EXPECT_FALSE(table_->findEntry(unit(3), Key(0x42))->hasFormat());
}

TEST_F(EedbHwMdbTest, AWriteCommandCarriesTheStoredEntry) {
  auto const e = rif(0x1000, 2);
  table_->setEntry(unit(5, 2), e);
  auto const cmds = table_->schanCmds(unit(5, 2), Key(0x1000), 60, nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  auto const& c = cmds[0];
  EXPECT_EQ(c.op, SchanCmd::Op::write);
  EXPECT_EQ(c.fapId, 5);
  EXPECT_EQ(c.instanceId, 2);
  EXPECT_EQ(c.memory, "EEDB");
  EXPECT_EQ(c.index, 0x1000u);
  EXPECT_EQ(c.resultType, 1);
  EXPECT_EQ(c.sizeBits, 60);
  EXPECT_EQ(c.data[0], 2u << 1);  // mtuProfile at bits 1..4
  EXPECT_EQ(EedbHwMdb::decode(c), e);
}

TEST_F(EedbHwMdbTest, SizeZeroMeansNoCommand) {
  table_->setEntry(unit(0), rif(1, 1));
  EXPECT_TRUE(table_->schanCmds(unit(0), Key(1), 0, nullptr).empty());
  EXPECT_TRUE(table_->schanCmds(unit(0), Key(2), 0, nullptr).empty());
}

TEST_F(EedbHwMdbTest, AnAbsentOrFormatlessEntryGivesAClearOfItsPlace) {
  auto cmds = table_->schanCmds(unit(0), Key(0x77), 150, nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 150);
  EXPECT_EQ(cmds[0].resultType, 0);
  EXPECT_EQ(cmds[0].data, (std::array<std::uint32_t, 5>{}));
  EXPECT_EQ(EedbHwMdb::decode(cmds[0]), std::nullopt);

  table_->setEntry(unit(0), EedbHwMdb::Entry(Key(0x77)));
  cmds = table_->schanCmds(unit(0), Key(0x77), 90, nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 90);
}

TEST_F(EedbHwMdbTest, TheNullFapIdIsAShadowKeyOfItsOwnAndAddressesEveryFap) {
  table_->setEntry(unit(128, 0), rif(9, 3));
  EXPECT_EQ(table_->findEntry(unit(0, 0), Key(9)), nullptr);
  auto const cmds = table_->schanCmds(unit(128, 0), Key(9), 60, nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].fapId, 128);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::write);
}

TEST_F(EedbHwMdbTest, ASizeTooLargeForACommandIsRefused) {
  try {
    table_->schanCmds(unit(0), Key(1), 161, nullptr);
    FAIL() << "accepted 161 bits";
  } catch (Pelix::RangeException const& ex) {
    EXPECT_STREQ(ex.what(), "chip26_a0::EedbHwMdb::sizeBits 161 > 160 not allowed");
  }
  EXPECT_EQ(table_->schanCmds(unit(0), Key(1), 160, nullptr).size(), 1u);
}

std::vector<std::string> texts(ZuriAsicUtils::SchanCmds const& cmds) {
  std::vector<std::string> out;
  for (auto const& c : cmds) out.push_back(fmt::format("{}", c));
  return out;
}

TEST_F(EedbHwMdbTest, ClearingOneFapKeepsTheOthers) {
  table_->setEntry(unit(1, 1), stat(0x20, 1));
  table_->setEntry(unit(1, 0), rif(0x30, 1));
  table_->setEntry(unit(1, 0), stat(0x10, 1));
  table_->setEntry(unit(1, 0), EedbHwMdb::Entry(Key(0x5)));
  table_->setEntry(unit(0), rif(0x10, 1));
  table_->setEntry(unit(128), rif(0x10, 1));

  auto const cmds = table_->clearTable(SchanAccel::FapId(1));
  // Ascending shadow key, then hardware key; each clear as wide as the removed entry.
  EXPECT_THAT(texts(cmds),
              ElementsAre("clear EEDB[5] fap 1 instance 0 type 0 0x00000000",
                          "clear EEDB[16] fap 1 instance 0 type 0 0x000000000000000000000000",
                          "clear EEDB[48] fap 1 instance 0 type 0 0x0000000000000000",
                          "clear EEDB[32] fap 1 instance 1 type 0 0x000000000000000000000000"));
  EXPECT_EQ(cmds[1].sizeBits, 90);
  EXPECT_EQ(cmds[2].sizeBits, 60);
  EXPECT_EQ(table_->entryCount(unit(1, 0)), 0u);
  EXPECT_EQ(table_->entryCount(unit(1, 1)), 0u);
  EXPECT_EQ(table_->entryCount(), 2u);
  EXPECT_TRUE(table_->clearTable(SchanAccel::FapId(1)).empty());
}

TEST_F(EedbHwMdbTest, ClearingTheNullFapClearsEveryFap) {
  table_->setEntry(unit(3), rif(1, 1));
  table_->setEntry(unit(0), rif(2, 1));
  table_->setEntry(unit(128, 7), rif(3, 1));
  auto const cmds = table_->clearTable(SchanAccel::FapId::null);
  ASSERT_EQ(cmds.size(), 3u);
  EXPECT_EQ(cmds[0].fapId, 0);
  EXPECT_EQ(cmds[1].fapId, 3);
  EXPECT_EQ(cmds[2].fapId, 128);
  EXPECT_EQ(cmds[2].instanceId, 7);
  EXPECT_EQ(table_->entryCount(), 0u);
}

TEST_F(EedbHwMdbTest, VisitingGoesByShadowKeyThenHardwareKey) {
  for (std::uint32_t k : {300u, 7u, 0x100000u, 42u}) table_->setEntry(unit(2), rif(k, 1));
  table_->setEntry(unit(1, 9), rif(999, 1));
  std::vector<std::string> seen;
  table_->forEachEntry([&](HwShadowKey sk, EedbHwMdb::Entry const& e) {
    seen.push_back(fmt::format("{}/{}", sk, e.key()));
  });
  EXPECT_THAT(seen,
              ElementsAre("fap 1 instance 9/0x3e7", "fap 2 instance 0/0x7", "fap 2 instance 0/0x2a",
                          "fap 2 instance 0/0x12c", "fap 2 instance 0/0x100000"));
}

TEST_F(EedbHwMdbTest, HotPathsDoNotAllocate) {
  for (std::uint32_t k = 0; k < 64; ++k) table_->setEntry(unit(0), rif(k, 1));
  auto const replacement = stat(5, 77);
  std::size_t found = 0;
  std::size_t commands = 0;
  test::AllocationProbe probe;
  {
    EedbHwMdb::EedbSrv6DataSidEtpsDataSid150Entry sid{Key(9)};
    sid.handleInitialized();
    sid.srv6SidDataIs(test::wideOf(1, 2, 3, 4));
    sid.nextOutlifPointerIs(U20(0xFFFFF));
    table_->setEntry(unit(0), replacement);                                // replace
    table_->deleteEntry(unit(0), Key(6), 60);                              // delete
    found += table_->getEntry(unit(0), Key(5)).isEq(replacement) ? 1 : 0;  // read
    found += table_->findEntry(unit(0), Key(7)) != nullptr ? 1 : 0;
    commands += table_->schanCmds(unit(0), Key(5), 90, nullptr).size();  // write
    commands += table_->schanCmds(unit(0), Key(6), 60, nullptr).size();  // clear
    commands += EedbHwMdb::encode(unit(0), sid).sizeBits == 150 ? 1 : 0;
  }
  EXPECT_EQ(probe.count(), 0u);
  EXPECT_EQ(found, 2u);
  // The probe does see allocations: a new shadow key allocates.
  table_->setEntry(unit(9), replacement);
  EXPECT_GT(probe.count(), 0u);
  EXPECT_EQ(commands, 3u);
}

// --- Encoding and decoding ---

class EveryFormatCommand : public ::testing::TestWithParam<layout::FormatSpec const*> {};

TEST_P(EveryFormatCommand, DecodingTheEncodingGivesTheEntryBack) {
  auto const& spec = *GetParam();
  auto const e = test::withExtremes(spec, 0xFFFFFFFFu);
  auto const cmd = EedbHwMdb::encode(unit(128, 255), e);
  EXPECT_EQ(cmd.resultType, spec.code);
  EXPECT_EQ(cmd.sizeBits, spec.sizeBits);
  auto const back = EedbHwMdb::decode(cmd);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, e) << fmt::format("{}\n{}", *back, e);
  for (auto const& f : spec.fields) EXPECT_EQ(back->fieldValue(f), e.fieldValue(f)) << f.name;

  // Through the shadow as well.
  EedbHwMdb table("t", {"t", Hardware::Zuri::FapRevision::fapRevGen3A0()}, nullptr, nullptr);
  table.setEntry(unit(4, 4), e);
  auto const cmds = table.schanCmds(unit(4, 4), e.key(), spec.sizeBits, nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(EedbHwMdb::decode(cmds[0]), e);
}

TEST_P(EveryFormatCommand, AnyBitBeyondTheFieldsFailsToDecode) {
  auto const& spec = *GetParam();
  for (unsigned bit = spec.usedBits(); bit < 160; ++bit) {
    auto cmd = EedbHwMdb::encode(unit(0), test::stamped(spec));
    cmd.data[bit / 32] |= 1u << (bit % 32);
    EXPECT_THROW(EedbHwMdb::decode(cmd), SchanDecodeException) << "bit " << bit;
  }
}

INSTANTIATE_TEST_SUITE_P(All, EveryFormatCommand,
                         ::testing::ValuesIn(EedbHwMdb::formats().begin(),
                                             EedbHwMdb::formats().end()),
                         [](auto const& info) { return std::string(info.param->name); });

std::string decodeError(SchanCmd const& cmd) {
  try {
    EedbHwMdb::decode(cmd);
  } catch (SchanDecodeException const& ex) {
    return ex.what();
  }
  return "decoded";
}

SchanCmd aClear() {
  return EedbHwMdb::encode(unit(0), EedbHwMdb::Entry(Key(1)));
}

TEST(EedbHwMdbDecodeTest, ACommandThatMatchesNoFormatNamesTheReason) {
  EedbHwMdb::EedbRifBasicEtpsEthRif60Entry e{Key(0x1000)};
  e.handleInitialized();
  auto const good = EedbHwMdb::encode(unit(0), e);

  auto cmd = good;
  cmd.memory = "EEDB_AG_MEM_TLM";
  EXPECT_EQ(decodeError(cmd),
            "SCHAN command write EEDB_AG_MEM_TLM[4096] fap 0 instance 0: memory is not EEDB");

  cmd = good;
  cmd.resultType = 32;
  EXPECT_EQ(decodeError(cmd),
            "SCHAN command write EEDB[4096] fap 0 instance 0: result type 32 names no format");

  cmd = good;
  cmd.resultType = 0;
  EXPECT_THAT(decodeError(cmd), HasSubstr("a write names no result type"));

  cmd = good;
  cmd.sizeBits = 90;
  EXPECT_THAT(decodeError(cmd),
              HasSubstr("EedbRifBasicEtpsEthRif60Entry (result type 1) is 60 bits, not 90"));

  cmd = good;
  cmd.data[0] |= 1u << 25;  // the fields end at bit 24
  EXPECT_THAT(decodeError(cmd),
              HasSubstr("bit 25 is set, outside the fields of EedbRifBasicEtpsEthRif60Entry "
                        "(bits 0 to 24)"));

  cmd = good;
  cmd.sizeBits = 200;
  EXPECT_THAT(decodeError(cmd), HasSubstr("200 bits do not fit in a command"));

  cmd = aClear();
  cmd.data[2] = 1;
  EXPECT_THAT(decodeError(cmd), HasSubstr("a clear carries no data"));
  cmd = aClear();
  cmd.resultType = 3;
  EXPECT_THAT(decodeError(cmd), HasSubstr("a clear names no result type"));
}

}  // namespace
}  // namespace chip26_a0
