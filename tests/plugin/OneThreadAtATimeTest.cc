// The threading rule of the table utilities: one thread at a time per hardware table. A second
// thread entering a table while another is inside ends in a fatal assertion naming both table
// utilities; different threads at different times, nested calls from the thread inside, and a
// failed entry before the next thread's are fine.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "PluginTestSupport.h"

namespace eedb::test {
namespace {

constexpr std::string_view kIpTunnel = "chip26_a0::ZuriErrmUtil::EedbIpTunnelUtil";
constexpr std::string_view kIpTunnelNonAi = "chip26_a0::ZuriErrmUtil::EedbIpTunnelNonAiUtil";

// An IP tunnel entry under `outlif`: view 0 (IPv4 raw) goes to EedbIpTunnelUtil, view 3 (IPv6
// raw) to EedbIpTunnelNonAiUtil, both into the EEDB.
Pelix::Ptr<Asic::LogEntryWrapperBase> ipTunnel(std::uint32_t outlif, std::uint8_t viewType) {
  ZuriErrm::EedbIpTunnelLogEntry e;
  e.keyIs(ZuriErrm::EedbIpTunnelEntryKey(outlif, 0));
  e.viewTypeIs(viewType);
  return wrap<ZuriErrm::EedbIpTunnelLogEntryWrapper>(e, 0);
}

// The two table utilities of the software IP tunnel table that share the EEDB of 26:A0.
struct SharedEedb {
  SharedEedb() {
    addFap(*ipv4, 0);
    addFap(*ipv6, 0);
  }
  Managers m;
  Pelix::Ptr<UtilBase> ipv4 = create(kIpTunnel, m);
  Pelix::Ptr<UtilBase> ipv6 = create(kIpTunnelNonAi, m);
  ZuriAsicUtils::HwCommonTableBase& table = *ipv4->hwTableBase();
};

// A thread held inside util->processSwEntry(entry): the pipeline's first trace line stops it
// there until the object goes. Tracing is off again once the thread is inside.
class ThreadInside {
 public:
  ThreadInside(UtilBase& util, Pelix::Ptr<Asic::LogEntryWrapperBase> entry) {
    Kiv::traceSinkIs([this](std::string_view) {
      if (!held) return;
      std::unique_lock lock(mutex_);
      inside_ = true;
      changed_.notify_all();
      changed_.wait(lock, [this] { return released_; });
    });
    Kiv::traceConfigIs("*/3");
    thread_ = std::thread([&util, entry] {
      held = true;
      util.processSwEntry(entry);
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return inside_; });
    Kiv::traceConfigIs("");
  }
  ~ThreadInside() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
    thread_.join();
    Kiv::traceSinkIs({});
  }

 private:
  static inline thread_local bool held = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool inside_ = false;
  bool released_ = false;
  std::thread thread_;
};

std::string breach(std::string_view operation, std::string_view entering, std::string_view inside) {
  return fmt::format(
      "%ASSERT: [^ ]*HwCommonTableBase\\.cc:[0-9]+ {}: {} entered hardware table EEDB while {} "
      "was inside it: table utilities must be called from one thread at a time",
      operation, entering, inside);
}

// Every operation that reads or changes the shadow refuses to enter while another thread is
// inside, whichever table utility of the table either thread goes through.
TEST(OneThreadAtATimeDeathTest, EveryOperationOnTheTableNamesBothTableUtilities) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    std::string_view operation;
    std::function<void(UtilBase&)> call;
  };
  Case const cases[] = {
      {"processSwEntry", [](UtilBase& u) { u.processSwEntry(ipTunnel(0x100, 0)); }},
      {"writeSwEntryToShadow", [](UtilBase& u) { u.writeSwEntryToShadow(ipTunnel(0x100, 0)); }},
      {"getSchanCmds", [](UtilBase& u) { u.getSchanCmds(ipTunnel(0x100, 0), 150); }},
      {"clearHwTable", [](UtilBase& u) { u.clearHwTable(Asic::UnitId(0)); }},
      {"readShadowEntry",
       [](UtilBase& u) {
         callAny(u, "readShadowEntry",
                 {SchanAccel::FapId(0), ZuriAsicUtils::InstanceId(0),
                  chip26_a0::EedbHwMdb::EntryKey(0x100)});
       }},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.operation);
    EXPECT_DEATH(
        {
          SharedEedb s;
          ThreadInside const inside(*s.ipv6, ipTunnel(0x200, 3));
          c.call(*s.ipv4);
        },
        breach(c.operation, "EedbIpTunnelUtil", "EedbIpTunnelNonAiUtil"));
  }
  // One table utility from two threads is the same breach.
  EXPECT_DEATH(
      {
        SharedEedb s;
        ThreadInside const inside(*s.ipv4, ipTunnel(0x200, 0));
        s.ipv4->processSwEntry(ipTunnel(0x100, 0));
      },
      breach("processSwEntry", "EedbIpTunnelUtil", "EedbIpTunnelUtil"));
}

