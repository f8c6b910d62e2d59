// The agent's runtime and its plug-in loader: the loader's record of plug-ins and their
// initialisation, plug-in libraries through the real dlopen path (refused libraries leaving the
// loader as it was); reference counts as the plug-in uses them (one thread at a time:
// tests/plugin/OneThreadAtATimeTest.cc), the slab allocator as the plug-in uses it, tracing,
// logging, the allocation trackers, and the value types the table utilities rely on (FAP ids and
// masks, FAP revisions, addresses, bounded field types). (Reflection and the fatal assertion report
// are exercised through the plug-in.)
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "asic/Types.h"
#include "hardware/FapRevision.h"
#include "hardware/FieldTypes.h"
#include "kiv/AllocTrack.h"
#include "kiv/Log.h"
#include "kiv/Trace.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "pelix/RangeException.h"
#include "pelix/Slab.h"
#include "plexo/Addresses.h"
#include "plugin/Library.h"
#include "plugin/Loader.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
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
  EXPECT_EQ(library.version(), nullptr);  // it exports no version
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
      EXPECT_THAT(e.reason(), Not(HasSubstr(c.path)));  // the path is named once
    }
    EXPECT_EQ(loaderState(), before);
  }
  std::remove(junk.c_str());
  // The library that registers nothing was closed again.
  EXPECT_EQ(::dlopen(TEST_EMPTY_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// --- The object runtime ---

struct Base : Pelix::Node {};
struct Derived : Base {
  int value = 7;
};
struct Other : Pelix::Node {};

// The plug-in is entered by one thread at a time and never sets the runtime's thread-safety
// switch: its counts are the plain ones. No node may outlive the test.
class RefCount : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(Pelix::Node::liveCount(), live_) << "a node leaked or was freed twice";
  }
  std::int64_t const live_ = Pelix::Node::liveCount();
};

TEST_F(RefCount, CopiesMovesCastsAndReleasesCountExactly) {
  auto a = Pelix::make<Derived>();
  EXPECT_EQ(a->refCount(), 1u);
  {
    Pelix::Ptr<Derived> b = a;
    Pelix::Ptr<Base> c = b;  // converting copy
    Pelix::Ptr<Base> d = std::move(c);
    EXPECT_FALSE(c);
    EXPECT_EQ(a->refCount(), 3u);
    auto& same = b;
    b = same;  // self-assignment keeps the count
    EXPECT_EQ(a->refCount(), 3u);
    Pelix::Ptr<Pelix::Node> node = a;
    EXPECT_FALSE(Pelix::dynamic_pointer_cast<Other>(node));  // a miss takes no reference
    EXPECT_EQ(Pelix::dynamic_pointer_cast<Derived>(node)->value, 7);
    EXPECT_EQ(a->refCount(), 4u);
  }
  EXPECT_FALSE(Pelix::dynamic_pointer_cast<Derived>(Pelix::Ptr<Pelix::Node>()));
  Derived* raw = a.release();
  EXPECT_EQ(raw->refCount(), 1u);
  Pelix::Ptr<Derived> adopt(raw);
  EXPECT_EQ(raw->refCount(), 2u);
  raw->decUseImpl();  // the released reference
}

