// Life of a table utility created through its registered factory: binding to the hardware
// table of its revision, reflection, clearing, and destruction without leftovers.

#include "PluginTestSupport.h"
#include "kiv/AllocTrack.h"

namespace eedb::test {
namespace {

using ZuriAsicUtils::HwCommonTableBase;
using ZuriAsicUtils::HwTableKey;

// Each family ignores the other's factory arguments (null here); per revision the MDB family
// shares one EedbHwMdb, each direct table utility has a table of its own, each table counted by
// its class's tracker from its creation at binding. Every table utility, fed one entry, is gone
// with its last reference, its tables with the last of them, and no node of the object runtime
// is left.
TEST(Lifecycle, UtilitiesBindTheirRevisionsTableAndGoWithoutLeftovers) {
  registrations();  // the process-wide objects of loading and registering, made once
  auto const nodesBefore = Pelix::Node::liveCount();
  auto const tablesLive = [](ExpectedUtil const& u) {
    return Kiv::AllocTrackTypeInfo::tracker(fmt::format("chip26_a0::{}", u.hwTable)).live();
  };
  std::vector<std::int64_t> tablesBefore;
  for (auto const& u : kExpectedUtils) tablesBefore.push_back(tablesLive(u));
  {
    Managers const m;
    std::vector<Pelix::Ptr<UtilBase>> utils;
    for (auto rev : {kA0, kB0}) {
      for (auto const& u : kExpectedUtils) {
        bool const mdb = u.hwTable == "EedbHwMdb";
        auto util = factoryOf(u.name, rev)(keyOf(u.name, rev), m.hw, mdb ? m.mdb : nullptr,
                                           mdb ? nullptr : m.writer, nullptr);
        ASSERT_NE(util, nullptr) << u.name;
        auto found = m.hw->findTable(HwTableKey(Pelix::String(u.hwTable), rev));
        ASSERT_TRUE(found.has_value()) << u.name;
        EXPECT_EQ(util->hwTableBase().get(), *found) << u.name << " at " << fmt::format("{}", rev);
        EXPECT_EQ(util->hwTableType(), fmt::format("chip26_a0::{}", u.hwTable));
        addFap(*util, 0);
        auto const& table = tableInfoOf(*util);
        util->processSwEntry(table.makeWrapper(table.newEntry(), Asic::UnitId(0), 0));
        utils.push_back(util);
      }
    }
    EXPECT_EQ(m.hw->tableCount(), 2u * 3u);
    EXPECT_NE(m.hw->findTable(HwTableKey("EedbHwMdb", kA0)),
              m.hw->findTable(HwTableKey("EedbHwMdb", kB0)));
    for (std::size_t i = 0; i < kTableCount; ++i) {
      EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(kExpectedUtils[i].name)->live(), 2) << i;
      EXPECT_EQ(tablesLive(kExpectedUtils[i]) - tablesBefore[i], 2) << kExpectedUtils[i].hwTable;
    }
  }
  for (std::size_t i = 0; i < kTableCount; ++i) {
    EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(kExpectedUtils[i].name)->live(), 0) << i;
    EXPECT_EQ(tablesLive(kExpectedUtils[i]), tablesBefore[i]) << kExpectedUtils[i].hwTable;
  }
  EXPECT_EQ(Pelix::Node::liveCount(), nodesBefore);
}

TEST(Lifecycle, EntryWithoutTableBindsNothingAndUseRaisesNamingTheUtility) {
  Managers const m;
  m.hw->tableIs(HwTableKey("EedbHwMdb", kA0), nullptr);
  auto const tablesBefore = Kiv::AllocTrackTypeInfo::find("chip26_a0::EedbHwMdb");
  auto const liveTablesBefore = tablesBefore ? tablesBefore->live() : 0;

  auto util = create(kOutrif, m);
  EXPECT_EQ(mdbTable(*util), nullptr);
  EXPECT_EQ(m.hw->tableCount(), 1u);
  auto const tablesAfter = Kiv::AllocTrackTypeInfo::find("chip26_a0::EedbHwMdb");
  EXPECT_EQ(tablesAfter ? tablesAfter->live() : 0, liveTablesBefore);

  std::string const message =
      "chip26_a0::ZuriErrmUtil::EedbOutrifUtil: no hardware table of class chip26_a0::EedbHwMdb "
      "is bound";
  auto const raises = [&](auto&& fn) {
    EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>({util.get()}, fn), message);
  };
  raises([&] { util->clearHwTable(Asic::UnitId(0)); });
  addFap(*util, 0);
  raises([&] { util->processSwEntry(outrif(outrifEntry(1))); });
  // Refused entries still ask for commands, which need the table too; nothing is counted.
  raises([&] { util->processSwEntry(outrif(outrifEntry(1, 0))); });
}

TEST(Lifecycle, FactoryWithoutTableManagerRaisesAndLeaksNothing) {
  registrations();  // the process-wide objects of loading and registering, made once
  auto const nodesBefore = Pelix::Node::liveCount();
  {
    Managers m;
    auto const utilsBefore = Kiv::AllocTrackTypeInfo::tracker(kOutrif).live();
    EXPECT_EQ(raises<Asic::OrderedTableException>([&] {
                factoryOf(kOutrif, kA0)(keyOf(kOutrif, kA0), nullptr, m.mdb, m.writer, m.bulk);
              }),
              "chip26_a0::ZuriErrmUtil::EedbOutrifUtil: created without a hardware table manager");
    EXPECT_EQ(Kiv::AllocTrackTypeInfo::tracker(kOutrif).live(), utilsBefore);
  }
  EXPECT_EQ(Pelix::Node::liveCount(), nodesBefore);
}

