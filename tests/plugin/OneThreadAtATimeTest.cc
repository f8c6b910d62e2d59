// The threading rule of the table utilities: one thread at a time in the hardware tables of a
// table manager. A second thread entering a table of the manager while another is inside ends in
// a fatal assertion naming both table utilities, and so does a call from inside an operation into
// its own hardware table (naming both operations); different threads at different times, nested
// calls into another hardware table, and a failed entry before the next thread's are fine.

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
Pelix::Ptr<Asic::LogEntryWrapperBase> ipTunnel(std::uint32_t outlif, std::uint8_t viewType,
                                               std::uint8_t flags = 0) {
  ZuriErrm::EedbIpTunnelLogEntry e;
  e.keyIs(ZuriErrm::EedbIpTunnelEntryKey(outlif, 0));
  e.viewTypeIs(viewType);
  return wrap<ZuriErrm::EedbIpTunnelLogEntryWrapper>(e, 0, flags);
}

constexpr std::string_view kAgMemTlm = "chip26_a0::ZuriErrmUtil::EedbAgMemTlmUtil";

Pelix::Ptr<Asic::LogEntryWrapperBase> agMemTlm(std::uint16_t key) {
  ZuriErrm::EedbAgMemTlmLogEntry e;
  e.keyIs(ZuriErrm::EedbAgMemTlmEntryKey(key));
  return wrap<ZuriErrm::EedbAgMemTlmLogEntryWrapper>(e, 0);
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

// The thread inside may call into another hardware table of the manager (Out-RIF's trace sink
// adds an AgMemTlm entry): the nested call runs, and the outer one stays inside until it returns.
TEST(OneThreadAtATime, NestedCallsIntoAnotherTableRun) {
  Managers m;
  auto outrifUtil = create(kOutrif, m);
  auto agUtil = create(kAgMemTlm, m);
  addFap(*outrifUtil, 0);
  addFap(*agUtil, 0);
  auto& eedb = *outrifUtil->hwTableBase();
  ASSERT_NE(&eedb, agUtil->hwTableBase().get());
  int depth = 0;
  std::string insideAfterNested;
  Kiv::traceSinkIs([&](std::string_view) {
    if (depth++ == 0) {
      agUtil->processSwEntry(agMemTlm(7));
      insideAfterNested = std::string(eedb.utilInside());
    }
  });
  Kiv::traceConfigIs("EedbOutrifUtil/3");
  outrifUtil->processSwEntry(outrif(outrifEntry(0x300)));
  Kiv::traceConfigIs("");
  Kiv::traceSinkIs({});

  EXPECT_EQ(insideAfterNested, "EedbOutrifUtil");
  EXPECT_EQ(eedb.utilInside(), "");
  EXPECT_NE(storedIn(*mdbTable(*outrifUtil), 0x300), nullptr);
  EXPECT_EQ(m.hw->stats().schanEnqueueStats(agUtil->utilKey().swTableId)->totalEnqueueCnt(), 1u);
}

// A call from inside an operation into its own hardware table would change the shadow under the
// outer operation, which keeps the slot of its key across translation and traces: a nested delete
// of that key, or nested inserts that rehash the table, would leave the outer add writing into a
// stale slot. Each ends in a fatal assertion naming both operations, before it touches the table,
// whichever table utility of the table it goes through.
TEST(OneThreadAtATimeDeathTest, NestedCallsIntoTheSameTableNameBothOperations) {
  struct Case {
    std::string_view what;
    std::string_view operation;
    std::function<void(SharedEedb&)> nested;
  };
  Case const cases[] = {
      {"the outer key deleted", "processSwEntry",
       [](SharedEedb& s) { s.ipv6->processSwEntry(ipTunnel(0x200, 3, kDelete)); }},
      {"enough keys added to rehash", "processSwEntry",
       [](SharedEedb& s) {
         for (std::uint32_t k = 0; k < 4096; ++k) s.ipv4->processSwEntry(ipTunnel(0x1000 + k, 0));
       }},
      {"the shadow read", "readShadowEntry",
       [](SharedEedb& s) {
         callAny(*s.ipv6, "readShadowEntry",
                 {SchanAccel::FapId(0), ZuriAsicUtils::InstanceId(0),
                  chip26_a0::EedbHwMdb::EntryKey(0x200)});
       }},
      {"the table cleared", "clearHwTable",
       [](SharedEedb& s) { s.ipv4->clearHwTable(Asic::UnitId(0)); }},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_DEATH(
        {
          SharedEedb s;
          int depth = 0;
          Kiv::traceSinkIs([&](std::string_view) {
            if (depth++ == 0) c.nested(s);
          });
          Kiv::traceConfigIs("EedbIpTunnelNonAiUtil/3");
          s.ipv6->processSwEntry(ipTunnel(0x200, 3));
        },
        fmt::format("%ASSERT: [^ ]*HwCommonTableBase\\.cc:[0-9]+ {}: Eedb[A-Za-z]+Util entered "
                    "hardware table EEDB from inside EedbIpTunnelNonAiUtil's processSwEntry on the "
                    "same thread: a call from inside an operation must not go to its hardware "
                    "table",
                    c.operation));
  }
}

// Two threads in two hardware tables of one manager share its SCHAN enqueue statistics: the
// second to enter is the breach, named with the table the first is inside.
TEST(OneThreadAtATimeDeathTest, TwoThreadsInTwoTablesOfOneManagerDie) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Managers m;
        auto outrifUtil = create(kOutrif, m);
        auto agUtil = create(kAgMemTlm, m);
        addFap(*outrifUtil, 0);
        addFap(*agUtil, 0);
        ThreadInside const inside(*agUtil, agMemTlm(7));
        outrifUtil->processSwEntry(outrif(outrifEntry(0x300)));
      },
      "%ASSERT: [^ ]*HwCommonTableBase\\.cc:[0-9]+ processSwEntry: EedbOutrifUtil entered "
      "hardware table EEDB while EedbAgMemTlmUtil was inside hardware table EEDB_AG_MEM_TLM of "
      "the same table manager: table utilities must be called from one thread at a time");
}

// Two table managers are two sets of tables: a thread in each runs.
TEST(OneThreadAtATime, ThreadsInTablesOfTwoManagersRun) {
  Managers m1;
  Managers m2;
  auto outrif1 = create(kOutrif, m1);
  auto outrif2 = create(kOutrif, m2);
  addFap(*outrif1, 0);
  addFap(*outrif2, 0);
  {
    ThreadInside const inside(*outrif1, outrif(outrifEntry(0x300)));
    outrif2->processSwEntry(outrif(outrifEntry(0x301)));
  }
  EXPECT_NE(storedIn(*mdbTable(*outrif1), 0x300), nullptr);
  EXPECT_NE(storedIn(*mdbTable(*outrif2), 0x301), nullptr);
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