// What the agent did wrong: two threads feeding the two table utilities at full speed, with
// every trace off. The first overlap seen ends the process instead of losing entries; given ten
// seconds to overlap. Every key is in the shadow before the threads start, so two threads that
// enter unseen within the same few nanoseconds update different entries in place, and what the
// test sees is the assertion, not the damage two inserts that reshape the table at once would do.
TEST(OneThreadAtATimeDeathTest, TwoThreadsFeedingOneTableDie) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        SharedEedb s;
        auto const entries = [](std::uint8_t view, std::uint32_t firstKey) {
          std::vector<Pelix::Ptr<Asic::LogEntryWrapperBase>> out;
          for (std::uint32_t k = 0; k < 20'000; ++k) out.push_back(ipTunnel(firstKey + k, view));
          return out;
        };
        auto const ipv4 = entries(0, 0);
        auto const ipv6 = entries(3, 0x40000);
        for (auto const& e : ipv4) s.ipv4->processSwEntry(e);
        for (auto const& e : ipv6) s.ipv6->processSwEntry(e);
        auto const feed = [](UtilBase& util, auto const& stream) {
          auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
          while (std::chrono::steady_clock::now() < end) {
            for (auto const& e : stream) util.processSwEntry(e);
          }
        };
        std::thread other([&] { feed(*s.ipv6, ipv6); });
        feed(*s.ipv4, ipv4);
        other.join();
      },
      "%ASSERT: .* processSwEntry: (EedbIpTunnelUtil entered hardware table EEDB while "
      "EedbIpTunnelNonAiUtil|EedbIpTunnelNonAiUtil entered hardware table EEDB while "
      "EedbIpTunnelUtil) was inside it");
}

// The thread inside may call again, through any table utility of the table: the nested call
// runs, and the outer one stays inside until it returns.
TEST(OneThreadAtATime, NestedCallsFromTheThreadInsideRun) {
  SharedEedb s;
  int depth = 0;
  std::string insideAfterNested;
  Kiv::traceSinkIs([&](std::string_view) {
    if (depth++ == 0) {
      s.ipv4->processSwEntry(ipTunnel(0x100, 0));
      EXPECT_TRUE(callAny(*s.ipv6, "readShadowEntry",
                          {SchanAccel::FapId(0), ZuriAsicUtils::InstanceId(0),
                           chip26_a0::EedbHwMdb::EntryKey(0x100)})
                      .has_value());
      insideAfterNested = std::string(s.table.utilInside());
    }
  });
  Kiv::traceConfigIs("EedbIpTunnelNonAiUtil/3");
  s.ipv6->processSwEntry(ipTunnel(0x200, 3));
  Kiv::traceConfigIs("");
  Kiv::traceSinkIs({});

  EXPECT_EQ(insideAfterNested, "EedbIpTunnelNonAiUtil");
  EXPECT_EQ(s.table.utilInside(), "");
  auto const table = mdbTable(*s.ipv4);
  EXPECT_NE(storedIn(*table, 0x100), nullptr);
  EXPECT_NE(storedIn(*table, 0x200), nullptr);
}

// Threads that take turns are fine, and an entry that raised has left the table for the next
// thread.
TEST(OneThreadAtATime, ThreadsTakingTurnsRunAndAFailedEntryLeavesTheTable) {
  SharedEedb s;
  auto outrifUtil = create(kOutrif, s.m);
  addFap(*outrifUtil, 0);
  ASSERT_EQ(outrifUtil->hwTableBase().get(), &s.table);

  std::thread([&] {
    auto bad = outrifEntry(0x300);
    bad.mtuProfileIs(16);  // U4: raises in translation
    EXPECT_THROW(outrifUtil->processSwEntry(outrif(bad)), Asic::OrderedTableException);
  }).join();
  EXPECT_EQ(s.table.utilInside(), "");
  std::thread([&] { s.ipv4->processSwEntry(ipTunnel(0x100, 0)); }).join();
  std::thread([&] { s.ipv6->processSwEntry(ipTunnel(0x200, 3)); }).join();
  outrifUtil->processSwEntry(outrif(outrifEntry(0x300)));

  auto const table = mdbTable(*s.ipv4);
  EXPECT_EQ(table->entryCount(), 3u);
  EXPECT_EQ(s.table.utilInside(), "");
}

}  // namespace
}  // namespace eedb::test
