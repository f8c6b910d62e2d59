// Loading plug-in libraries through the real dlopen path: what a plug-in records at load, and
// that every refused library leaves the loader as it was.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
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

UtilKey testKey(char const* utilName, std::uint32_t swTableId) {
  return {utilName, Asic::SwTableId(swTableId), Hardware::Zuri::FapRevision::fapRevGen3A0()};
}

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
    return reinterpret_cast<Fn*>(library_->symbol(name));
  }

  static inline LoaderState before_;
  static inline std::optional<Plugin::Library> library_;
};

TEST_F(TestPluginLoad, RecordsItsPluginsInConstructionOrder) {
  EXPECT_EQ(library_->path(), TEST_PLUGIN_PATH);
  EXPECT_THAT(library_->pluginNames(),
              ElementsAre("TestPlugin::FirstUtilPlugin", "TestPlugin::SecondUtilPlugin"));
  // The record only grows: the two follow whatever was recorded before the load.
  auto const names = LoaderImpl::pluginNames();
  ASSERT_GE(names.size(), before_.pluginCount + 2);
  EXPECT_EQ(names[before_.pluginCount], "TestPlugin::FirstUtilPlugin");
  EXPECT_EQ(names[before_.pluginCount + 1], "TestPlugin::SecondUtilPlugin");
}

TEST_F(TestPluginLoad, LastConstructedNodeIsAtTheFront) {
  auto* initCaller = probe<void const*(int)>("eedbTestPluginInitCaller");
  ASSERT_NE(initCaller, nullptr);
  Loader const* loader = DefaultUtilLoader();
  ASSERT_EQ(loader->size(), before_.listSize + 2);
  Loader::ListNode const* front = loader->front();
  EXPECT_EQ(front->payload.caller(), initCaller(1));
  EXPECT_EQ(front->payload.loader(), loader);
  EXPECT_EQ(front->next->payload.caller(), initCaller(0));
  EXPECT_EQ(front->next->next, before_.front);
}

TEST_F(TestPluginLoad, InitRegistersFactoriesIntoTheContext) {
  UtilHolderContext context;
  DefaultUtilLoader()->initPlugins(&context);
  EXPECT_EQ(DefaultUtilLoader()->context(), nullptr);

  auto const first = testKey("TestPlugin::FirstUtil", 0x7f000001);
  auto const second = testKey("TestPlugin::SecondUtil", 0x7f000002);
  std::vector<Pelix::String> order;
  for (auto const& r : context.registrations()) {
    if (r.key == first || r.key == second) order.push_back(r.key.utilName);
  }
  EXPECT_THAT(order, ElementsAre("TestPlugin::FirstUtil", "TestPlugin::SecondUtil"));

  // The factory made in the plug-in builds a table utility whose types the agent recognises.
  auto const* factory = context.findFactory(second);
  ASSERT_NE(factory, nullptr);
  auto const tables = Pelix::make<ZuriAsicUtils::TableManager>();
  auto util = (*factory)(second, tables, nullptr, nullptr, nullptr);
  ASSERT_TRUE(util);
  EXPECT_EQ(util->utilKey(), second);
  EXPECT_EQ(util->hwTableManager(), tables);
  EXPECT_NE(dynamic_cast<ZuriAsicUtils::NonMdbUtilBase*>(util.get()), nullptr);
  EXPECT_EQ(dynamic_cast<ZuriAsicUtils::MdbUtilBase*>(util.get()), nullptr);

  // A second initialisation registers the same keys again: replaced, not added.
  std::size_t const count = context.registrations().size();
  DefaultUtilLoader()->initPlugins(&context);
  EXPECT_EQ(context.registrations().size(), count);
}

TEST_F(TestPluginLoad, LoadingAgainGivesTheFirstRecord) {
  LoaderState const state = loaderState();
  Plugin::Library again = Plugin::loadLibrary(TEST_PLUGIN_PATH);
  EXPECT_EQ(again.handle(), library_->handle());
  EXPECT_EQ(again.pluginNames(), library_->pluginNames());
  EXPECT_EQ(loaderState(), state);
}

TEST_F(TestPluginLoad, ExceptionRaisedInThePluginIsCaughtByItsBaseHere) {
  auto* raise = probe<void()>("eedbTestPluginThrow");
  ASSERT_NE(raise, nullptr);
  try {
    raise();
    FAIL() << "nothing raised";
  } catch (Asic::OrderedTableException const& e) {
    EXPECT_STREQ(e.what(), "raised inside the plug-in");
    EXPECT_NE(dynamic_cast<Asic::GracefulAssertException const*>(&e), nullptr);
  }
}

TEST_F(TestPluginLoad, AssertionModeIsOnePerProcess) {
  auto* modeAddress = probe<std::int32_t*()>("eedbTestPluginModeAddress");
  ASSERT_NE(modeAddress, nullptr);
  EXPECT_EQ(modeAddress(), &Asic::mode);
}

// A refused library must leave the loader exactly as it was.
class LoadErrors : public ::testing::Test {
 protected:
  void SetUp() override { before_ = loaderState(); }
  void TearDown() override { EXPECT_EQ(loaderState(), before_); }

  static Plugin::LoadError loadError(std::string const& path) {
    try {
      Plugin::loadLibrary(path);
    } catch (Plugin::LoadError const& e) {
      return e;
    }
    ADD_FAILURE() << path << " was loaded";
    return Plugin::LoadError(path, "");
  }

  LoaderState before_;
};

TEST_F(LoadErrors, MissingFile) {
  std::string const path = "/nonexistent-eedb/libnothing.so";
  auto const e = loadError(path);
  EXPECT_EQ(e.path(), path);
  EXPECT_THAT(e.reason(), HasSubstr("No such file or directory"));
  EXPECT_EQ(std::string(e.what()), "cannot load plug-in library " + path + ": " + e.reason());
}

TEST_F(LoadErrors, FileThatIsNotALibrary) {
  std::string const path =
      ::testing::TempDir() + "eedb-not-a-library-" + std::to_string(::getpid()) + ".so";
  {
    std::ofstream out(path);
    out << std::string(256, '#') << "\nthis is text, not an ELF object\n";
  }
  auto const e = loadError(path);
  std::remove(path.c_str());
  EXPECT_EQ(e.path(), path);
  EXPECT_THAT(e.reason(), HasSubstr("invalid ELF header"));
  EXPECT_EQ(std::string(e.what()), "cannot load plug-in library " + path + ": " + e.reason());
}

TEST_F(LoadErrors, LibraryThatRegistersNothingIsClosedAgain) {
  std::string const path = TEST_EMPTY_LIBRARY_PATH;
  auto const e = loadError(path);
  EXPECT_EQ(e.reason(), "registers no plug-in");
  EXPECT_EQ(std::string(e.what()),
            "cannot load plug-in library " + path + ": registers no plug-in");
  EXPECT_EQ(::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
