// The two direct EEDB tables through the plug-in loaded with dlopen: one bit per 16-bit key in a
// table of their own, shadow writes and commands without entry sizes, readback, clearing one FAP,
// and the failures of the bit and of the FAP id.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "chip26_a0/EedbHwDirect.h"
#include "pelix/RangeException.h"

namespace eedb::test {
namespace {

using ::testing::ElementsAre;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;

constexpr char const* kFapRange =
    "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null not allowed";

struct AgMemTlm {
  using Table = chip26_a0::EedbAgMemTlmHwDirect;
  using LogEntry = ZuriErrm::EedbAgMemTlmLogEntry;
  using Wrapper = ZuriErrm::EedbAgMemTlmLogEntryWrapper;
  static constexpr std::string_view kName = "chip26_a0::ZuriErrmUtil::EedbAgMemTlmUtil";
  static constexpr std::string_view kShortName = "EedbAgMemTlmUtil";
  static constexpr std::string_view kTableType = "chip26_a0::EedbAgMemTlmHwDirect";
  static constexpr std::string_view kMemory = "EEDB_AG_MEM_TLM";
  static LogEntry entry(std::uint16_t key, std::uint8_t bit) {
    LogEntry e;
    e.keyIs(ZuriErrm::EedbAgMemTlmEntryKey(key));
    e.agFieldTlmIs(bit);
    return e;
  }
  static std::uint64_t bitOf(Table::Entry const& e) { return e.agFieldTlm().value(); }
};

struct DataByLocalOutlifMsbs {
  using Table = chip26_a0::EedbDataByLocalOutlifMsbsHwDirect;
  using LogEntry = ZuriErrm::EedbDataByLocalOutlifMsbsLogEntry;
  using Wrapper = ZuriErrm::EedbDataByLocalOutlifMsbsLogEntryWrapper;
  static constexpr std::string_view kName =
      "chip26_a0::ZuriErrmUtil::EedbDataByLocalOutlifMsbsUtil";
  static constexpr std::string_view kShortName = "EedbDataByLocalOutlifMsbsUtil";
  static constexpr std::string_view kTableType = "chip26_a0::EedbDataByLocalOutlifMsbsHwDirect";
  static constexpr std::string_view kMemory = "EEDB_DATA_BY_LOCAL_OUTLIF_MSBS";
  static LogEntry entry(std::uint16_t key, std::uint8_t bit) {
    LogEntry e;
    e.keyIs(ZuriErrm::EedbDataByLocalOutlifMsbsEntryKey(key));
    e.eesIsDataEntryappedIs(bit);
    return e;
  }
  static std::uint64_t bitOf(Table::Entry const& e) { return e.eesIsDataEntryapped().value(); }
};

template <class T>
class DirectTable : public ::testing::Test {
 protected:
  using Table = typename T::Table;
  using Entry = typename Table::Entry;
  using EntryKey = typename Table::EntryKey;

  void SetUp() override {
    util_ = create(T::kName, m_);
    addFap(*util_, 0);
    addFap(*util_, 1);
    std::any result;
    ASSERT_EQ(reflect(*util_, "hwTable", Pelix::Access::read, {}, &result), Pelix::kInspectDone);
    table_ = std::any_cast<Pelix::Ptr<Table>>(result);
    ASSERT_NE(table_, nullptr);
  }

  static Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(typename T::LogEntry const& e,
                                                       std::uint16_t unit = 0,
                                                       std::uint8_t flags = 0) {
    return wrap<typename T::Wrapper>(e, unit, flags);
  }

  Entry const* stored(unsigned fapId, unsigned instanceId, std::uint32_t key) const {
    return table_->findEntry(
        HwShadowKey(SchanAccel::FapId(fapId), static_cast<ZuriAsicUtils::InstanceId>(instanceId)),
        EntryKey(key));
  }

  static Entry expectedEntry(std::uint32_t key, unsigned bit) {
    Entry e{EntryKey(key)};
    e.bitIs(U1(bit));
    return e;
  }

  template <class E>
  std::string raisesUntouched(std::function<void()> const& fn) {
    return test::raisesUntouched<E>({util_.get()}, fn);
  }

