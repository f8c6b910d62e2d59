// The two one-bit direct EEDB tables: shadow, commands, decoding, clearing.
#include "chip26_a0/EedbHwDirect.h"

#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipTestSupport.h"
#include "pelix/RangeException.h"

namespace chip26_a0 {
namespace {

using ::testing::HasSubstr;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;

HwShadowKey unit(unsigned fap, unsigned instance = 0) {
  return HwShadowKey(SchanAccel::FapId(fap), static_cast<ZuriAsicUtils::InstanceId>(instance));
}

// What differs between the two tables; the tests below run on both.
template <class Table>
struct Traits;
template <>
struct Traits<EedbAgMemTlmHwDirect> {
  static constexpr std::string_view kType = "chip26_a0::EedbAgMemTlmHwDirect";
  static constexpr std::string_view kMemory = "EEDB_AG_MEM_TLM";
  static constexpr std::string_view kField = "agFieldTlm";
  static void set(EedbAgMemTlmHwDirect::Entry& e, unsigned v) { e.agFieldTlmIs(U1(v)); }
  static unsigned get(EedbAgMemTlmHwDirect::Entry const& e) { return e.agFieldTlm().value(); }
};
template <>
struct Traits<EedbDataByLocalOutlifMsbsHwDirect> {
  static constexpr std::string_view kType = "chip26_a0::EedbDataByLocalOutlifMsbsHwDirect";
  static constexpr std::string_view kMemory = "EEDB_DATA_BY_LOCAL_OUTLIF_MSBS";
  static constexpr std::string_view kField = "eesIsDataEntryapped";
  static void set(EedbDataByLocalOutlifMsbsHwDirect::Entry& e, unsigned v) {
    e.eesIsDataEntryappedIs(U1(v));
  }
  static unsigned get(EedbDataByLocalOutlifMsbsHwDirect::Entry const& e) {
    return e.eesIsDataEntryapped().value();
  }
};

template <class Table>
class HwDirectTest : public ::testing::Test {
 protected:
  using T = Traits<Table>;
  using Entry = typename Table::Entry;
  using Key = typename Table::EntryKey;

  static Entry entry(std::uint32_t key, unsigned bit) {
    Entry e{Key(key)};
    T::set(e, bit);
    return e;
  }

  Pelix::Ptr<ZuriAsicUtils::TableManager> manager_ = Pelix::make<ZuriAsicUtils::TableManager>();
  ZuriAsicUtils::HwTableKey tableKey_{"direct", Hardware::Zuri::FapRevision::fapRevGen3A0()};
  Pelix::Ptr<Table> table_ = Pelix::make<Table>("direct", tableKey_, manager_);
};

using Tables = ::testing::Types<EedbAgMemTlmHwDirect, EedbDataByLocalOutlifMsbsHwDirect>;
TYPED_TEST_SUITE(HwDirectTest, Tables);

TYPED_TEST(HwDirectTest, NamesItsTypeAndEntersItsManager) {
  EXPECT_EQ(this->table_->tableType(), TestFixture::T::kType);
  EXPECT_EQ(*this->manager_->findTable(this->tableKey_), this->table_.get());
  EXPECT_FALSE(TypeParam::kEntriesHaveSize);
  EXPECT_EQ(this->entry(1, 1).entrySizeBits(), 0u);
}

TYPED_TEST(HwDirectTest, SetReplaceDeleteAndReadBackPerShadowKey) {
  auto& t = *this->table_;
  using Key = typename TestFixture::Key;
  t.setEntry(unit(0), this->entry(0xFFFF, 1));
  t.setEntry(unit(1), this->entry(0xFFFF, 0));
  EXPECT_EQ(TestFixture::T::get(t.getEntry(unit(0), Key(0xFFFF))), 1u);
  EXPECT_EQ(t.getEntry(unit(1), Key(0xFFFF)), this->entry(0xFFFF, 0));
  EXPECT_NE(t.findEntry(unit(1), Key(0xFFFF)), nullptr);  // a stored 0 is still an entry

  t.setEntry(unit(0), this->entry(0xFFFF, 0));
  EXPECT_EQ(TestFixture::T::get(t.getEntry(unit(0), Key(0xFFFF))), 0u);
  EXPECT_EQ(t.entryCount(), 2u);

  t.deleteEntry(unit(0), Key(0xFFFF));
  EXPECT_EQ(t.findEntry(unit(0), Key(0xFFFF)), nullptr);
  EXPECT_EQ(t.getEntry(unit(0), Key(0xFFFF)), typename TestFixture::Entry(Key(0xFFFF)));
  EXPECT_EQ(t.entryCount(unit(1)), 1u);
}

TYPED_TEST(HwDirectTest, EveryCallGivesOneCommandWriteWhenStoredClearWhenNot) {
  auto& t = *this->table_;
  using Key = typename TestFixture::Key;
  t.setEntry(unit(128, 3), this->entry(0x10, 1));
  auto cmds = t.schanCmds(unit(128, 3), Key(0x10), nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::write);
  EXPECT_EQ(cmds[0].memory, TestFixture::T::kMemory);
  EXPECT_EQ(cmds[0].fapId, 128);
  EXPECT_EQ(cmds[0].instanceId, 3);
  EXPECT_EQ(cmds[0].index, 0x10u);
  EXPECT_EQ(cmds[0].sizeBits, 1);
  EXPECT_EQ(cmds[0].data[0], 1u);
  EXPECT_EQ(TypeParam::decode(cmds[0]), this->entry(0x10, 1));

  cmds = t.schanCmds(unit(0), Key(0x10), nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 1);
  EXPECT_EQ(TypeParam::decode(cmds[0]), std::nullopt);
}

TYPED_TEST(HwDirectTest, DecodingTheEncodingGivesTheEntryBack) {
  for (unsigned bit : {0u, 1u}) {
    auto const e = this->entry(0xFFFFFFFFu, bit);
    EXPECT_EQ(TypeParam::decode(TypeParam::encode(unit(7, 7), e)), e);
  }
}

TYPED_TEST(HwDirectTest, ACommandOfAnotherShapeFailsToDecode) {
  auto const good = TypeParam::encode(unit(0), this->entry(5, 1));
  auto errorOf = [](SchanCmd const& cmd) -> std::string {
    try {
      TypeParam::decode(cmd);
    } catch (SchanDecodeException const& ex) {
      return ex.what();
    }
    return "decoded";
  };
  auto cmd = good;
  cmd.memory = "EEDB";
  EXPECT_EQ(errorOf(cmd), fmt::format("SCHAN command write EEDB[5] fap 0 instance 0: memory is "
                                      "not {}",
                                      TestFixture::T::kMemory));
  cmd = good;
  cmd.data[0] = 2;
  EXPECT_THAT(errorOf(cmd), HasSubstr("data beyond bit 0"));
  cmd = good;
  cmd.data[4] = 1;
  EXPECT_THAT(errorOf(cmd), HasSubstr("data beyond bit 0"));
  cmd = good;
  cmd.sizeBits = 2;
  EXPECT_THAT(errorOf(cmd), HasSubstr("a direct entry is 1 bit"));
  cmd = good;
  cmd.resultType = 1;
  EXPECT_THAT(errorOf(cmd), HasSubstr("a direct table has no result types"));
}

TYPED_TEST(HwDirectTest, ClearingAFapRemovesItsEntriesInShadowOrder) {
  auto& t = *this->table_;
  t.setEntry(unit(2, 1), this->entry(1, 1));
  t.setEntry(unit(2, 0), this->entry(9, 0));
  t.setEntry(unit(2, 0), this->entry(3, 1));
  t.setEntry(unit(4), this->entry(3, 1));
  auto cmds = t.clearTable(SchanAccel::FapId(2));
  ASSERT_EQ(cmds.size(), 3u);
  EXPECT_EQ(fmt::format("{}", cmds[0]),
            fmt::format("clear {}[3] fap 2 instance 0 type 0 0x00000000", TestFixture::T::kMemory));
  EXPECT_EQ(cmds[1].index, 9u);
  EXPECT_EQ(cmds[2].instanceId, 1);
  EXPECT_EQ(t.entryCount(), 1u);
  cmds = t.clearTable(SchanAccel::FapId::null);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].fapId, 4);
  EXPECT_EQ(t.entryCount(), 0u);
}

