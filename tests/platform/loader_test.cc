// The plug-in loader: its record of plug-ins and their initialisation, and plug-in libraries
// through the real dlopen path, refused libraries leaving the loader as it was.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "plugin/Library.h"
#include "plugin/Loader.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ZuriAsicUtils::UtilHolderContext;
using ZuriAsicUtils::UtilKey;
using ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader;
using Loader = Plugin::Loader<UtilHolderContext>;
using LoaderImpl = Plugin::Impl::LoaderImpl;

struct LoaderState {
  std::size_t pluginCount;
  std::vector<Pelix::String> names;
  std::size_t listSize;
  Loader::ListNode const* front;
  bool operator==(LoaderState const&) const = default;
};

LoaderState loaderState() {
  return {LoaderImpl::pluginCount(), LoaderImpl::pluginNames(), DefaultUtilLoader()->size(),
          DefaultUtilLoader()->front()};
}

// --- The record: callers live for the whole process, so the records are process-wide too ---

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
RecordingCaller gFirst(1), gSecond(2), gLate(4);

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
} gLater;

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
    auto names = LoaderImpl::pluginNames();
    ASSERT_EQ(names.size(), before + 3);
    names.erase(names.begin(), names.end() - 3);
    EXPECT_THAT(names,
                ElementsAre("RegistryTest::First", "RegistryTest::Second", "RegistryTest::Later"));
  }
  UtilHolderContext context;
  for (int pass = 0; pass < 2; ++pass) {
    // The caller recorded during the first pass runs in that pass, after the others; later
    // passes call every caller once more and record nothing twice.
    gCalls.clear();
    gContexts.clear();
    std::size_t const count = LoaderImpl::pluginCount();
    DefaultUtilLoader()->initPlugins(&context);
    EXPECT_THAT(gCalls, ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(gContexts, ElementsAre(&context, &context, &context));
    EXPECT_EQ(DefaultUtilLoader()->context(), nullptr);
    if (pass == 1) {
      EXPECT_EQ(LoaderImpl::pluginCount(), count);
    }
  }
  auto const names = LoaderImpl::pluginNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "RegistryTest::Late"), 1);
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

// --- The real dlopen path, with the plug-in of tests/support ---