  Managers m_;
  Pelix::Ptr<UtilBase> util_;
  Pelix::Ptr<Table> table_;
};

using DirectTables = ::testing::Types<AgMemTlm, DataByLocalOutlifMsbs>;
TYPED_TEST_SUITE(DirectTable, DirectTables);

TYPED_TEST(DirectTable, IsBoundToATableOfItsOwn) {
  EXPECT_EQ(std::string(this->util_->hwTableType()), TypeParam::kTableType);
  EXPECT_EQ(std::string(this->table_->tableType()), TypeParam::kTableType);
  // Not the revision's EEDB, nor the other direct table.
  auto outrifUtil = create(kOutrif, this->m_);
  EXPECT_NE(static_cast<void const*>(mdbTable(*outrifUtil).get()),
            static_cast<void const*>(this->table_.get()));
  auto second = create(TypeParam::kName, this->m_);
  EXPECT_EQ(second->hwTableBase().get(), this->util_->hwTableBase().get());
}

TYPED_TEST(DirectTable, AddWritesTheBitUnderTheSoftwareKeyWithoutSize) {
  struct Case {
    std::uint16_t key;
    std::uint8_t bit;
    std::uint16_t unit;
  };
  // 0xFFFF stays 0xFFFF: widened without sign extension or offset.
  Case const cases[] = {{0x0000, 1, 0x0000},
                        {0x0010, 0, 0x0000},
                        {0x8000, 1, 0x0103},
                        {0xFFFF, 1, 0x0000},
                        {0xFFFF, 0, 0x8002}};
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("key {:#x} bit {} unit {:#06x}", c.key, c.bit, c.unit));
    auto const e = TypeParam::entry(c.key, c.bit);
    auto const fapId = c.unit >> 8, instanceId = c.unit & 0xFF;
    EXPECT_EQ(this->util_->writeSwEntryToShadow(this->wrapped(e, c.unit)), 0u);
    auto const cmds = this->util_->processSwEntry(this->wrapped(e, c.unit));

    auto const* entry = this->stored(fapId, instanceId, c.key);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(*entry, this->expectedEntry(c.key, c.bit));
    EXPECT_EQ(TypeParam::bitOf(*entry), c.bit);
    EXPECT_EQ(entry->entrySizeBits(), 0u);
    EXPECT_EQ(call<typename TestFixture::Entry>(
                  *this->util_, "readShadowEntry",
                  {SchanAccel::FapId(fapId), ZuriAsicUtils::InstanceId(instanceId),
                   typename TestFixture::EntryKey(c.key)}),
              *entry);
    EXPECT_EQ(
        call<typename TestFixture::EntryKey>(*this->util_, "mapToHwKey", {e, Asic::UnitId(c.unit)})
            .value(),
        c.key);

    // One write of one bit, which decodes back to the shadow entry.
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].op, SchanCmd::Op::write);
    EXPECT_EQ(cmds[0].memory, TypeParam::kMemory);
    EXPECT_EQ(cmds[0].fapId, fapId);
    EXPECT_EQ(cmds[0].instanceId, instanceId);
    EXPECT_EQ(cmds[0].index, c.key);
    EXPECT_EQ(cmds[0].sizeBits, 1u);
    EXPECT_EQ(cmds[0].data[0], c.bit);
    EXPECT_EQ(TestFixture::Table::decode(cmds[0]), *entry);
    // Whatever size the caller passes, the table is asked without one.
    EXPECT_EQ(this->util_->getSchanCmds(this->wrapped(e, c.unit), 150), cmds);
  }
  EXPECT_EQ(this->util_->stats()->addCnt(), 10u);
  EXPECT_EQ(enqueued(*this->util_, 0, 0), 6u);
}

TYPED_TEST(DirectTable, FieldAboveOneFailsAndWritesNothing) {
  this->util_->processSwEntry(this->wrapped(TypeParam::entry(0x20, 1)));
  for (std::uint8_t bit : {2, 255}) {
    auto const e = TypeParam::entry(0x20, bit);
    auto const expected =
        fmt::format("translateToHwFormat: [logEntry: {}]: U1::value < 0 or > 0x01 not allowed", e);
    EXPECT_EQ(this->template raisesUntouched<Asic::OrderedTableException>(
                  [&] { this->util_->processSwEntry(this->wrapped(e)); }),
              expected);
    EXPECT_EQ(this->template raisesUntouched<Asic::OrderedTableException>(
                  [&] { this->util_->writeSwEntryToShadow(this->wrapped(e)); }),
              expected);
  }
  EXPECT_EQ(this->stored(0, 0, 0x20)->bit(), U1(1));
}

TYPED_TEST(DirectTable, DeleteRemovesWithoutTranslatingOrSize) {
  this->util_->processSwEntry(this->wrapped(TypeParam::entry(0x30, 1)));
  this->util_->processSwEntry(this->wrapped(TypeParam::entry(0x31, 1)));
  this->table_->updateOnDeleteIs(true);  // the blank revert deletes all the same
  EXPECT_EQ(call<typename TestFixture::Entry>(*this->util_, "revertHwEntry",
                                              {this->wrapped(TypeParam::entry(0x30, 1))}),
            typename TestFixture::Entry(typename TestFixture::EntryKey()));

  // A delete takes no size, so the entry is not translated: a bad bit does not stop it.
  auto const del = this->wrapped(TypeParam::entry(0x30, 2), 0, kDelete);
  EXPECT_EQ(this->util_->writeSwEntryToShadow(del), 0u);
  EXPECT_EQ(this->stored(0, 0, 0x30), nullptr);
  auto const cmds = this->util_->processSwEntry(del);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].index, 0x30u);
  EXPECT_EQ(cmds[0].sizeBits, 1u);
  EXPECT_EQ(TestFixture::Table::decode(cmds[0]), std::nullopt);
  EXPECT_EQ(this->util_->stats()->deleteCnt(), 2u);
  EXPECT_EQ(this->util_->stats()->updateOnDelCnt(), 0u);
  EXPECT_NE(this->stored(0, 0, 0x31), nullptr);
}

