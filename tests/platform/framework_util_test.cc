// The table-utility framework: base classes, the registration context and the supported
// revision list.

#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "zuri_asic_utils/UtilBase.h"

namespace {

using ::testing::ElementsAre;
using namespace ZuriAsicUtils;
using Hardware::ChipType;
using Hardware::Zuri::FapRevision;
using SchanAccel::FapId;

// The smallest complete table utility of each family.
template <class Base>
class MinimalUtil final : public Base {
 public:
  using Base::Base;
  Pelix::TypeRecord const* typeData() const override { return nullptr; }
  SchanCmds processSwEntry(Pelix::Ptr<Asic::LogEntryWrapperBase> const&) override { return {}; }
  bool utilApplicable(Pelix::Ptr<Asic::LogEntryWrapperBase> const&) override { return false; }
  Pelix::String hwTableType() const override { return ""; }
  std::uint32_t writeSwEntryToShadow(Pelix::Ptr<Asic::LogEntryWrapperBase> const&) override {
    return 0;
  }
  SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const&, std::uint32_t) override {
    return {};
  }
  SchanCmds clearHwTable(Asic::UnitId) override { return {}; }
};

UtilKey key(char const* name, FapRevision rev = FapRevision::fapRevGen3A0()) {
  return {name, Asic::SwTableId(0x03010C07), rev};
}

Pelix::Ptr<FapControlData const> fap(unsigned id) {
  return Pelix::make<FapControlData>(FapId(id));
}

template <class Util>
class FapMaskOfEitherFamily : public ::testing::Test {
 protected:
  Pelix::Ptr<UtilBase> make() {
    if constexpr (std::is_same_v<Util, MinimalUtil<MdbUtilBase>>) {
      return Pelix::make<Util>(key("mdb"), tables_, Pelix::make<ZuriMdb::TableManager>());
    } else {
      return Pelix::make<Util>(key("direct"), tables_, Pelix::make<HwWriterStatus>());
    }
  }
  Pelix::Ptr<TableManager> tables_ = Pelix::make<TableManager>();
};
using Families = ::testing::Types<MinimalUtil<MdbUtilBase>, MinimalUtil<NonMdbUtilBase>>;
TYPED_TEST_SUITE(FapMaskOfEitherFamily, Families);

TYPED_TEST(FapMaskOfEitherFamily, FapIdIsAddsAndFapIdDelRemoves) {
  auto util = this->make();
  EXPECT_TRUE(util->fapmask().empty());
  EXPECT_FALSE(util->requiresEntryByEntryDeletion());

  for (unsigned id : {0u, 63u, 64u, 127u, 128u}) util->fapIdIs(fap(id));
  EXPECT_EQ(fmt::format("{}", util->fapmask()), "{0,63,64,127,128}");
  util->fapIdIs(fap(64));  // already there
  util->fapIdIs(nullptr);  // names no FAP
  EXPECT_EQ(fmt::format("{}", util->fapmask()), "{0,63,64,127,128}");

  util->fapIdDel(FapId(63));
  util->fapIdDel(FapId(5));  // not there
  EXPECT_EQ(fmt::format("{}", util->fapmask()), "{0,64,127,128}");
  for (unsigned id : {0u, 64u, 127u, 128u}) util->fapIdDel(FapId(id));
  EXPECT_TRUE(util->fapmask().empty());
}

TEST(UtilBase, KeepsWhatItIsBuiltWith) {
  auto const tables = Pelix::make<TableManager>();
  auto const mdb = Pelix::make<ZuriMdb::TableManager>();
  auto const status = Pelix::make<HwWriterStatus>();
  std::uint32_t const tablesRefs = tables->refCount();
  {
    MinimalUtil<MdbUtilBase> m(key("m"), tables, mdb);
    MinimalUtil<NonMdbUtilBase> d(key("d"), tables, status);
    EXPECT_EQ(m.utilKey(), key("m"));
    EXPECT_EQ(m.mdbTableManager(), mdb);
    EXPECT_EQ(d.hwWriterStatus(), status);
    EXPECT_EQ(tables->refCount(), tablesRefs + 2);
    EXPECT_FALSE(m.hwTableBase());
    EXPECT_FALSE(m.stats());
  }
  EXPECT_EQ(tables->refCount(), tablesRefs);
  EXPECT_EQ(mdb->refCount(), 1u);
  EXPECT_EQ(status->refCount(), 1u);
}

TEST(UtilBase, StatsIsCreatesFreshCountersEachTime) {
  std::int64_t const live = Pelix::Node::liveCount();
  {
    MinimalUtil<NonMdbUtilBase> util(key("d"), nullptr, nullptr);
    auto first = util.statsIs();
    ASSERT_TRUE(first);
    EXPECT_EQ(util.stats(), first);
    first->addCntInc(1);
    first->fapmaskMismatchInc(2);
    EXPECT_EQ(fmt::format("{}", *first), "add 1 delete 0 updateOnDelete 0 fapmaskMismatch 2");

    auto second = util.statsIs();
    EXPECT_NE(second, first);
    EXPECT_EQ(util.stats(), second);
    EXPECT_EQ(second->addCnt(), 0u);
    EXPECT_EQ(first->refCount(), 1u);  // only ours is left
  }
  EXPECT_EQ(Pelix::Node::liveCount(), live);
}

