// The plug-in loader: its record of plug-ins and their initialisation, and plug-in libraries
// through the real dlopen path, refused libraries leaving the loader as it was.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
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

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ZuriAsicUtils::UtilHolderContext;
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
RecordingCaller gFirst(1), gSecond(2), gThird(3);

// Every pass calls every recorded caller once, in recording order, with the context set, and
// restores the context; a failing initialisation stops the pass.
TEST(LoaderRegistry, InitialisesInRecordingOrderAndRestoresTheContext) {
  LoaderImpl::registerPlugin("ZuriAsicUtils", "RegistryTest::First", "UtilHolderContext", "", "",
                             &gFirst);
  LoaderImpl::registerPlugin("ZuriAsicUtils", "RegistryTest::Second", "UtilHolderContext", "", "",
                             &gSecond);
  LoaderImpl::registerPlugin("", "RegistryTest::Third", "", "", "", &gThird);
  UtilHolderContext context;
  for (bool fail : {false, false, true}) {
    gCalls.clear();
    gContexts.clear();
    gThrow = fail;
    if (fail) {
      EXPECT_THROW(DefaultUtilLoader()->initPlugins(&context), std::runtime_error);
    } else {
      DefaultUtilLoader()->initPlugins(&context);
    }
    EXPECT_EQ(gCalls, (fail ? std::vector<int>{1, 2} : std::vector<int>{1, 2, 3}));
    EXPECT_THAT(gContexts, Each(&context));
    EXPECT_EQ(DefaultUtilLoader()->context(), nullptr);
  }
  gThrow = false;
}

// --- The real dlopen path, with the plug-in of tests/support ---

// Two plug-ins recorded at load, in construction order, the last one's node at the front; a
// second load gives the first record and changes nothing; exception types and the assertion mode
// are one across the library boundary.
TEST(TestPluginLoad, RecordsItsPluginsOnceAndSharesTypesAndState) {
  LoaderState const before = loaderState();
  Plugin::Library const library = Plugin::loadLibrary(TEST_PLUGIN_PATH);
  EXPECT_THAT(library.pluginNames(),
              ElementsAre("TestPlugin::FirstUtilPlugin", "TestPlugin::SecondUtilPlugin"));
  auto const names = LoaderImpl::pluginNames();
  ASSERT_EQ(names.size(), before.pluginCount + 2);
  EXPECT_EQ(names[before.pluginCount], "TestPlugin::FirstUtilPlugin");
  EXPECT_EQ(names[before.pluginCount + 1], "TestPlugin::SecondUtilPlugin");
  auto* initCaller =
      reinterpret_cast<void const* (*)(int)>(library.symbol("eedbTestPluginInitCaller"));
  ASSERT_NE(initCaller, nullptr);
  Loader const* loader = DefaultUtilLoader();
  ASSERT_EQ(loader->size(), before.listSize + 2);
  EXPECT_EQ(loader->front()->payload.caller(), initCaller(1));
  EXPECT_EQ(loader->front()->payload.loader(), loader);
  EXPECT_EQ(loader->front()->next->payload.caller(), initCaller(0));
  EXPECT_EQ(loader->front()->next->next, before.front);
  LoaderState const loaded = loaderState();
  Plugin::Library const again = Plugin::loadLibrary(TEST_PLUGIN_PATH);
  EXPECT_EQ(again.handle(), library.handle());
  EXPECT_EQ(again.pluginNames(), library.pluginNames());
  EXPECT_EQ(loaderState(), loaded);
  try {
    reinterpret_cast<void (*)()>(library.symbol("eedbTestPluginThrow"))();
    ADD_FAILURE() << "nothing raised";
  } catch (Asic::OrderedTableException const& e) {
    EXPECT_STREQ(e.what(), "raised inside the plug-in");
    EXPECT_NE(dynamic_cast<Asic::GracefulAssertException const*>(&e), nullptr);
  }
  EXPECT_EQ(reinterpret_cast<std::int32_t* (*)()>(library.symbol("eedbTestPluginModeAddress"))(),
            &Asic::mode);
}

// Each refused library is reported with its exact text and leaves the loader as it was.
TEST(LoadErrors, RefusedLibrariesLeaveTheLoaderAsItWas) {
  std::string const junk =
      ::testing::TempDir() + "eedb-not-a-library-" + std::to_string(::getpid()) + ".so";
  std::ofstream(junk) << std::string(256, '#') << "\nthis is text, not an ELF object\n";
  struct Case {
    std::string path;
    ::testing::Matcher<std::string> reason;
  } const cases[] = {
      {"/nonexistent-eedb/libnothing.so", HasSubstr("No such file or directory")},
      {junk, HasSubstr("invalid ELF header")},
      {TEST_EMPTY_LIBRARY_PATH, "registers no plug-in"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.path);
    LoaderState const before = loaderState();
    try {
      Plugin::loadLibrary(c.path);
      ADD_FAILURE() << "loaded";
    } catch (Plugin::LoadError const& e) {
      EXPECT_EQ(e.path(), c.path);
      EXPECT_THAT(e.reason(), c.reason);
      EXPECT_EQ(std::string(e.what()), "cannot load plug-in library " + c.path + ": " + e.reason());
    }
    EXPECT_EQ(loaderState(), before);
  }
  std::remove(junk.c_str());
  // The library that registers nothing was closed again.
  EXPECT_EQ(::dlopen(TEST_EMPTY_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