// The slab serves the table utility objects and the loader's list nodes: a block up to the
// largest slab size is aligned and disjoint from every other live one (more blocks of each size
// than one chunk holds, each filled with its own index and checked after all are written), a
// freed block serves again and the counts come back to the start; a larger size raises
// std::bad_alloc from slabAlloc and comes from malloc through slabAllocOrStdMalloc.
TEST(PelixSlab, BlocksAreAlignedDisjointAndCountedBackToTheStart) {
  Pelix::SlabCounts const before = Pelix::slabCounts();
  for (std::size_t size : {std::size_t{8}, std::size_t{200}, Pelix::kSlabMaxSize}) {
    SCOPED_TRACE(size);
    std::size_t const words = size / sizeof(std::size_t);
    std::vector<std::size_t*> blocks(2 * std::max<std::size_t>(16 * 1024 / size, 8) + 1);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      blocks[i] = static_cast<std::size_t*>(Pelix::slabAlloc(size));
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks[i]) % alignof(std::max_align_t), 0u);
      std::fill_n(blocks[i], words, i);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      ASSERT_EQ(std::count(blocks[i], blocks[i] + words, i), static_cast<std::ptrdiff_t>(words));
    }
    for (auto* p : blocks) Pelix::slabFree(p, size);
    EXPECT_EQ(Pelix::slabAlloc(size), blocks.back());
    Pelix::slabFree(blocks.back(), size);
  }
  EXPECT_THROW(Pelix::slabAlloc(Pelix::kSlabMaxSize + 1), std::bad_alloc);
  void* big = Pelix::slabAllocOrStdMalloc(Pelix::kSlabMaxSize + 1);
  EXPECT_EQ(Pelix::slabCounts().liveMallocBlocks, before.liveMallocBlocks + 1);
  Pelix::slabFree(big, Pelix::kSlabMaxSize + 1);
  Pelix::slabFree(nullptr, 64);
  EXPECT_EQ(Pelix::slabCounts().liveMallocBlocks, before.liveMallocBlocks);
  EXPECT_EQ(Pelix::slabCounts().liveBlocks, before.liveBlocks);
}

// --- Tracing, logging and the allocation trackers ---

constexpr std::uint16_t bits(std::initializer_list<unsigned> levels) {
  std::uint16_t b = 0;
  for (unsigned l : levels) b = static_cast<std::uint16_t>(b | 1u << l);
  return b;
}

TEST(Trace, ConfigurationSelectsLevelsPerHandle) {
  for (auto const& [config, name, levels] : {
           std::tuple{"EedbOutrifUtil/3", "EedbOutrifUtil", bits({3})},
           {"EedbOutrifUtil/3", "EedbOutrifUtilX", 0},  // names match whole, not by prefix
           {"EedbOutrifUtil/3", "EedbOutrif", 0},
           {"X/0-9", "X", 0x3ff},
           {"X/5-5", "X", bits({5})},
           {"*/0", "AnyHandle", bits({0})},
           {"A/1,B/2", "B", bits({2})},
           {"A/1,B/2", "C", 0},
           {"A/0,3-4,B/8", "A", bits({0, 3, 4})},  // a comma and a digit go on with the handle
           {"A/0,3-4,B/8", "B", bits({8})},
           {"*/0,A/3", "A", bits({0, 3})},  // rules add up
           {"", "A", 0},
       }) {
    ASSERT_TRUE(Kiv::traceConfigValid(config)) << config;
    Kiv::traceConfigIs(config);
    EXPECT_EQ(Kiv::TraceHandle(name).levels(), levels) << config << " " << name;
  }
  // A malformed configuration is refused and leaves the levels as they were.
  Kiv::traceConfigIs("A/3");
  Kiv::TraceHandle handle("A");
  for (char const* bad : {"A", "/3", "A/", "A/10", "A/3-1", "A/3-10", "A/x", "A/3,", "A/3,,B/1",
                          ",A/3", "A/3;B/1", "A/-3", "A/3 "}) {
    EXPECT_FALSE(Kiv::traceConfigValid(bad)) << bad;
    Kiv::traceConfigIs(bad);
    EXPECT_EQ(handle.levels(), bits({3})) << bad;
  }
  // A configuration reaches handles that already exist; levels outside the range do nothing.
  Kiv::traceConfigIs("");
  EXPECT_EQ(handle.levels(), 0);
  handle.levelIs(Kiv::TraceHandle::kLevels, true);
  handle.levelIs(31, true);
  handle.levelIs(9, true);
  EXPECT_EQ(handle.levels(), bits({9}));
}

