// The check of a hardware table as a table utility leaves it. Two threads that enter within the
// moment a store takes to reach the other core both get in; the first to leave finds the table
// no longer holding its own name. (Entering while another thread is inside is exercised through
// the plug-in.) Two threads entering at once cannot be arranged, so the tests leave twice.
#include <string_view>
#include <thread>

#include <gtest/gtest.h>

#include "chip26_a0/EedbHwDirect.h"
#include "hardware/FapRevision.h"
#include "pelix/Ptr.h"
#include "zuri_asic_utils/TableManager.h"

namespace {

constexpr std::string_view kFirst = "FirstUtil";
constexpr std::string_view kSecond = "SecondUtil";
constexpr std::string_view kTable = "EEDB_AG_MEM_TLM";

Pelix::Ptr<chip26_a0::EedbAgMemTlmHwDirect> table() {
  return Pelix::make<chip26_a0::EedbAgMemTlmHwDirect>(
      "EedbAgMemTlmHwDirect",
      ZuriAsicUtils::HwTableKey{"EedbAgMemTlmHwDirect",
                                Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>());
}

TEST(HwTableEntryDeathTest, LeavingATableAnotherThreadEnteredNamesWhoeverIsInside) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        auto t = table();
        ASSERT_TRUE(t->enter(kFirst, kTable, "clearHwTable"));
        t->leave(kFirst, kTable, "clearHwTable");
        std::thread([&] { ASSERT_TRUE(t->enter(kSecond, kTable, "processSwEntry")); }).join();
        t->leave(kFirst, kTable, "clearHwTable");
      },
      "%ASSERT: [^ ]+ clearHwTable: SecondUtil entered hardware table EEDB_AG_MEM_TLM while "
      "FirstUtil was inside it: table utilities must be called from one thread at a time");
  // The other thread has left already: its name is gone with it.
  EXPECT_DEATH(
      {
        auto t = table();
        ASSERT_TRUE(t->enter(kFirst, kTable, "processSwEntry"));
        t->leave(kFirst, kTable, "processSwEntry");
        t->leave(kFirst, kTable, "processSwEntry");
      },
      "%ASSERT: [^ ]+ processSwEntry: a table utility of another thread entered hardware table "
      "EEDB_AG_MEM_TLM while FirstUtil was inside it: table utilities must be called from one "
      "thread at a time");
}

}  // namespace
