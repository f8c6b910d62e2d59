// The null FAP (128) and single FAPs at one key of a hardware table: a FAP reads its own shadow
// entry, else the null FAP's of its instance. The commands of both table classes carry that to
// the chip model, which runs a null-FAP command over every FAP's own content as well.
#include <cstdint>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip26_a0/ChipMemory.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"

namespace chip26_a0 {
namespace {

using ::testing::ElementsAre;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmds;

HwShadowKey fap(unsigned id, unsigned instance = 0) {
  return {SchanAccel::FapId(id), static_cast<ZuriAsicUtils::InstanceId>(instance)};
}

std::vector<std::string> texts(SchanCmds const& cmds) {
  std::vector<std::string> out;
  for (auto const& c : cmds) out.push_back(fmt::format("{}", c));
  return out;
}

EedbHwMdb::Entry outrif(std::uint32_t key, unsigned mtu) {
  EedbHwMdb::EedbRifBasicEtpsEthRif60Entry e{EedbHwMdb::EntryKey(key)};
  e.handleInitialized();
  e.mtuProfileIs(U4(mtu));
  return e;
}
std::string rifWrite(unsigned fapId, unsigned mtu, unsigned instance = 0) {
  return fmt::format("write EEDB[16] fap {} instance {} type 1 0x{:016x}", fapId, instance,
                     mtu << 1);
}

Pelix::Ptr<EedbHwMdb> mdbTable() {
  return Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
}

// The commands of each change, as the pipeline asks for them after changing the shadow, run on
// the chip model; chip and shadow agree after every one.
class NullFapMdb : public ::testing::Test {
 protected:
  using Key = EedbHwMdb::EntryKey;
  SchanCmds set(HwShadowKey k, unsigned mtu) {
    table_->setEntry(k, outrif(0x10, mtu));
    return run(table_->schanCmds(k, Key(0x10), 60, nullptr));
  }
  SchanCmds erase(HwShadowKey k) {
    table_->deleteEntry(k, Key(0x10), 60);
    return run(table_->schanCmds(k, Key(0x10), 60, nullptr));
  }
  SchanCmds run(SchanCmds const& cmds) {
    chip_.execute(cmds);
    auto const d = compareWithShadow(chip_, *table_);
    EXPECT_TRUE(d.empty()) << fmt::format("{}", d.front());
    return cmds;
  }

  Pelix::Ptr<EedbHwMdb> table_ = mdbTable();
  ChipMemory chip_;
};

TEST_F(NullFapMdb, ASingleFapOverridesTheNullFapAndFallsBackToIt) {
  set(fap(128), 9);
  set(fap(3, 1), 4);  // another instance: no null-FAP entry to fall back to
  EXPECT_THAT(texts(set(fap(0), 2)), ElementsAre(rifWrite(0, 2)));
  // Deleting FAP 0's own entry writes the null FAP's back there, not a clear.
  EXPECT_THAT(texts(erase(fap(0))), ElementsAre(rifWrite(0, 9)));
  EXPECT_EQ(table_->findEntry(fap(0), Key(0x10)), nullptr);
  EXPECT_THAT(texts(erase(fap(3, 1))),
              ElementsAre("clear EEDB[16] fap 3 instance 1 type 0 0x0000000000000000"));
  // A delete of a FAP that never had an entry: it reads the null FAP's.
  EXPECT_THAT(texts(erase(fap(5))), ElementsAre(rifWrite(5, 9)));
}

TEST_F(NullFapMdb, ANullFapCommandIsFollowedByEverySingleFapsOwnEntry) {
  set(fap(1), 3);
  set(fap(0), 2);
  set(fap(2, 1), 7);  // another instance: not written again
  EXPECT_THAT(texts(set(fap(128), 9)),
              ElementsAre(rifWrite(128, 9), rifWrite(0, 2), rifWrite(1, 3)));
  EXPECT_THAT(texts(erase(fap(128))),
              ElementsAre("clear EEDB[16] fap 128 instance 0 type 0 0x0000000000000000",
                          rifWrite(0, 2), rifWrite(1, 3)));
  EXPECT_EQ(chip_.read("EEDB", 4, 0, 0x10), ChipMemory::Content{});
  EXPECT_EQ(chip_.read("EEDB", 2, 1, 0x10).data[0], 7u << 1);
}

TEST_F(NullFapMdb, ClearingOneFapGivesItTheNullFapsEntryBack) {
  set(fap(128), 9);
  set(fap(1), 3);
  table_->setEntry(fap(1), outrif(0x11, 3));
  run(table_->schanCmds(fap(1), Key(0x11), 60, nullptr));
  EXPECT_THAT(
      texts(run(table_->clearTable(SchanAccel::FapId(1)))),
      ElementsAre(rifWrite(1, 9), "clear EEDB[17] fap 1 instance 0 type 0 0x0000000000000000"));
  EXPECT_THAT(texts(run(table_->clearTable(SchanAccel::FapId::null))),
              ElementsAre("clear EEDB[16] fap 128 instance 0 type 0 0x0000000000000000"));
  EXPECT_TRUE(chip_.places("EEDB").empty());
}

// The direct tables: one template, so one of them.
TEST(NullFapDirect, OverrideFallBackAndRewriteAsTheMdbTable) {
  using Table = EedbAgMemTlmHwDirect;
  using Key = Table::EntryKey;
  auto const table = Pelix::make<Table>(
      "direct", ZuriAsicUtils::HwTableKey{"direct", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>());
  ChipMemory chip;
  auto const bit = [](unsigned value) {
    Table::Entry e{Key(7)};
    e.bitIs(U1(value));
    return e;
  };
  auto const write = [](unsigned fapId, unsigned value) {
    return fmt::format("write EEDB_AG_MEM_TLM[7] fap {} instance 0 type 0 0x{:08x}", fapId, value);
  };
  auto const run = [&](SchanCmds const& cmds) {
    chip.execute(cmds);
    auto const d = compareWithShadow(chip, *table);
    EXPECT_TRUE(d.empty()) << fmt::format("{}", d.front());
    return texts(cmds);
  };
  table->setEntry(fap(2), bit(0));
  run(table->schanCmds(fap(2), Key(7), nullptr));
  table->setEntry(fap(128), bit(1));
  EXPECT_THAT(run(table->schanCmds(fap(128), Key(7), nullptr)),
              ElementsAre(write(128, 1), write(2, 0)));
  table->deleteEntry(fap(2), Key(7));
  EXPECT_THAT(run(table->schanCmds(fap(2), Key(7), nullptr)), ElementsAre(write(2, 1)));
  table->setEntry(fap(2), bit(0));
  run(table->schanCmds(fap(2), Key(7), nullptr));
  EXPECT_THAT(run(table->clearTable(SchanAccel::FapId(2))), ElementsAre(write(2, 1)));
  table->deleteEntry(fap(128), Key(7));
  EXPECT_THAT(run(table->schanCmds(fap(128), Key(7), nullptr)),
              ElementsAre("clear EEDB_AG_MEM_TLM[7] fap 128 instance 0 type 0 0x00000000"));
  EXPECT_TRUE(chip.places("EEDB_AG_MEM_TLM").empty());
}

}  // namespace
}  // namespace chip26_a0