// A record sink gets each trace line in its parts, and the line sink nothing meanwhile; items
// added to the configuration apply with those already there; names no live handle has are
// listed once, in order, "*" never.
TEST(Trace, RecordsInPartsAddedItemsAndUnknownHandleNames) {
  Kiv::traceConfigIs("Recorded/3");
  Kiv::TraceHandle recorded("Recorded");
  Kiv::TraceHandle other("OtherHandle");
  std::vector<std::string> lines;
  std::vector<std::string> records;
  Kiv::traceSinkIs([&](std::string_view line) { lines.emplace_back(line); });
  Kiv::traceRecordSinkIs([&](Kiv::TraceRecord const& r) {
    records.push_back(fmt::format("{}|{}|{}|{}|{}|{}|{}", r.handle, r.level, r.file, r.line > 0,
                                  r.function, r.classLabel, r.message));
  });
  EEDB_TRACE(recorded, 3, "fn", "Cls", "value {}", 42);
  EEDB_TRACE(other, 3, "fn", "Cls", "off");
  EXPECT_THAT(records, ::testing::ElementsAre("Recorded|3|PlatformTest.cc|true|fn|Cls|value 42"));
  Kiv::traceRecordSinkIs({});
  EEDB_TRACE(recorded, 3, "fn", "Cls", "line");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0],
              ::testing::MatchesRegex("Recorded 3 PlatformTest.cc:[0-9]+ fn \\[Cls\\] line"));
  Kiv::traceSinkIs({});

  EXPECT_TRUE(Kiv::traceConfigAdd("OtherHandle/1-2,NoSuch/0,*/9,NoSuch/1,Later/4"));
  EXPECT_EQ(recorded.levels(), bits({3, 9}));
  EXPECT_EQ(other.levels(), bits({1, 2, 9}));
  EXPECT_FALSE(Kiv::traceConfigAdd("OtherHandle/10"));
  EXPECT_EQ(other.levels(), bits({1, 2, 9}));
  EXPECT_THAT(Kiv::traceConfigUnknownHandles(), ::testing::ElementsAre("NoSuch", "Later"));
  Kiv::TraceHandle const later("Later");
  EXPECT_EQ(later.levels(), bits({4, 9}));
  EXPECT_THAT(Kiv::traceConfigUnknownHandles(), ::testing::ElementsAre("NoSuch"));
  // A declared name is known before its handle lives, and listed once beside it.
  Kiv::traceHandleNamesDeclared({"NoSuch", "Recorded", "NoSuch"});
  EXPECT_THAT(Kiv::traceConfigUnknownHandles(), ::testing::IsEmpty());
  auto const names = Kiv::traceHandleNames();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(std::count(names.begin(), names.end(), "Recorded"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "NoSuch"), 1);
  Kiv::TraceHandle const declared("NoSuch");
  EXPECT_EQ(declared.levels(), bits({0, 1, 9}));
  Kiv::traceConfigIs("");
}

// The message is text, never a format; without a sink the line goes to standard error.
TEST(KivLog, WritesNameAndMessageTextNeverAFormat) {
  constexpr Kiv::LogDescriptor kException{"HW_ABSTRACTION_EXCEPTION", "%s", "Exception", "\x01", 3};
  Kiv::LogHandle handle(kException, Pelix::Duration(), 1.0, 0, 0);
  ::testing::internal::CaptureStderr();
  Kiv::log(handle, "boom %s 100% {}");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "%HW_ABSTRACTION_EXCEPTION: boom %s 100% {}\n");
  EXPECT_EQ(handle.written(), 1u);
}

