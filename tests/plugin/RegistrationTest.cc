// Registration of the table utilities at load and at loader initialisation, through the real
// dlopen path; and the assertion mode that each load reads from the environment.

#include <cstdlib>

#include "PluginTestSupport.h"
#include "asic/Mode.h"

namespace eedb::test {
namespace {

using ::testing::ElementsAreArray;
using ZuriAsicUtils::SupportedFapRevList;
using ZuriAsicUtils::UtilFactory;
using ZuriAsicUtils::UtilHolderContext;
using ZuriAsicUtils::UtilKey;
using ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader;

std::vector<UtilKey> keysOf(UtilHolderContext const& context) {
  std::vector<UtilKey> keys;
  for (auto const& r : context.registrations()) keys.push_back(r.key);
  return keys;
}

// Runs only the init caller at the front of the default loader's list.
void initFront(UtilHolderContext& context) {
  plugin();
  auto* front = DefaultUtilLoader()->front();
  ASSERT_NE(front, nullptr);
  (*front->payload.caller())(&context);
}

// Puts the process-wide revision list back to its default content when a test is done.
struct RevisionListReset {
  ~RevisionListReset() { SupportedFapRevList::fapRevisionList()->reset(); }
};

TEST(Registration, OnePluginPerTableInTableOrderEachRegisteredAtA0AndB0) {
  std::vector<std::string> expected;
  for (auto const& u : kExpectedUtils) expected.push_back(std::string(u.name) + "Plugin");
  EXPECT_THAT(plugin().pluginNames(), ElementsAreArray(expected));
  EXPECT_EQ(DefaultUtilLoader()->size(), kTableCount);
  // Each at 26:A0 then 26:B0, never for chip type 25.
  std::vector<UtilKey> keys;
  for (auto const& u : kExpectedUtils) {
    for (auto rev : {kA0, kB0}) {
      keys.push_back({Pelix::String(u.name), Asic::SwTableId(u.swTableId), rev});
    }
  }
  EXPECT_THAT(keysOf(registrations()), ElementsAreArray(keys));
}

// The plug-in says which version it is, through the symbol the platform looks up.
TEST(Registration, PluginReportsTheProjectVersion) {
  Plugin::PluginVersion const* const version = plugin().version();
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version->version, EEDB_VERSION_TEXT);
  EXPECT_NE(version->commit, nullptr);
}

// A context that changes the revision list while registering, as an agent may.
class MutatingContext : public UtilHolderContext {
 public:
  std::function<void(UtilKey const&)> onRegister;
  void registerUtil(UtilKey const& key, UtilFactory const& factory) override {
    UtilHolderContext::registerUtil(key, factory);
    if (onRegister) onRegister(key);
  }
};

TEST(Registration, RevisionAddedBehindTheCurrentIsVisitedOneBeforeIsNot) {
  RevisionListReset const reset;
  FapRevision const a1{ChipType{26}, 'A', 1};
  FapRevision const a5{ChipType{26}, 'A', 5};
  MutatingContext context;
  context.onRegister = [&](UtilKey const& key) {
    auto list = SupportedFapRevList::fapRevisionList();
    if (key.fapRevision == kA0) list->insert(a1);  // behind 26:A0: visited next
    if (key.fapRevision == kB0) list->insert(a5);  // before 26:B0: too late
  };
  initFront(context);
  std::vector<FapRevision> visited;
  for (auto const& k : keysOf(context)) visited.push_back(k.fapRevision);
  EXPECT_THAT(visited, ElementsAreArray({kA0, a1, kB0}));
}

TEST(Registration, ListWithoutChipType26RegistersNothing) {
  RevisionListReset const reset;
  auto list = SupportedFapRevList::fapRevisionList();
  list->erase(kA0);
  list->erase(kB0);
  list->insert(FapRevision(ChipType{27}, 'A', 0));
  UtilHolderContext context;
  initFront(context);
  EXPECT_TRUE(context.registrations().empty());
}

TEST(Registration, FailureOfTheContextStopsTheWalk) {
  MutatingContext context;
  context.onRegister = [](UtilKey const&) { throw std::runtime_error("context full"); };
  EXPECT_THROW(initFront(context), std::runtime_error);
  // The front node is the last constructed; its 26:A0 registration went in before the context
  // failed, and 26:B0 was never reached.
  ASSERT_EQ(context.registrations().size(), 1u);
  EXPECT_EQ(context.registrations()[0].key, keyOf(kExpectedUtils[kTableCount - 1].name, kA0));
}

// Each case in a process of its own: the mode is read once, when the first table file loads.
// The suite loads nothing before the child does.
TEST(AssertModeDeathTest, GracefulAssertModeIsReadAtLoad) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The variable's value (null: unset) and the mode it gives.
  std::pair<char const*, int> const cases[] = {{"assert", 1},  {"Assert", 0}, {"ASSERT", 0},
                                               {"assertx", 0}, {"asser", 0},  {"", 0},
                                               {nullptr, 0}};
  for (auto const& [value, mode] : cases) {
    SCOPED_TRACE(value ? value : "(unset)");
    EXPECT_EXIT(
        {
          if (value) {
            setenv("GRACEFUL_ASSERT_MODE", value, 1);
          } else {
            unsetenv("GRACEFUL_ASSERT_MODE");
          }
          Plugin::loadLibrary(EEDB_PLUGIN_PATH);
          std::exit(Asic::modeInitialized == 1 ? Asic::mode : 99);
        },
        ::testing::ExitedWithCode(mode), "");
  }
}

}  // namespace
}  // namespace eedb::test