class TestPluginLoad : public ::testing::Test {
 protected:
  // Once per process: a second load runs no static initialisation.
  static void SetUpTestSuite() {
    if (library_) return;
    before_ = loaderState();
    library_.emplace(Plugin::loadLibrary(TEST_PLUGIN_PATH));
  }
  template <class Fn>
  static Fn* probe(char const* name) {
    auto* fn = reinterpret_cast<Fn*>(library_->symbol(name));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  static inline LoaderState before_;
  static inline std::optional<Plugin::Library> library_;
};

TEST_F(TestPluginLoad, RecordsItsPluginsInConstructionOrderWithTheLastAtTheFront) {
  EXPECT_THAT(library_->pluginNames(),
              ElementsAre("TestPlugin::FirstUtilPlugin", "TestPlugin::SecondUtilPlugin"));
  auto const names = LoaderImpl::pluginNames();
  ASSERT_GE(names.size(), before_.pluginCount + 2);
  EXPECT_EQ(names[before_.pluginCount], "TestPlugin::FirstUtilPlugin");
  EXPECT_EQ(names[before_.pluginCount + 1], "TestPlugin::SecondUtilPlugin");

  auto* initCaller = probe<void const*(int)>("eedbTestPluginInitCaller");
  Loader const* loader = DefaultUtilLoader();
  ASSERT_EQ(loader->size(), before_.listSize + 2);
  EXPECT_EQ(loader->front()->payload.caller(), initCaller(1));
  EXPECT_EQ(loader->front()->payload.loader(), loader);
  EXPECT_EQ(loader->front()->next->payload.caller(), initCaller(0));
  EXPECT_EQ(loader->front()->next->next, before_.front);

  // Loading again gives the first record and changes nothing.
  LoaderState const state = loaderState();
  Plugin::Library again = Plugin::loadLibrary(TEST_PLUGIN_PATH);
  EXPECT_EQ(again.handle(), library_->handle());
  EXPECT_EQ(again.pluginNames(), library_->pluginNames());
  EXPECT_EQ(loaderState(), state);
}

TEST_F(TestPluginLoad, InitRegistersFactoriesThatBuildUtilsTheAgentRecognises) {
  UtilHolderContext context;
  DefaultUtilLoader()->initPlugins(&context);
  auto const key = [](char const* name, std::uint32_t id) {
    return UtilKey{name, Asic::SwTableId(id), Hardware::Zuri::FapRevision::fapRevGen3A0()};
  };
  auto const first = key("TestPlugin::FirstUtil", 0x7f000001);
  auto const second = key("TestPlugin::SecondUtil", 0x7f000002);
  std::vector<Pelix::String> order;
  for (auto const& r : context.registrations()) {
    if (r.key == first || r.key == second) order.push_back(r.key.utilName);
  }
  EXPECT_THAT(order, ElementsAre("TestPlugin::FirstUtil", "TestPlugin::SecondUtil"));

  auto const* factory = context.findFactory(second);
  ASSERT_NE(factory, nullptr);
  auto const tables = Pelix::make<ZuriAsicUtils::TableManager>();
  auto util = (*factory)(second, tables, nullptr, nullptr, nullptr);
  ASSERT_TRUE(util);
  EXPECT_EQ(util->utilKey(), second);
  EXPECT_NE(dynamic_cast<ZuriAsicUtils::NonMdbUtilBase*>(util.get()), nullptr);
  EXPECT_EQ(dynamic_cast<ZuriAsicUtils::MdbUtilBase*>(util.get()), nullptr);

  // A second initialisation registers the same keys again: replaced, not added.
  std::size_t const count = context.registrations().size();
  DefaultUtilLoader()->initPlugins(&context);
  EXPECT_EQ(context.registrations().size(), count);
}

// Type identity and process-wide state are shared across the library boundary.
TEST_F(TestPluginLoad, ExceptionsAndTheAssertionModeCrossTheBoundary) {
  try {
    probe<void()>("eedbTestPluginThrow")();
    FAIL() << "nothing raised";
  } catch (Asic::OrderedTableException const& e) {
    EXPECT_STREQ(e.what(), "raised inside the plug-in");
    EXPECT_NE(dynamic_cast<Asic::GracefulAssertException const*>(&e), nullptr);
  }
  EXPECT_EQ(probe<std::int32_t*()>("eedbTestPluginModeAddress")(), &Asic::mode);
}

// Each refused library is reported with its exact text and leaves the loader as it was.
TEST(LoadErrors, RefusedLibrariesLeaveTheLoaderAsItWas) {
  std::string const junk =
      ::testing::TempDir() + "eedb-not-a-library-" + std::to_string(::getpid()) + ".so";
  std::ofstream(junk) << std::string(256, '#') << "\nthis is text, not an ELF object\n";
  struct Case {
    std::string path;
    char const* reason;
    bool exact;
  } const cases[] = {
      {"/nonexistent-eedb/libnothing.so", "No such file or directory", false},
      {junk, "invalid ELF header", false},
      {TEST_EMPTY_LIBRARY_PATH, "registers no plug-in", true},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.path);
    LoaderState const before = loaderState();
    try {
      Plugin::loadLibrary(c.path);
      ADD_FAILURE() << "loaded";
    } catch (Plugin::LoadError const& e) {
      EXPECT_EQ(e.path(), c.path);
      if (c.exact) {
        EXPECT_EQ(e.reason(), c.reason);
      }
      EXPECT_THAT(e.reason(), HasSubstr(c.reason));
      EXPECT_EQ(std::string(e.what()), "cannot load plug-in library " + c.path + ": " + e.reason());
    }
    EXPECT_EQ(loaderState(), before);
  }
  std::remove(junk.c_str());
  // The library that registers nothing was closed again.
  EXPECT_EQ(::dlopen(TEST_EMPTY_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