// One tracker per type name, whichever side caches the pointer (plug-in or platform); a type is
// alive while its count is not zero, a release without its allocation included.
TEST(KivAllocTrack, OneTrackerPerNameSharedByEveryCachedPointer) {
  static int run = 0;  // a name of its own for every run: each starts from no tracker
  std::string const name = fmt::format("KivTest::Widget{}", run++);
  auto const isAlive = [&] {
    auto const alive = Kiv::AllocTrackTypeInfo::alive();
    return std::any_of(alive.begin(), alive.end(),
                       [&](auto const* t) { return t->name() == name; });
  };
  EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(name.c_str()), nullptr);
  Kiv::AllocTrackTypeInfo* inPlugin = nullptr;
  Kiv::AllocTrackTypeInfo* inPlatform = nullptr;
  Kiv::AllocTrackTypeInfo::_trackAllocationNoOverhead(&inPlugin, name.c_str(), 48);
  ASSERT_NE(inPlugin, nullptr);
  Kiv::AllocTrackTypeInfo::_trackAllocation(&inPlatform, name.c_str(), 48);
  EXPECT_EQ(inPlatform, inPlugin);
  EXPECT_EQ(Kiv::AllocTrackTypeInfo::find(name.c_str()), inPlugin);
  EXPECT_EQ(inPlugin->live(), 2);
  EXPECT_EQ(inPlugin->liveBytes(), 96);
  EXPECT_TRUE(isAlive());
  inPlatform->trackDeallocation(48, 2);
  EXPECT_EQ(inPlugin->live(), 0);
  EXPECT_EQ(inPlugin->liveBytes(), 0);
  EXPECT_FALSE(isAlive());
  inPlugin->trackDeallocation(48);
  EXPECT_EQ(inPlugin->live(), -1);
  EXPECT_TRUE(isAlive());
  inPlugin->trackAllocation(48);
  EXPECT_FALSE(isAlive());
}

// --- The value types ---

using namespace std::string_view_literals;
using Hardware::ChipType;
using Hardware::Zuri::FapRevision;
using Plexo::EthAddr;
using Plexo::IpGenAddr;
using SchanAccel::FapId;
using SchanAccel::Fapmask;

template <class Fn>
std::string rangeText(Fn&& fn) {
  try {
    fn();
  } catch (Pelix::RangeException const& e) {
    return e.what();
  }
  return "<nothing raised>";
}

TEST(FapId, AcceptsUpToTheNullIdOnlyAndEachIsOneBitOfTheMask) {
  EXPECT_FALSE(FapId(127).isNull());
  EXPECT_EQ(FapId(128), FapId::null);
  // 256 and 384 would wrap onto 0 and 128 in a byte.
  for (std::uint32_t bad : {129u, 255u, 256u, 384u, 0xFFFFFFFFu}) {
    EXPECT_EQ(rangeText([bad] { FapId{bad}; }),
              "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null "
              "not allowed")
        << bad;
  }
  Fapmask all;
  EXPECT_TRUE(all.empty());
  for (unsigned id : {0u, 63u, 64u, 127u, 128u}) all.set(FapId(id));
  EXPECT_EQ(fmt::format("{}", all), "{0,63,64,127,128}");
  EXPECT_EQ(all & Fapmask::of(FapId(64)), Fapmask::of(FapId(64)));
  EXPECT_TRUE((all & Fapmask::of(FapId(65))).empty());
  all.clear(FapId(63));
  all.clear(FapId(62));
  EXPECT_EQ(fmt::format("{}", all), "{0,64,127,128}");
}