TEST(Lifecycle, ClearHwTableChecksTheFapId) {
  Managers const m;
  auto util = create(kOutrif, m);
  addFap(*util, 0);
  util->processSwEntry(outrif(outrifEntry(7), 0x0001));
  util->processSwEntry(outrif(outrifEntry(8), 0x8000));

  // 0x8100: FAP id 129, refused before anything is cleared.
  EXPECT_EQ(raisesUntouched<Pelix::RangeException>(
                {util.get()}, [&] { util->clearHwTable(Asic::UnitId(0x8100)); }),
            kFapRange);

  // 0x80FF: the null FAP id clears every FAP.
  auto const cmds = util->clearHwTable(Asic::UnitId(0x80FF));
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(cmds[1].fapId, 128u);
  EXPECT_EQ(mdbTable(*util)->entryCount(), 0u);
}

// What the agent reaches through reflection: each member answers only its own access.
TEST(Lifecycle, ReflectionAnswersEachMemberOnlyItsAccess) {
  Managers const m;
  auto util = create(kOutrif, m);
  std::tuple<std::string_view, Pelix::Access, int> const cases[] = {
      {"tableName", Pelix::Access::read, Pelix::kInspectNoAccess},
      {"hwTable", Pelix::Access::call, Pelix::kInspectNoAccess},
      {"translateToHwFormat_", Pelix::Access::call, Pelix::kInspectNoAccess},
      {"mapToHwKey_", Pelix::Access::call, Pelix::kInspectNoAccess},
      {"onDelete", Pelix::Access::call, Pelix::kInspectDone},
      {"onDelete", Pelix::Access::write, Pelix::kInspectNoAccess},
      {"processSwEntry", Pelix::Access::call, Pelix::kInspectNoMember},
      {"", Pelix::Access::read, Pelix::kInspectNoMember},
  };
  for (auto const& [member, access, answer] : cases) {
    std::any result;
    EXPECT_EQ(reflect(*util, member, access, {}, &result), answer)
        << member << " access " << static_cast<int>(access);
  }
  EXPECT_EQ(call<Pelix::String>(*util, "tableName"), kOutrif);
  EXPECT_EQ(Pelix::ModuleInspectData::findType(kOutrif), util->typeData());
  // Another table utility through this type's record, and a mistyped argument, raise.
  auto other = create(kExpectedUtils[3].name, m);
  EXPECT_THROW(
      Pelix::inspect(*other, *util->typeData(), "tableName", Pelix::Access::call, {}, nullptr),
      std::bad_cast);
  std::vector<std::any> const mistyped = {std::any(1), std::any(Asic::UnitId(0))};
  EXPECT_THROW(reflect(*util, "mapToHwKey", Pelix::Access::call, mistyped), std::bad_any_cast);
}

// The reflected factory and constructor make table utilities of the key given; the constructor
// arguments of the other family do not fit.
TEST(Lifecycle, ReflectionFactoryAndConstructorMakeTheKeysUtility) {
  Managers const m;
  auto util = create(kOutrif, m);
  auto made = call<Pelix::Ptr<UtilBase>>(*util, "factory",
                                         {keyOf(kOutrif, kB0), m.hw, m.mdb, m.writer, m.bulk});
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->utilKey(), keyOf(kOutrif, kB0));
  EXPECT_EQ(m.hw->tableCount(), 2u);
  std::vector<std::any> const args = {keyOf(kOutrif, kA0), m.hw, m.mdb};
  auto node = util->typeData()->construct(args);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(dynamic_cast<UtilBase&>(*node).utilKey(), keyOf(kOutrif, kA0));
  std::vector<std::any> const wrong = {keyOf(kOutrif, kA0), m.hw, m.writer};
  EXPECT_EQ(util->typeData()->construct(wrong), nullptr);
}

// A write of the reflected hardware table rebinds it: another EedbHwMdb is read back, a table of
// another class reads empty; handleInitialized binds the revision's own table again.
TEST(Lifecycle, ReflectionRebindsTheHardwareTable) {
  Managers const m;
  auto util = create(kOutrif, m);
  auto const own = mdbTable(*util);
  Managers const other;
  auto foreign = create(kOutrif, other);
  auto const foreignTable = mdbTable(*foreign);
  auto const write = [&](Pelix::Ptr<HwCommonTableBase> t) {
    EXPECT_EQ(reflect(*util, "hwTable", Pelix::Access::write, {t}), Pelix::kInspectDone);
  };
  write(foreignTable);
  EXPECT_EQ(mdbTable(*util), foreignTable);
  auto direct = Pelix::make<chip26_a0::EedbAgMemTlmHwDirect>(
      "EedbAgMemTlmHwDirect", HwTableKey("EedbAgMemTlmHwDirect", kA0), m.hw);
  write(direct);
  EXPECT_EQ(mdbTable(*util), nullptr);
  EXPECT_EQ(util->hwTableBase(), direct);
  EXPECT_EQ(reflect(*util, "handleInitialized", Pelix::Access::call), Pelix::kInspectDone);
  EXPECT_EQ(mdbTable(*util), own);
}

}  // namespace
}  // namespace eedb::test
