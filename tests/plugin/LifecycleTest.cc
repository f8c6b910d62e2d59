// Life of a table utility created through its registered factory: binding to the hardware
// table of its revision, reflection, clearing, and destruction without leftovers.

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "chip26_a0/EedbHwDirect.h"
#include "kiv/AllocTrack.h"
#include "pelix/RangeException.h"

namespace eedb::test {
namespace {

using ZuriAsicUtils::HwCommonTableBase;
using ZuriAsicUtils::HwTableKey;

std::string hwTableTypeOf(ExpectedUtil const& u) {
  if (!u.direct) return "chip26_a0::EedbHwMdb";
  return u.name == "chip26_a0::ZuriErrmUtil::EedbAgMemTlmUtil"
             ? "chip26_a0::EedbAgMemTlmHwDirect"
             : "chip26_a0::EedbDataByLocalOutlifMsbsHwDirect";
}

// The table's name in the table manager's collection: its class name without namespace.
std::string hwTableNameOf(ExpectedUtil const& u) {
  auto const type = hwTableTypeOf(u);
  return type.substr(type.rfind(':') + 1);
}

TEST(Lifecycle, MdbUtilitiesOfOneRevisionShareOneTableDirectOnesHaveTheirOwn) {
  Managers const m;
  std::map<std::string, Pelix::Ptr<UtilBase>> utils;
  for (auto rev : {kA0, kB0}) {
    for (auto const& u : kExpectedUtils) {
      utils[fmt::format("{}@{}", u.name, rev)] = create(u.name, m, rev);
    }
  }
  // Per revision: one EedbHwMdb and one table per direct family member.
  EXPECT_EQ(m.hw->tableCount(), 2u * 3u);
  for (auto rev : {kA0, kB0}) {
    for (auto const& u : kExpectedUtils) {
      auto found = m.hw->findTable(HwTableKey(Pelix::String(hwTableNameOf(u)), rev));
      ASSERT_TRUE(found.has_value()) << u.name;
      auto& util = *utils[fmt::format("{}@{}", u.name, rev)];
      EXPECT_EQ(util.hwTableBase().get(), *found) << u.name << " at " << fmt::format("{}", rev);
      EXPECT_EQ(util.hwTableType(), hwTableTypeOf(u));
    }
  }
  EXPECT_NE(m.hw->findTable(HwTableKey("EedbHwMdb", kA0)),
            m.hw->findTable(HwTableKey("EedbHwMdb", kB0)));
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
  auto const expectRaise = [&](auto&& fn) {
    try {
      fn();
      ADD_FAILURE() << "no exception";
    } catch (Asic::OrderedTableException const& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  };
  expectRaise([&] { util->clearHwTable(Asic::UnitId(0)); });
  addFap(*util, 0);
  expectRaise([&] { util->processSwEntry(outrif(outrifEntry(1))); });
  // Refused entries still ask for commands, which need the table too; nothing is counted.
  expectRaise([&] { util->processSwEntry(outrif(outrifEntry(1, 0))); });
  EXPECT_EQ(util->hwTableManager()->stats().recordCount(), 0u);
  EXPECT_EQ(util->stats()->addCnt(), 0u);
}

TEST(Lifecycle, FactoryWithoutTableManagerRaisesAndLeaksNothing) {
  registrations();  // the process-wide objects of loading and registering, made once
  auto const nodesBefore = Pelix::Node::liveCount();
  {
    Managers m;
    auto const utilsBefore = Kiv::AllocTrackTypeInfo::tracker(kOutrif).live();
    try {
      factoryOf(kOutrif, kA0)(keyOf(kOutrif, kA0), nullptr, m.mdb, m.writer, m.bulk);
      ADD_FAILURE() << "no exception";
    } catch (Asic::OrderedTableException const& e) {
      EXPECT_EQ(std::string(e.what()),
                "chip26_a0::ZuriErrmUtil::EedbOutrifUtil: created without a hardware table "
                "manager");
    }
    EXPECT_EQ(Kiv::AllocTrackTypeInfo::tracker(kOutrif).live(), utilsBefore);
  }
  EXPECT_EQ(Pelix::Node::liveCount(), nodesBefore);
}

TEST(Lifecycle, FactoryAcceptsTheArgumentsItsFamilyIgnores) {
  Managers const m;
  auto mdb = factoryOf(kOutrif, kA0)(keyOf(kOutrif, kA0), m.hw, m.mdb, nullptr, nullptr);
  ASSERT_NE(mdb, nullptr);
  EXPECT_NE(mdbTable(*mdb), nullptr);
  for (auto const& u : kExpectedUtils) {
    if (!u.direct) continue;
    auto direct = factoryOf(u.name, kA0)(keyOf(u.name, kA0), m.hw, nullptr, m.writer, nullptr);
    ASSERT_NE(direct, nullptr) << u.name;
    EXPECT_EQ(direct->hwTableBase()->tableType(), hwTableTypeOf(u));
  }
}

TEST(Lifecycle, HwTableIsRebound) {
  Managers const m;
  auto util = create(kOutrif, m);
  auto const own = mdbTable(*util);

  // Another EedbHwMdb, written through reflection, is read back.
  Managers const other;
  auto foreign = create(kOutrif, other);
  auto const foreignTable = mdbTable(*foreign);
  EXPECT_EQ(reflect(*util, "hwTable", Pelix::Access::write,
                    {Pelix::Ptr<HwCommonTableBase>(foreignTable)}),
            Pelix::kInspectDone);
  EXPECT_EQ(mdbTable(*util), foreignTable);

  // A table of another class reads empty.
  auto direct = Pelix::make<chip26_a0::EedbAgMemTlmHwDirect>(
      "EedbAgMemTlmHwDirect", HwTableKey("EedbAgMemTlmHwDirect", kA0), m.hw);
  EXPECT_EQ(
      reflect(*util, "hwTable", Pelix::Access::write, {Pelix::Ptr<HwCommonTableBase>(direct)}),
      Pelix::kInspectDone);
  EXPECT_EQ(mdbTable(*util), nullptr);
  EXPECT_EQ(util->hwTableBase(), direct);

  // handleInitialized binds the revision's table of its own manager again.
  EXPECT_EQ(reflect(*util, "handleInitialized", Pelix::Access::call), Pelix::kInspectDone);
  EXPECT_EQ(mdbTable(*util), own);
}

TEST(Lifecycle, ClearHwTableChecksTheFapId) {
  Managers const m;
  auto util = create(kOutrif, m);
  addFap(*util, 0);
  util->processSwEntry(outrif(outrifEntry(7), 0x0001));
  util->processSwEntry(outrif(outrifEntry(8), 0x8000));

  // 0x8100: FAP id 129, refused before anything is cleared.
  try {
    util->clearHwTable(Asic::UnitId(0x8100));
    ADD_FAILURE() << "no exception";
  } catch (Pelix::RangeException const& e) {
    EXPECT_STREQ(e.what(), kFapRange);
  }
  EXPECT_EQ(mdbTable(*util)->entryCount(), 2u);

  // 0x80FF: the null FAP id clears every FAP.
  auto const cmds = util->clearHwTable(Asic::UnitId(0x80FF));
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(cmds[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].fapId, 0u);
  EXPECT_EQ(cmds[0].index, 7u);
  EXPECT_EQ(cmds[0].sizeBits, 60u);
  EXPECT_EQ(cmds[1].fapId, 128u);
  EXPECT_EQ(mdbTable(*util)->entryCount(), 0u);
}

TEST(Lifecycle, ReflectionAnswers) {
  Managers const m;
  auto util = create(kOutrif, m);
  struct Case {
    std::string_view member;
    Pelix::Access access;
    int answer;
  };
  Case const cases[] = {
      {"tableName", Pelix::Access::call, Pelix::kInspectDone},
      {"tableName", Pelix::Access::read, Pelix::kInspectNoAccess},
      {"hwTable", Pelix::Access::read, Pelix::kInspectDone},
      {"hwTable", Pelix::Access::call, Pelix::kInspectNoAccess},
      {"translateToHwFormat_", Pelix::Access::call, Pelix::kInspectNoAccess},
      {"mapToHwKey_", Pelix::Access::call, Pelix::kInspectNoAccess},
      {"onDelete", Pelix::Access::call, Pelix::kInspectDone},
      {"onDelete", Pelix::Access::write, Pelix::kInspectNoAccess},
      {"processSwEntry", Pelix::Access::call, Pelix::kInspectNoMember},
      {"", Pelix::Access::read, Pelix::kInspectNoMember},
  };
  for (auto const& c : cases) {
    std::any result;
    EXPECT_EQ(reflect(*util, c.member, c.access, {}, &result), c.answer)
        << c.member << " access " << static_cast<int>(c.access);
  }
  EXPECT_EQ(call<Pelix::String>(*util, "tableName"), kOutrif);
  EXPECT_EQ(util->hwTableType(), "chip26_a0::EedbHwMdb");
  EXPECT_EQ(util->typeData()->name, kOutrif);
  EXPECT_EQ(Pelix::ModuleInspectData::findType(kOutrif), util->typeData());
}

TEST(Lifecycle, ReflectionCreatesThroughFactoryAndConstructor) {
  Managers const m;
  auto const creator = create(kOutrif, m);
  auto made = call<Pelix::Ptr<UtilBase>>(*creator, "factory",
                                         {keyOf(kOutrif, kB0), m.hw, m.mdb, m.writer, m.bulk});
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->utilKey(), keyOf(kOutrif, kB0));
  EXPECT_EQ(m.hw->tableCount(), 2u);

  auto const& type = *made->typeData();
  std::vector<std::any> const args = {keyOf(kOutrif, kA0), m.hw, m.mdb};
  auto node = type.construct(args);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(dynamic_cast<UtilBase&>(*node).utilKey(), keyOf(kOutrif, kA0));
  // The constructor arguments of the other family do not fit.
  std::vector<std::any> const wrong = {keyOf(kOutrif, kA0), m.hw, m.writer};
  EXPECT_EQ(type.construct(wrong), nullptr);
}

// Every table utility, created and fed one entry of its table, is gone with its last reference
// and leaves no node of the object runtime behind.
TEST(Lifecycle, EveryUtilityCreatesProcessesAndGoesWithoutLeftovers) {
  registrations();  // the process-wide objects of loading and registering, made once
  auto const nodesBefore = Pelix::Node::liveCount();
  for (auto const& u : kExpectedUtils) {
    {
      Managers const m;
      auto util = create(u.name, m);
      addFap(*util, 0);
      EXPECT_EQ(call<Pelix::String>(*util, "tableName"), u.name);
      EXPECT_EQ(util->utilKey().swTableId, Asic::SwTableId(u.swTableId));
      auto const& table = tableInfoOf(*util);
      util->processSwEntry(table.makeWrapper(table.newEntry(), Asic::UnitId(0), 0));
      EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(u.name)->live(), 1) << u.name;
    }
    EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(u.name)->live(), 0) << u.name;
  }
  EXPECT_EQ(Pelix::Node::liveCount(), nodesBefore);
}

}  // namespace
}  // namespace eedb::test