TEST(FapRevision, ParsesPrintsAndOrdersByChipTypeLetterDigit) {
  for (char const* text : {"26:A0", "25:B1", "0:A0", "255:P9"}) {
    auto const r = FapRevision::parse(text);
    ASSERT_TRUE(r) << text;
    EXPECT_EQ(fmt::format("{}", *r), text);
  }
  for (char const* bad : {"", "26:", "26:A", "26:A00", ":A0", "256:A0", "26:a0", "26:Q0", " 26:A0",
                          "-1:A0", "+26:A0"}) {
    EXPECT_EQ(FapRevision::parse(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(FapRevision::fapRevGen3A0(), FapRevision(ChipType{26}, 'A', 0));
  EXPECT_LT(*FapRevision::parse("25:B9"), *FapRevision::parse("26:A0"));  // chip type first
  EXPECT_LT(*FapRevision::parse("26:A9"), *FapRevision::parse("26:B0"));
}

// Good text prints back in its canonical form, octets in network order; bad text, text with an
// embedded NUL included, is refused.
TEST(Addresses, ParseGoodTextRefuseBad) {
  for (auto [text, printed] : {std::pair{"255.255.255.255", "255.255.255.255"},
                               {"0.0.0.0", "0.0.0.0"},
                               {"10.0.100.9", "10.0.100.9"},
                               {"::", "::"},
                               {"2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
                               {"::ffff:1.2.3.4", "::ffff:1.2.3.4"}}) {
    auto const a = IpGenAddr::parse(text);
    ASSERT_TRUE(a) << text;
    EXPECT_EQ(fmt::format("{}", *a), printed);
  }
  auto const v4 = *IpGenAddr::parse("1.2.3.4");
  EXPECT_TRUE(v4.isV4());
  EXPECT_EQ(v4.v4Addr(), (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  // An IPv4 address seen as IPv6 is its mapped form; an IPv6 address has no IPv4 form.
  EXPECT_EQ(IpGenAddr::v6(v4.v6Addr()), *IpGenAddr::parse("::ffff:1.2.3.4"));
  // (An IPv6 address's octets in network order: the SRv6 view test of the catalogue tests.)
  EXPECT_EQ(IpGenAddr::parse("2001:db8::1")->v4Addr(), (std::array<std::uint8_t, 4>{}));
  EXPECT_NE(IpGenAddr::parse("0.0.0.0"), IpGenAddr::parse("::"));
  EXPECT_EQ(EthAddr::parse("02:00:00:AA:bb:cc")->octets(),
            (std::array<std::uint8_t, 6>{0x02, 0, 0, 0xaa, 0xbb, 0xcc}));
  EXPECT_EQ(fmt::format("{}", *EthAddr::parse("02:00:0F:AA:bb:cc")), "02:00:0f:aa:bb:cc");
  for (std::string_view bad :
       {""sv, "1.2.3"sv, "1.2.3.256"sv, "1.2.3.4.5"sv, "garbage"sv, "1.2.3.4 "sv, "2001:db8:::1"sv,
        "2001:db8::1::2"sv, "12345::1"sv, "1.2.3.4\0junk"sv, "2001:db8::1\0"sv,
        "1111:2222:3333:4444:5555:6666:7777:8888:9999:aaaa"sv}) {
    EXPECT_EQ(IpGenAddr::parse(bad), std::nullopt) << '"' << bad << '"';
  }
  for (std::string_view bad : {""sv, "02:00:00:aa:bb"sv, "02:00:00:aa:bb:cc:"sv,
                               "02-00-00-aa-bb-cc"sv, "02:00:00:aa:bb:cg"sv, "2:00:00:aa:bb:cc0"sv,
                               "02:00:00:aa:bb:c"sv, "02:00:00:aa:bb:cc\0"sv}) {
    EXPECT_EQ(EthAddr::parse(bad), std::nullopt) << '"' << bad << '"';
  }
}

// The largest value fits; the next one, and values that would wrap to small ones, raise the
// type's range failure.
template <class U>
void expectBounded(std::uint64_t max, char const* message) {
  EXPECT_EQ(U(max).value(), max);
  for (std::uint64_t bad :
       {max + 1, (max + 1) * 2, (max + 1) * 2 + 1, ~std::uint64_t{0}, std::uint64_t{1} << 32}) {
    EXPECT_EQ(rangeText([bad] { U{bad}; }), message) << bad;
  }
}

TEST(BoundedTypes, NoneWraps) {
  expectBounded<U1>(0x1, "U1::value < 0 or > 0x01 not allowed");
  expectBounded<U3>(0x7, "U3::value < 0 or > 0x07 not allowed");
  expectBounded<U20>(0xfffff, "U20::value < 0 or > 0x000fffff not allowed");
}

}  // namespace