TYPED_TEST(DirectTable, ClearRemovesOneFapOfItsOwnTableOnly) {
  auto other = create(kOutrif, this->m_);
  addFap(*other, 1);
  other->processSwEntry(outrif(outrifEntry(0x40), 0x0100));
  for (std::uint16_t unit : {0x0000, 0x0100, 0x0102}) {
    for (std::uint16_t key : {0x41, 0x40}) {
      this->util_->processSwEntry(this->wrapped(TypeParam::entry(key, 1), unit));
    }
  }
  ASSERT_EQ(this->table_->entryCount(), 6u);

  auto const cmds = this->util_->clearHwTable(Asic::UnitId(0x0105));
  // One clear per removed entry, in shadow key then hardware key order.
  std::vector<std::tuple<unsigned, unsigned, std::uint32_t>> cleared;
  for (auto const& c : cmds) {
    EXPECT_EQ(c.op, SchanCmd::Op::clear);
    EXPECT_EQ(c.memory, TypeParam::kMemory);
    cleared.emplace_back(c.fapId, c.instanceId, c.index);
  }
  EXPECT_THAT(cleared, ElementsAre(std::tuple{1u, 0u, 0x40u}, std::tuple{1u, 0u, 0x41u},
                                   std::tuple{1u, 2u, 0x40u}, std::tuple{1u, 2u, 0x41u}));
  EXPECT_EQ(this->table_->entryCount(), 2u);
  EXPECT_NE(this->stored(0, 0, 0x40), nullptr);
  EXPECT_EQ(mdbTable(*other)->entryCount(), 1u);
  EXPECT_TRUE(this->util_->clearHwTable(Asic::UnitId(0x0100)).empty());
}

TYPED_TEST(DirectTable, EveryEntryOfTheMaskIsApplicable) {
  TraceCapture const traces(fmt::format("{}/3", TypeParam::kShortName));
  for (std::uint8_t bit : {0, 1, 2, 255}) {
    for (std::uint16_t key : {0x0, 0xFFFF}) {
      EXPECT_TRUE(this->util_->utilApplicable(this->wrapped(TypeParam::entry(key, bit), 0x0100)));
      EXPECT_TRUE(this->util_->utilApplicable(this->wrapped(TypeParam::entry(key, bit), 0x8000)));
    }
  }
  EXPECT_TRUE(traces.lines().empty());  // no "not Applicable" in these tables

  EXPECT_FALSE(this->util_->utilApplicable(this->wrapped(TypeParam::entry(0, 1), 0x0200)));
  EXPECT_EQ(this->util_->stats()->fapmaskMismatch(), 1u);
  EXPECT_TRUE(
      this->util_->utilApplicable(this->wrapped(TypeParam::entry(0, 1), 0x0100, kTableDelete)));
  std::vector<std::string> messages;
  for (auto const& line : traces.lines()) messages.push_back(line.message);
  EXPECT_THAT(messages, ElementsAre("Ignoring due to fapmask  mismatch",
                                    fmt::format(" {} util is applicable for table delete",
                                                TypeParam::kShortName)));
}

TYPED_TEST(DirectTable, FapIdAbove128FailsInTranslationAndRevert) {
  auto const e = TypeParam::entry(0x50, 1);
  // 128, the null FAP id, passes.
  EXPECT_EQ(call<typename TestFixture::Entry>(*this->util_, "translateToHwFormat",
                                              {this->wrapped(e, 0x8000)}),
            this->expectedEntry(0x50, 1));
  for (std::uint16_t unit : {0x8100, 0xFFFF}) {
    SCOPED_TRACE(unit);
    auto const entry = this->wrapped(e, unit);
    // Through the translation guard...
    EXPECT_EQ(this->template raisesUntouched<Asic::OrderedTableException>([&] {
      call<typename TestFixture::Entry>(*this->util_, "translateToHwFormat", {entry});
    }),
              fmt::format("translateToHwFormat: [logEntry: {}]: {}", e, kFapRange));
    // ...and as itself from revert, which has no guard.
    EXPECT_EQ(this->template raisesUntouched<Pelix::RangeException>([&] {
      call<typename TestFixture::Entry>(*this->util_, "revertHwEntry", {entry});
    }),
              kFapRange);
    EXPECT_EQ(this->template raisesUntouched<Pelix::RangeException>(
                  [&] { this->util_->processSwEntry(entry); }),
              kFapRange);
  }
}

}  // namespace
}  // namespace eedb::test
