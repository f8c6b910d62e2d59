// Registration of the table utilities at load and at loader initialisation, through the real
// dlopen path; and the assertion mode that each load reads from the environment.

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST(Registration, RecordsOnePluginPerTableInTableOrder) {
  std::vector<std::string> expected;
  for (auto const& u : kExpectedUtils) expected.push_back(std::string(u.name) + "Plugin");
  EXPECT_THAT(plugin().pluginNames(), ElementsAreArray(expected));
  EXPECT_EQ(DefaultUtilLoader()->size(), kTableCount);
}

TEST(Registration, FrontNodeIsTheLastConstructedAndRegistersOnlyIt) {
  UtilHolderContext context;
  initFront(context);
  auto const& last = kExpectedUtils[kTableCount - 1];
  std::vector<UtilKey> const expected = {
      {Pelix::String(last.name), Asic::SwTableId(last.swTableId), kA0},
      {Pelix::String(last.name), Asic::SwTableId(last.swTableId), kB0},
  };
  EXPECT_THAT(keysOf(context), ElementsAreArray(expected));
}

TEST(Registration, EveryUtilityRegistersAtA0ThenB0AndNeverForChipType25) {
  std::vector<UtilKey> expected;
  for (auto const& u : kExpectedUtils) {
    for (auto rev : {kA0, kB0}) {
      expected.push_back({Pelix::String(u.name), Asic::SwTableId(u.swTableId), rev});
    }
  }
  EXPECT_THAT(keysOf(registrations()), ElementsAreArray(expected));
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
  // The first registration went in before the context failed; 26:B0 was never reached.
  ASSERT_EQ(context.registrations().size(), 1u);
  EXPECT_EQ(context.registrations()[0].key.fapRevision, kA0);
}

// Each case in a process of its own: the mode is read once, when the first table file loads.
// The suite loads nothing before the child does.
TEST(AssertModeDeathTest, GracefulAssertModeIsReadAtLoad) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    std::optional<char const*> value;
    int mode;
  };
  Case const cases[] = {
      {"assert", 1}, {"Assert", 0}, {"ASSERT", 0},     {"assertx", 0},
      {"asser", 0},  {"", 0},       {std::nullopt, 0},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    EXPECT_EXIT(
        {
          if (c.value) {
            setenv("GRACEFUL_ASSERT_MODE", *c.value, 1);
          } else {
            unsetenv("GRACEFUL_ASSERT_MODE");
          }
          Plugin::loadLibrary(EEDB_PLUGIN_PATH);
          std::exit(Asic::modeInitialized == 1 ? Asic::mode : 99);
        },
        ::testing::ExitedWithCode(c.mode), "");
  }
}

}  // namespace
}  // namespace eedb::test
