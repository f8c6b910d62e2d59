// Reference counting of runtime nodes under both settings of the thread-safety switch.

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "pelix/Node.h"
#include "pelix/Ptr.h"

namespace {

struct Base : Pelix::Node {};
struct Derived : Base {
  int value = 7;
};
struct Other : Pelix::Node {};

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
    b = b;  // self-assignment keeps the count
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

}  // namespace
