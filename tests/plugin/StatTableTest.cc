// The statistics table utility through the plug-in, loaded with dlopen: the statistics-only
// format, the statistics object limit, the checked next pointer and no-view entries.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "MdbTableFixture.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using LogEntry = ZuriErrm::EedbStatTableLogEntry;
using Wrapper = ZuriErrm::EedbStatTableLogEntryWrapper;

constexpr std::string_view kStat = "chip26_a0::ZuriErrmUtil::EedbStatTableUtil";
constexpr std::uint32_t kKey = 0x3000;

LogEntry statEntry(std::uint32_t nextOutlifPointer, std::uint32_t statObjectId,
                   std::uint8_t viewType = 1) {
  LogEntry e;
  e.keyIs(ZuriErrm::EedbStatTableEntryKey(kKey));
  e.nextOutlifPointerIs(nextOutlifPointer);
  e.statObjectIdIs(statObjectId);
  e.viewTypeIs(viewType);
  return e;
}

Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(LogEntry const& e, std::uint8_t flags = 0) {
  return wrap<Wrapper>(e, 0, flags);
}

class StatTable : public MdbTableFixture {
 protected:
  StatTable() : MdbTableFixture(kStat) {}
};

TEST_F(StatTable, ViewOneWritesTheStatisticsOnlyEntry) {
  struct Case {
    std::uint32_t nextOutlifPointer, statObjectId;
    std::uint64_t cmd, id;
  };
  // An id below the 17-bit all-ones value selects statistics (command 3); a larger one none.
  Case const cases[] = {
      {0xABCDE, 0x1234, 3, 0x1234},
      {0xFFFFF, 131070, 3, 131070},
      {0, 131071, 0, 0},
      {0x1, 0xFFFFFFFF, 0, 0},
      {0x2, 0, 3, 0},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("next {:#x} id {}", c.nextOutlifPointer, c.statObjectId));
    auto const* entry = add(wrapped(statEntry(c.nextOutlifPointer, c.statObjectId)), kKey);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(formatName(entry), "EedbStatEtpsOnlyStat90Entry");
    EXPECT_EQ(fieldsOf(*entry), (Fields{{"nextOutlifPointer", c.nextOutlifPointer},
                                        {"statObjectCmd", c.cmd},
                                        {"statObjectId", c.id}}));
    EXPECT_EQ(entry->entrySizeBits(), 90u);
  }
}

// The translator casts the pointer itself, before the hook: only the translation guard reports.
TEST_F(StatTable, NextPointerBeyondTwentyBitsFails) {
  ASSERT_NE(add(wrapped(statEntry(0x12345, 7)), kKey), nullptr);
  for (std::uint32_t next : {0x100000u, 0xFFFFFFFFu}) {
    auto const logEntry = statEntry(next, 7);
    expectRefused<Wrapper>(
        logEntry,
        fmt::format("translateToHwFormat: [logEntry: {}]: Casting values: cast from unsigned int{{ "
                    "{} }} to U20 (max = 1048575) failed.",
                    logEntry, next));
  }
}

TEST_F(StatTable, ViewsOtherThanOneAreNoView) {
  for (std::uint8_t view : {0, 2, 255}) {
    SCOPED_TRACE(view);
    expectNoView(wrapped(statEntry(0x100000, 7, view)), kKey, "EedbStatTableUtil");
  }
  EXPECT_TRUE(util_->utilApplicable(wrapped(statEntry(0, 0, 0), kTableDelete)));
}

TEST_F(StatTable, DeleteClearsNinetyBits) {
  ASSERT_NE(add(wrapped(statEntry(5, 6)), kKey), nullptr);
  auto const cmds = util_->processSwEntry(wrapped(statEntry(5, 6), kDelete));
  EXPECT_EQ(stored(kKey), nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 90u);
}

}  // namespace
}  // namespace eedb::test
