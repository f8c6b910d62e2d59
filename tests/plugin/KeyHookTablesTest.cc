// What the ARP, sub-interface out-AC and TAP aggregation tables share: the hardware key is the
// low 20 bits of the software key, mapped by the accessor's key hook without the key guard, in
// every place the pipeline maps a key; applicability by view; revert to the blank entry; and
// which views run the per-format hook.

#include <any>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "KeyHookTables.h"
#include "pelix/RangeException.h"

namespace eedb::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// One of the three tables, seen through a key, a view type, a unit and flags.
struct Table {
  std::string_view name;
  std::string_view shortName;
  std::function<Pelix::Ptr<Asic::LogEntryWrapperBase>(std::uint32_t key, std::uint8_t view,
                                                      std::uint16_t unit, std::uint8_t flags)>
      wrapped;
  std::function<std::any(std::uint32_t key, std::uint8_t view)> logEntry;
  std::function<std::string(std::uint32_t key, std::uint8_t view)> printed;
  std::vector<std::uint8_t> hookViews;    // views whose format runs the per-format hook
  std::vector<std::uint8_t> noHookViews;  // views set by the translator alone
  std::vector<std::uint8_t> noViews;      // view types outside the map
};

// Names the parameter in test names and failures.
void PrintTo(Table const& t, std::ostream* os) {
  *os << t.shortName;
}

template <class Sw>
Table table(std::string_view name, std::string_view shortName, std::vector<std::uint8_t> hook,
            std::vector<std::uint8_t> noHook, std::vector<std::uint8_t> none) {
  auto const make = [](std::uint32_t key, std::uint8_t view) {
    Sw sw;
    sw.key = key;
    sw.viewType = view;
    return sw;
  };
  return Table{
      name,
      shortName,
      [make](std::uint32_t key, std::uint8_t view, std::uint16_t unit, std::uint8_t flags) {
        return make(key, view).wrapped(unit, flags);
      },
      [make](std::uint32_t key, std::uint8_t view) { return std::any(make(key, view).entry()); },
      [make](std::uint32_t key, std::uint8_t view) {
        return fmt::format("{}", make(key, view).entry());
      },
      std::move(hook),
      std::move(noHook),
      std::move(none)};
}

Table const kTables[] = {
    table<Arp>(kArp, "EedbArpTableUtil", {1, 2, 3, 4, 5}, {}, {0, 6, 255}),
    table<SubIntf>(kSubIntfOutAc, "EedbSubIntfOutAcTableUtil", {}, {1}, {0, 2}),
    table<TapAgg>(kTapAgg, "EedbTapAggTableUtil", {3, 4}, {1, 2}, {0, 5}),
};

std::vector<std::uint8_t> viewsOf(Table const& t) {
  std::vector<std::uint8_t> views = t.hookViews;
  views.insert(views.end(), t.noHookViews.begin(), t.noHookViews.end());
  return views;
}

class KeyHookTables : public KeyHookTable, public ::testing::WithParamInterface<Table> {
 protected:
  KeyHookTables() : KeyHookTable(GetParam().name) {}
  Table const& t() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(, KeyHookTables, ::testing::ValuesIn(kTables),
                         [](auto const& info) { return std::string(info.param.shortName); });

// 0x123456 = 0001 0010 0011 0100 0101 0110: the top four bits go, 0x23456 stays.
TEST_P(KeyHookTables, KeyIsTheLow20BitsWhateverTheUnitAndNeverFails) {
  struct Case {
    std::uint32_t swKey, hwKey;
  };
  Case const cases[] = {{0, 0},
                        {0xFFFFF, 0xFFFFF},
                        {0x100000, 0},
                        {0x123456, 0x23456},
                        {0xFFFFFF, 0xFFFFF},
                        {0xFFFFFFFF, 0xFFFFF}};
  for (auto const& c : cases) {
    // FAP 255 is no FAP id at all: the key hook does not look at the unit.
    for (std::uint16_t unit : {0x0000, 0x0305, 0x8000, 0x8100, 0xFFFF}) {
      SCOPED_TRACE(fmt::format("key {:#x} unit {:#06x}", c.swKey, unit));
      auto const hwKey = call<EedbHwMdb::EntryKey>(
          *util_, "mapToHwKey", {t().logEntry(c.swKey, viewsOf(t())[0]), Asic::UnitId(unit)});
      EXPECT_EQ(hwKey.value(), c.hwKey);
    }
  }
}

// Shadow writing, SCHAN generation and translation all use the 20-bit key: software keys that
// share their low 20 bits share one hardware entry.
TEST_P(KeyHookTables, SoftwareKeysWithTheSameLow20BitsShareOneEntry) {
  std::uint8_t const view = viewsOf(t())[0];
  auto const first = t().wrapped(0x123456, view, 0x0305, 0);
  auto const cmds = util_->processSwEntry(first);
  ASSERT_NE(stored(0x23456, 3, 5), nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].index, 0x23456u);
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {first}).key().value(), 0x23456u);

  util_->processSwEntry(t().wrapped(0xF23456, view, 0x0305, 0));
  EXPECT_EQ(table_->entryCount(), 1u);
  auto const deleted = util_->processSwEntry(t().wrapped(0x023456, view, 0x0305, kDelete));
  EXPECT_EQ(table_->entryCount(), 0u);
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(deleted[0].index, 0x23456u);
  EXPECT_EQ(util_->stats()->addCnt(), 2u);
  EXPECT_EQ(util_->stats()->deleteCnt(), 1u);
  EXPECT_EQ(enqueued(*util_, 3, 5), 3u);
}

