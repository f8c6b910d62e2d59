// Registration of the table utilities at load and at loader initialisation, through the real
// dlopen path; what each table file exports; and the assertion mode that the first load reads
// from the environment.

#include <cstdlib>

#include "PluginTestSupport.h"
#include "asic/Mode.h"
#include "frame/FileInit.h"

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

// The exception handle lives only from the first failure on; its name comes with the library, so
// that a trace configuration naming it is not reported as naming no handle.
TEST(Registration, PluginDeclaresTheTraceHandlesItCreatesOnFirstUse) {
  auto* const namesOf = reinterpret_cast<Plugin::TraceHandleNames const* (*)()>(
      plugin().symbol(Plugin::kTraceHandlesSymbol));
  ASSERT_NE(namesOf, nullptr);
  Plugin::TraceHandleNames const* const list = namesOf();
  ASSERT_NE(list, nullptr);
  EXPECT_THAT(std::vector<std::string>(list->names, list->names + list->count),
              ::testing::ElementsAre("OrderedTableException"));

  auto const names = Kiv::traceHandleNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "OrderedTableException"), 1);
  Kiv::traceConfigIs("OrderedTableException/0,NoSuchHandle/1");
  EXPECT_THAT(Kiv::traceConfigUnknownHandles(), ::testing::ElementsAre("NoSuchHandle"));
  Kiv::traceConfigIs("");
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

// The linkage name (Itanium C++ ABI) of what the table file of `util` exports: its file object
// ("File") or its free factory ("Factory"), whose third argument is the family's.
std::string exportedName(ExpectedUtil const& util, std::string_view suffix) {
  std::string_view const name = util.name;
  auto const ns = name.substr(11, name.rfind("::") - 11);  // after "chip26_a0::"
  auto const stem = fmt::format("e{}{}", name.substr(name.rfind("::") + 3), suffix);
  auto const object = fmt::format("_ZN9chip26_a0{}{}{}{}E", ns.size(), ns, stem.size(), stem);
  if (suffix == "File") return object;
  return object + "RKN13ZuriAsicUtils7UtilKeyERKN5Pelix3PtrINS1_12TableManagerEEERKNS6_I" +
         (util.hwTable == "EedbHwMdb" ? "N7ZuriMdb12TableManagerE" : "NS1_14HwWriterStatusE") +
         "EE";
}

// Calls an exported factory, which returns a Ptr of its own class: a Ptr<UtilBase> of the same
// object, the class deriving from UtilBase alone. (The sanitizers' function-type check would
// stop the call, not knowing the class.)
template <class Third>
#if defined(__clang__)
__attribute__((no_sanitize("function")))
#endif
Pelix::Ptr<UtilBase>
callExported(void* factory, UtilKey const& key, Managers const& m, Pelix::Ptr<Third> const& third) {
  return reinterpret_cast<Pelix::Ptr<UtilBase> (*)(
      UtilKey const&, Pelix::Ptr<ZuriAsicUtils::TableManager> const&, Pelix::Ptr<Third> const&)>(
      factory)(key, m.hw, third);
}

// Each table file exports its file object, whose three log handles carry the library's
// descriptors at severity 3 (errors) and write every message (no holdoff, no suppression).
TEST(Registration, EachTableFileExportsItsLogHandles) {
  for (auto const& u : kExpectedUtils) {
    SCOPED_TRACE(u.name);
    auto const* file =
        static_cast<FileLogHandles const*>(plugin().symbol(exportedName(u, "File").c_str()));
    ASSERT_NE(file, nullptr);
    std::pair<Kiv::LogHandle const*, std::string_view> const handles[] = {
        {&file->error, "HW_ABSTRACTION_ERROR"},
        {&file->relaunchError, "HW_ABSTRACTION_RELAUNCH_ERROR"},
        {&file->exception, "HW_ABSTRACTION_EXCEPTION"}};
    for (auto const& [handle, name] : handles) {
      EXPECT_EQ(handle->name(), name);
      EXPECT_EQ(handle->descriptor().severity, 3) << name;
      EXPECT_EQ(handle->descriptor().category, "\x01") << name;
      EXPECT_EQ(std::tuple(handle->holdoff(), handle->backoff(), handle->burst(),
                           handle->maxSuppressed()),
                std::tuple(Pelix::Duration(), 1.0, 0u, 0u))
          << name;
    }
  }
}

// Each table file exports its free factory, which makes its table utility bound to the hardware
// table of the key's revision.
TEST(Registration, EachTableFileExportsAFactoryOfItsTableUtility) {
  Managers const m;
  for (auto const& u : kExpectedUtils) {
    SCOPED_TRACE(u.name);
    void* const factory = plugin().symbol(exportedName(u, "Factory").c_str());
    ASSERT_NE(factory, nullptr);
    auto const util = u.hwTable == "EedbHwMdb"
                          ? callExported(factory, keyOf(u.name, kB0), m, m.mdb)
                          : callExported(factory, keyOf(u.name, kB0), m, m.writer);
    ASSERT_NE(util, nullptr);
    EXPECT_EQ(call<Pelix::String>(*util, "tableName"), u.name);
    EXPECT_EQ(util->utilKey(), keyOf(u.name, kB0));
    EXPECT_EQ(util->hwTableBase().get(),
              *m.hw->findTable(ZuriAsicUtils::HwTableKey(Pelix::String(u.hwTable), kB0)));
  }
}

// Each case in a process of its own: the mode is read once, when the first table file loads,
// unless the agent's library has set it already. The suite loads nothing before the child does.
TEST(AssertModeDeathTest, GracefulAssertModeIsReadAtLoad) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The variable's value (null: unset), a mode set before the load (-1: none) and the mode.
  std::tuple<char const*, int, int> const cases[] = {
      {"assert", -1, 1}, {"Assert", -1, 0}, {"ASSERT", -1, 0}, {"assertx", -1, 0},
      {"asser", -1, 0},  {"", -1, 0},       {nullptr, -1, 0},  {"assert", 7, 7}};
  for (auto const& [value, before, mode] : cases) {
    SCOPED_TRACE(fmt::format("{} {}", value ? value : "(unset)", before));
    EXPECT_EXIT(
        {
          if (value) {
            setenv("GRACEFUL_ASSERT_MODE", value, 1);
          } else {
            unsetenv("GRACEFUL_ASSERT_MODE");
          }
          if (before >= 0) {
            Asic::mode = before;
            Asic::modeInitialized = 1;
          }
          Plugin::loadLibrary(EEDB_PLUGIN_PATH);
          std::exit(Asic::modeInitialized == 1 ? Asic::mode : 99);
        },
        ::testing::ExitedWithCode(mode), "");
  }
}

}  // namespace
}  // namespace eedb::test
