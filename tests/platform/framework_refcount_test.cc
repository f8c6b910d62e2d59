// Reference counting of runtime nodes under both settings of the thread-safety switch.

#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "asic/Types.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "zuri_errm/SwTables.h"

namespace {

struct Base : Pelix::Node {};
struct Derived : Base {
  int value = 7;
};
struct Other : Pelix::Node {};
// Counts its destructions, to prove that each object dies exactly once.
struct Counted : Pelix::Node {
  explicit Counted(std::atomic<int>& died) : died_(died) {}
  ~Counted() override { died_.fetch_add(1, std::memory_order_relaxed); }
  std::atomic<int>& died_;
};

// Sets the thread-safety switch for one test and proves that no node outlived it.
class SwitchSet {
 public:
  SwitchSet() : saved_(Pelix::ThreadControl::tsp_), live_(Pelix::Node::liveCount()) {
    Pelix::ThreadControl::tsp_ = true;
  }
  ~SwitchSet() {
    EXPECT_EQ(Pelix::Node::liveCount(), live_) << "a node leaked or was freed twice";
    Pelix::ThreadControl::tsp_ = saved_;
  }

 private:
  bool saved_;
  std::int64_t live_;
};

class RefCount : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    saved_ = Pelix::ThreadControl::tsp_;
    Pelix::ThreadControl::tsp_ = GetParam();
    live_ = Pelix::Node::liveCount();
  }
  void TearDown() override {
    EXPECT_EQ(Pelix::Node::liveCount(), live_) << "a node leaked or was freed twice";
    Pelix::ThreadControl::tsp_ = saved_;
  }

  bool saved_ = false;
  std::int64_t live_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Switch, RefCount, ::testing::Bool(),
                         [](auto const& info) { return info.param ? "atomic" : "plain"; });

TEST_P(RefCount, CopiesMovesAndResetsCount) {
  auto a = Pelix::make<Derived>();
  EXPECT_EQ(a->refCount(), 1u);
  EXPECT_EQ(Pelix::Node::liveCount(), live_ + 1);
  {
    Pelix::Ptr<Derived> b = a;
    Pelix::Ptr<Base> c = b;  // converting copy
    EXPECT_EQ(a->refCount(), 3u);
    Pelix::Ptr<Base> d = std::move(c);
    EXPECT_FALSE(c);
    EXPECT_EQ(a->refCount(), 3u);
    d = nullptr;
    EXPECT_EQ(a->refCount(), 2u);
    auto& same = b;
    b = same;  // self-assignment keeps the count
    EXPECT_EQ(a->refCount(), 2u);
  }
  EXPECT_EQ(a->refCount(), 1u);
  Derived* raw = a.release();
  EXPECT_EQ(raw->refCount(), 1u);
  Pelix::Ptr<Derived> adopt(raw);
  EXPECT_EQ(raw->refCount(), 2u);
  raw->decUseImpl();  // the released reference
  adopt.reset();
  EXPECT_EQ(Pelix::Node::liveCount(), live_);
}

TEST_P(RefCount, DynamicCastYieldsNothingForAnotherClass) {
  Pelix::Ptr<Pelix::Node> node = Pelix::make<Derived>();
  auto derived = Pelix::dynamic_pointer_cast<Derived>(node);
  ASSERT_TRUE(derived);
  EXPECT_EQ(derived->value, 7);
  EXPECT_EQ(node->refCount(), 2u);

  auto other = Pelix::dynamic_pointer_cast<Other>(node);
  EXPECT_FALSE(other);
  EXPECT_EQ(node->refCount(), 2u);
  EXPECT_FALSE(Pelix::dynamic_pointer_cast<Derived>(Pelix::Ptr<Pelix::Node>()));

  auto base = Pelix::static_pointer_cast<Base>(node);
  EXPECT_EQ(base.get(), derived.get());
  EXPECT_EQ(node->refCount(), 3u);
}