// mapToHwKey has no guard here, but translation still does: a FAP id above 128 leaves
// translation as an ordered-table exception, and revert (unguarded) as the range failure.
TEST_P(KeyHookTables, FapIdAbove128FailsTranslationNotKeyMapping) {
  for (std::uint8_t view : viewsOf(t())) {
    SCOPED_TRACE(fmt::format("view {}", view));
    auto const bad = t().wrapped(0x123456, view, 0x8100, 0);
    EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>(
                  [&] { call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {bad}); }),
              fmt::format("translateToHwFormat: [logEntry: {}]: {}", t().printed(0x123456, view),
                          kFapRange));
    EXPECT_EQ(raisesUntouched<Pelix::RangeException>(
                  [&] { call<EedbHwMdb::Entry>(*util_, "revertHwEntry", {bad}); }),
              kFapRange);
    EXPECT_NO_THROW(call<EedbHwMdb::EntryKey>(
        *util_, "mapToHwKey", {t().logEntry(0x123456, view), Asic::UnitId(0x8100)}));

    // 128, the null FAP id, passes.
    auto const null = t().wrapped(0x123456, view, 0x8000, 0);
    EXPECT_TRUE(call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {null}).hasFormat());
  }
}

TEST_P(KeyHookTables, RevertIsTheBlankEntrySoDeleteRemoves) {
  table_->updateOnDeleteIs(true);
  EedbHwMdb::Entry const blank{EedbHwMdb::EntryKey()};
  auto views = viewsOf(t());
  views.insert(views.end(), t().noViews.begin(), t().noViews.end());
  for (std::uint8_t view : views) {
    for (std::uint32_t key : {0u, 0x123456u, 0xFFFFFFFFu}) {
      EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "revertHwEntry",
                                       {t().wrapped(key, view, 0x8000, kDelete)}),
                blank)
          << "view " << int{view} << " key " << key;
    }
  }
  for (std::uint8_t view : viewsOf(t())) {
    util_->processSwEntry(t().wrapped(0x42, view, 0, 0));
    util_->processSwEntry(t().wrapped(0x42, view, 0, kDelete));
    EXPECT_EQ(stored(0x42), nullptr) << "view " << int{view};
  }
  auto const n = viewsOf(t()).size();
  EXPECT_EQ(util_->stats()->deleteCnt(), n);
  EXPECT_EQ(util_->stats()->updateOnDelCnt(), 0u);
}

TEST_P(KeyHookTables, Applicability) {
  std::string const yes = fmt::format(" {} util is applicable for table delete", t().shortName);
  std::string const no = fmt::format(" {} util is not Applicable", t().shortName);
  struct Case {
    std::uint8_t view;
    std::uint16_t unit;
    std::uint8_t flags;
    bool applicable;
    std::string trace;  // the level-3 trace of the decision, or empty
  };
  std::vector<Case> cases;
  for (std::uint8_t view : viewsOf(t())) {
    cases.push_back({view, 0x0300, 0, true, ""});
    cases.push_back({view, 0x0100, 0, false, "Ignoring due to fapmask  mismatch"});
  }
  for (std::uint8_t view : t().noViews) {
    cases.push_back({view, 0x0000, 0, false, no});
    cases.push_back({view, 0x0000, kDelete, false, no});
    cases.push_back({view, 0x0000, kTableDelete, true, yes});
    cases.push_back({view, 0x8000, kTableDelete, true, yes});
  }
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view {} unit {:#06x} flags {}", c.view, c.unit, c.flags));
    TraceCapture const traces(fmt::format("{}/3", t().shortName));
    EXPECT_EQ(util_->utilApplicable(t().wrapped(0x77, c.view, c.unit, c.flags)), c.applicable);
    std::vector<std::string> messages;
    for (auto const& line : traces.lines()) messages.push_back(line.message);
    if (c.trace.empty()) {
      EXPECT_THAT(messages, ElementsAre());
    } else {
      EXPECT_THAT(messages, ElementsAre(c.trace));
    }
  }
}

// Every key mapping of one add runs the key hook (shadow writing, translation, SCHAN
// generation), and only the views with a per-format hook call it.
TEST_P(KeyHookTables, TracesOfKeyMappingAndHooks) {
  std::string const shortName(t().shortName);
  auto const hwKey = fmt::format("{}", EedbHwMdb::EntryKey(0x23456));
  TraceLine const keyHook{shortName, 3, "userDefinedGetHwEntryKey", "",
                          " calling user specified getHwEntryKey function"};
  TraceLine const keyLine{shortName, 3, "mapToHwKey_", std::string(t().name),
                          " swKey: 1193046 hwKey: " + hwKey};
  auto check = [&](std::uint8_t view, bool hook) {
    SCOPED_TRACE(fmt::format("view {}", view));
    TraceCapture const traces(fmt::format("{}/3", shortName));
    util_->processSwEntry(t().wrapped(0x123456, view, 0, 0));
    std::vector<TraceLine> keys;
    std::vector<std::string> hooks;
    for (auto const& line : traces.lines()) {
      if (line.function == "userDefinedGetHwEntryKey" || line.function == "mapToHwKey_") {
        keys.push_back(line);
      }
      if (line.function == "userDefinedDoSetHwEntry") hooks.push_back(line.message);
    }
    EXPECT_THAT(keys, ElementsAreArray({keyHook, keyLine, keyHook, keyLine, keyHook, keyLine}));
    if (hook) {
      auto const after = fmt::format(" after user function hwEntry: {}", *stored(0x23456));
      EXPECT_THAT(hooks, ElementsAre(" calling user specified util function", after));
    } else {
      EXPECT_THAT(hooks, ElementsAre());
    }
  };
  for (std::uint8_t view : t().hookViews) check(view, true);
  for (std::uint8_t view : t().noHookViews) check(view, false);
}

}  // namespace
}  // namespace eedb::test