TYPED_TEST(HwDirectTest, VisitsAndPrintsEntries) {
  auto& t = *this->table_;
  t.setEntry(unit(1), this->entry(0x20, 1));
  t.setEntry(unit(0), this->entry(0x30, 0));
  std::vector<std::string> seen;
  t.forEachEntry([&](HwShadowKey sk, typename TestFixture::Entry const& e) {
    seen.push_back(fmt::format("{}: {}", sk, e));
  });
  EXPECT_THAT(
      seen, ::testing::ElementsAre(
                fmt::format("fap 0 instance 0: Entry{{key=0x30, {}=0}}", TestFixture::T::kField),
                fmt::format("fap 1 instance 0: Entry{{key=0x20, {}=1}}", TestFixture::T::kField)));
}

TYPED_TEST(HwDirectTest, HotPathsDoNotAllocate) {
  auto& t = *this->table_;
  using Key = typename TestFixture::Key;
  t.setEntry(unit(0), this->entry(1, 0));
  t.setEntry(unit(0), this->entry(2, 0));
  std::size_t n = 0;
  test::AllocationProbe probe;
  t.setEntry(unit(0), this->entry(1, 1));
  t.deleteEntry(unit(0), Key(2));
  n += t.schanCmds(unit(0), Key(1), nullptr).size();
  n += t.schanCmds(unit(0), Key(2), nullptr).size();
  n += TestFixture::T::get(t.getEntry(unit(0), Key(1)));
  EXPECT_EQ(probe.count(), 0u);
  EXPECT_EQ(n, 3u);
}

TEST(HwDirectEntryTest, TheFieldIsOneBit) {
  EedbAgMemTlmHwDirect::Entry e{EedbAgMemTlmHwDirect::EntryKey(1)};
  try {
    e.agFieldTlmIs(U1(2));
    FAIL() << "accepted 2";
  } catch (Pelix::RangeException const& ex) {
    EXPECT_STREQ(ex.what(), "U1::value < 0 or > 0x01 not allowed");
  }
  EXPECT_EQ(e.agFieldTlm(), U1(0));
  EXPECT_TRUE(e.isEq(EedbAgMemTlmHwDirect::Entry(EedbAgMemTlmHwDirect::EntryKey(1))));
  EXPECT_FALSE(e.isEq(EedbAgMemTlmHwDirect::Entry()));
}

}  // namespace
}  // namespace chip26_a0
