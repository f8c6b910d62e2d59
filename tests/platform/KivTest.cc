// Tracing, logging and the allocation trackers.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kiv/AllocTrack.h"
#include "kiv/Log.h"
#include "kiv/Trace.h"

namespace {

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

// A value that counts how often it is formatted.
struct Counted {
  static inline int formats = 0;
};

}  // namespace

template <>
struct fmt::formatter<Counted> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Counted const&, format_context& ctx) const {
    ++Counted::formats;
    return fmt::format_to(ctx.out(), "counted");
  }
};

namespace {

TEST(Trace, LevelThatIsOffFormatsNothing) {
  std::vector<std::string> lines;
  Kiv::traceSinkIs([&](std::string_view line) { lines.emplace_back(line); });
  Kiv::traceConfigIs("Quiet/0-2,4-9");
  Kiv::TraceHandle handle("Quiet");
  Counted::formats = 0;
  EEDB_TRACE(handle, 3, "f", "", "{}", Counted{});
  EXPECT_EQ(Counted::formats, 0);
  EXPECT_TRUE(lines.empty());
  handle.levelIs(3, true);
  EEDB_TRACE(handle, 3, "f", "", "{}", Counted{});
  EXPECT_EQ(Counted::formats, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], ::testing::EndsWith("f [] counted"));
  Kiv::traceSinkIs(nullptr);
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

}  // namespace
