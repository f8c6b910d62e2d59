// The loader's record of plug-ins: recording order, initialisation order and the context that
// callers see, and ownership of the list nodes.

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pelix/Slab.h"
#include "plugin/Loader.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace {

using ::testing::ElementsAre;
using ZuriAsicUtils::UtilHolderContext;
using ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader;
using LoaderImpl = Plugin::Impl::LoaderImpl;

// Records live for the whole process, so the callers are process-wide too.
std::vector<int> gCalls;
std::vector<UtilHolderContext*> gContexts;
bool gThrow = false;

struct RecordingCaller final : Plugin::LoaderInitCaller {
  explicit RecordingCaller(int id) : id(id) {}
  void operator()() override {
    gCalls.push_back(id);
    gContexts.push_back(DefaultUtilLoader()->context());
    if (gThrow && id == 2) throw std::runtime_error("init failed");
  }
  int id;
};

RecordingCaller gFirst(1);
RecordingCaller gSecond(2);
RecordingCaller gLate(4);

// Records gLate the first time it runs: a plug-in recorded during initialisation.
struct RecordingLaterCaller final : Plugin::LoaderInitCaller {
  void operator()() override {
    gCalls.push_back(3);
    if (!done) {
      done = true;
      LoaderImpl::registerPlugin("", "RegistryTest::Late", "", "", "", &gLate);
    }
  }
  bool done = false;
};
RecordingLaterCaller gLater;

// Records this file's callers once per process; true on the call that recorded them.
bool recordOnce() {
  static bool done = false;
  if (done) return false;
  done = true;
  LoaderImpl::registerPlugin("ZuriAsicUtils", "RegistryTest::First", "UtilHolderContext", "", "",
                             &gFirst);
  LoaderImpl::registerPlugin("ZuriAsicUtils", "RegistryTest::Second", "UtilHolderContext", "", "",
                             &gSecond);
  LoaderImpl::registerPlugin("", "RegistryTest::Later", "", "", "", &gLater);
  return true;
}

TEST(LoaderRegistry, RecordsAndInitialisesInRecordingOrder) {
  std::size_t const before = LoaderImpl::pluginCount();
  if (recordOnce()) {
    EXPECT_EQ(LoaderImpl::pluginCount(), before + 3);
    auto names = LoaderImpl::pluginNames();
    names.erase(names.begin(), names.end() - 3);
    EXPECT_THAT(names,
                ElementsAre("RegistryTest::First", "RegistryTest::Second", "RegistryTest::Later"));
  }

  gCalls.clear();
  gContexts.clear();
  UtilHolderContext context;
  DefaultUtilLoader()->initPlugins(&context);
  // The caller recorded during the pass runs in the same pass, after the others.
  EXPECT_THAT(gCalls, ElementsAre(1, 2, 3, 4));
  EXPECT_THAT(gContexts, ElementsAre(&context, &context, &context));
  EXPECT_EQ(DefaultUtilLoader()->context(), nullptr);
  auto const names = LoaderImpl::pluginNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "RegistryTest::Late"), 1);

  // Later passes call every recorded caller once more; nothing is recorded twice.
  std::size_t const count = LoaderImpl::pluginCount();
  gCalls.clear();
  DefaultUtilLoader()->initPlugins(&context);
  EXPECT_THAT(gCalls, ElementsAre(1, 2, 3, 4));
  EXPECT_EQ(LoaderImpl::pluginCount(), count);
}

TEST(LoaderRegistry, FailingInitStopsThePassAndRestoresTheContext) {
  recordOnce();
  UtilHolderContext context;
  gCalls.clear();
  gThrow = true;
  EXPECT_THROW(DefaultUtilLoader()->initPlugins(&context), std::runtime_error);
  gThrow = false;
  EXPECT_THAT(gCalls, ElementsAre(1, 2));
  EXPECT_EQ(DefaultUtilLoader()->context(), nullptr);
}

TEST(LoaderRegistry, LoaderOwnsAndFreesItsNodes) {
  using IntLoader = Plugin::Loader<int>;
  struct NoInit final : Plugin::PluginInitCaller<int> {
    void operator()(int*) override {}
  } noInit;
  std::size_t const live = Pelix::slabLiveBlocks(sizeof(IntLoader::ListNode));
  {
    IntLoader loader("a", "b");
    for (int i = 0; i < 3; ++i) {
      void* storage = Plugin::Impl::nodeAlloc(sizeof(IntLoader::ListNode));
      loader.pushFront(new (storage) IntLoader::ListNode{
          nullptr, IntLoader::LoaderInitCallerWithContext(&loader, &noInit)});
    }
    EXPECT_EQ(loader.size(), 3u);
    EXPECT_EQ(Pelix::slabLiveBlocks(sizeof(IntLoader::ListNode)), live + 3);
  }
  EXPECT_EQ(Pelix::slabLiveBlocks(sizeof(IntLoader::ListNode)), live);
}

TEST(LoaderRegistry, DefaultLoaderIsOnePerProcess) {
  auto* loader = DefaultUtilLoader();
  ASSERT_NE(loader, nullptr);
  EXPECT_EQ(DefaultUtilLoader(), loader);
  EXPECT_EQ(loader->text1(), "ZuriAsicUtils");
  EXPECT_EQ(loader->text2(), "UtilHolderContext");
}

}  // namespace