TEST(RefCountStress, ConcurrentTakeAndDropWithTheSwitchSet) {
  bool const saved = Pelix::ThreadControl::tsp_;
  Pelix::ThreadControl::tsp_ = true;
  std::int64_t const live = Pelix::Node::liveCount();
  {
    auto shared = Pelix::make<Derived>();
    constexpr int kThreads = 4;
    constexpr int kRounds = 200000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&shared] {
        for (int i = 0; i < kRounds; ++i) {
          Pelix::Ptr<Derived> copy = shared;
          Pelix::Ptr<Base> again = copy;
        }
      });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(shared->refCount(), 1u);
  }
  EXPECT_EQ(Pelix::Node::liveCount(), live);
  Pelix::ThreadControl::tsp_ = saved;
}

// Threads hold references to several objects at once: at the rendezvous every count is
// exactly one per holder, and after it exactly the creator's one again.
TEST(RefCountStress, CountsAreExactWhileEveryThreadHoldsReferences) {
  SwitchSet const on;
  constexpr int kThreads = 4;
  constexpr int kObjects = 8;
  constexpr int kHeld = 3;  // references per thread per object
  constexpr int kRounds = 200;
  std::vector<Pelix::Ptr<Derived>> objects;
  for (int i = 0; i < kObjects; ++i) objects.push_back(Pelix::make<Derived>());
  std::atomic<int> wrong{0};
  std::barrier held(kThreads + 1), dropped(kThreads + 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        std::vector<Pelix::Ptr<Base>> mine;
        for (int h = 0; h < kHeld; ++h) {
          for (auto const& o : objects) mine.emplace_back(o);
        }
        held.arrive_and_wait();  // the main thread counts now
        held.arrive_and_wait();
        mine.clear();
        dropped.arrive_and_wait();  // the main thread counts again
        dropped.arrive_and_wait();
      }
    });
  }
  for (int round = 0; round < kRounds; ++round) {
    held.arrive_and_wait();
    for (auto const& o : objects) {
      if (o->refCount() != 1u + kThreads * kHeld) wrong.fetch_add(1);
    }
    held.arrive_and_wait();
    dropped.arrive_and_wait();
    for (auto const& o : objects) {
      if (o->refCount() != 1u) wrong.fetch_add(1);
    }
    dropped.arrive_and_wait();
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

// The last reference goes on whichever thread drops it last: every object dies exactly once,
// however the threads interleave.
TEST(RefCountStress, TheLastReferenceDropsOnAnyThreadAndDestroysOnce) {
  SwitchSet const on;
  constexpr int kThreads = 4;
  constexpr int kObjects = 2000;
  std::atomic<int> died{0};
  {
    std::vector<Pelix::Ptr<Counted>> objects;
    for (int i = 0; i < kObjects; ++i) objects.push_back(Pelix::make<Counted>(died));
    std::vector<std::vector<Pelix::Ptr<Pelix::Node>>> handed(kThreads);
    for (auto& refs : handed) refs.assign(objects.begin(), objects.end());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&refs = handed[t], t] {
        // Drop in different orders, so that each thread is sometimes the last.
        if (t % 2 == 0) {
          while (!refs.empty()) refs.pop_back();
        } else {
          for (auto& r : refs) r.reset();
        }
      });
    }
    objects.clear();  // the creator lets go while the threads still hold
    for (auto& t : threads) t.join();
  }
  EXPECT_EQ(died.load(), kObjects);
}

// What the pipeline does with every log entry, from several threads at once: hold the entry
// through its base class and downcast it to the table's wrapper class.
TEST(RefCountStress, LogEntryWrappersSharedAndDowncastAcrossThreads) {
  SwitchSet const on;
  constexpr int kThreads = 4;
  constexpr int kRounds = 50000;
  ZuriErrm::EedbOutrifLogEntry entry;
  entry.keyIs(ZuriErrm::EedbOutrifEntryKey(4096));
  Pelix::Ptr<Asic::LogEntryWrapperBase> const wrapper =
      Pelix::make<ZuriErrm::EedbOutrifLogEntryWrapper>(entry, Asic::UnitId(0), 0);
  std::atomic<int> misses{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        auto held = Pelix::dynamic_pointer_cast<ZuriErrm::EedbOutrifLogEntryWrapper const>(wrapper);
        auto other =
            Pelix::dynamic_pointer_cast<ZuriErrm::EedbStatTableLogEntryWrapper const>(wrapper);
        if (!held || other) misses.fetch_add(1);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(misses.load(), 0);
  EXPECT_EQ(wrapper->refCount(), 1u);
}

}  // namespace