TEST(UtilHolderContext, RegisterUtilCopiesKeyAndFunction) {
  UtilHolderContext context;
  UtilKey k = key("A");
  int calls = 0;
  UtilFactory f = [&calls](auto&&...) {
    ++calls;
    return Pelix::Ptr<UtilBase>();
  };
  context.registerUtil(k, f);
  k.utilName = "changed";
  f = nullptr;

  ASSERT_EQ(context.registrations().size(), 1u);
  EXPECT_EQ(context.registrations()[0].key, key("A"));
  auto const* stored = context.findFactory(key("A"));
  ASSERT_NE(stored, nullptr);
  (*stored)(key("A"), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(context.findFactory(k), nullptr);
}

TEST(UtilHolderContext, SecondRegistrationReplacesAndKeepsItsPlace) {
  UtilHolderContext context;
  auto tagged = [](int tag) {
    return UtilFactory([tag](UtilKey const&, auto&&...) {
      return Pelix::Ptr<UtilBase>(new MinimalUtil<NonMdbUtilBase>(
          {fmt::format("tag{}", tag), Asic::SwTableId(), FapRevision()}, nullptr, nullptr));
    });
  };
  FapRevision const b0(ChipType{26}, 'B', 0);
  context.registerUtil(key("A"), tagged(1));
  context.registerUtil(key("A", b0), tagged(2));  // differs only in revision
  context.registerUtil(key("B"), tagged(3));
  context.registerUtil(key("A"), tagged(4));

  std::vector<std::string> order;
  for (auto const& r : context.registrations()) {
    auto util = r.factory(r.key, nullptr, nullptr, nullptr, nullptr);
    order.push_back(
        fmt::format("{}@{}={}", r.key.utilName, r.key.fapRevision, util->utilKey().utilName));
  }
  EXPECT_THAT(order, ElementsAre("A@26:A0=tag4", "A@26:B0=tag2", "B@26:A0=tag3"));
}

TEST(UtilKey, Prints) {
  EXPECT_EQ(fmt::format("{}", key("chip26_a0::ZuriErrmUtil::EedbOutrifUtil")),
            "UtilKey(utilName=chip26_a0::ZuriErrmUtil::EedbOutrifUtil, swTableId=03:01:0c07, "
            "fapRevision=26:A0)");
}

class RevisionList : public ::testing::Test {
 protected:
  void SetUp() override { list_->reset(); }
  void TearDown() override { list_->reset(); }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (auto r : list_->revisions()) out.push_back(fmt::format("{}", r));
    return out;
  }

  Pelix::Ptr<SupportedFapRevList> list_ = SupportedFapRevList::fapRevisionList();
};

TEST_F(RevisionList, OneListPerProcessWithTheDefaults) {
  EXPECT_EQ(SupportedFapRevList::fapRevisionList(), list_);
  EXPECT_THAT(texts(), ElementsAre("25:A0", "26:A0", "26:B0"));
}

TEST_F(RevisionList, StaysAscendingAndCountsEveryChange) {
  std::uint64_t const count = list_->modificationCount();
  EXPECT_TRUE(list_->insert(FapRevision(ChipType{26}, 'A', 1)));
  EXPECT_TRUE(list_->insert(FapRevision(ChipType{24}, 'C', 0)));
  EXPECT_THAT(texts(), ElementsAre("24:C0", "25:A0", "26:A0", "26:A1", "26:B0"));
  EXPECT_EQ(list_->modificationCount(), count + 2);

  EXPECT_FALSE(list_->insert(FapRevision(ChipType{26}, 'A', 1)));
  EXPECT_FALSE(list_->erase(FapRevision(ChipType{27}, 'A', 0)));
  EXPECT_EQ(list_->modificationCount(), count + 2);

  EXPECT_TRUE(list_->erase(FapRevision(ChipType{25}, 'A', 0)));
  EXPECT_THAT(texts(), ElementsAre("24:C0", "26:A0", "26:A1", "26:B0"));
  EXPECT_EQ(list_->modificationCount(), count + 3);

  list_->reset();
  EXPECT_THAT(texts(), ElementsAre("25:A0", "26:A0", "26:B0"));
  EXPECT_EQ(list_->modificationCount(), count + 4);
}

TEST_F(RevisionList, WalkFindsTheSmallestGreaterRevision) {
  FapRevision const a0(ChipType{26}, 'A', 0);
  FapRevision const b0(ChipType{26}, 'B', 0);
  EXPECT_EQ(list_->first(), FapRevision(ChipType{25}, 'A', 0));
  EXPECT_EQ(list_->next(a0), b0);
  EXPECT_EQ(list_->next(b0), std::nullopt);
  // From a revision that is not (or no longer) in the list.
  EXPECT_EQ(list_->next(FapRevision(ChipType{26}, 'A', 5)), b0);
  EXPECT_EQ(list_->next(FapRevision(ChipType{1}, 'A', 0)), list_->first());

  for (auto r : list_->revisions()) list_->erase(r);
  EXPECT_EQ(list_->first(), std::nullopt);
  EXPECT_EQ(list_->next(a0), std::nullopt);
}

}  // namespace
