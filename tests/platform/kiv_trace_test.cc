// Trace configuration, the trace line and the promise that an off level formats nothing.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kiv/Trace.h"

namespace {

// Restores the process's trace state, which every test binary shares.
class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Kiv::traceSinkIs([this](std::string_view line) { lines.emplace_back(line); });
  }
  void TearDown() override {
    Kiv::traceSinkIs(nullptr);
    Kiv::traceConfigIs("");
  }
  std::vector<std::string> lines;
};

constexpr std::uint16_t bits(std::initializer_list<unsigned> levels) {
  std::uint16_t b = 0;
  for (unsigned l : levels) b = static_cast<std::uint16_t>(b | 1u << l);
  return b;
}

struct ConfigCase {
  char const* spec;
  char const* handle;
  std::uint16_t levels;
};

TEST_F(TraceTest, ConfigurationSelectsLevelsPerHandle) {
  ConfigCase const cases[] = {
      {"EedbOutrifUtil/3", "EedbOutrifUtil", bits({3})},
      {"EedbOutrifUtil/3", "EedbOutrifUtilX", 0},  // names match whole, not by prefix
      {"EedbOutrifUtil/3", "EedbOutrif", 0},
      {"EedbArpTableUtil/0-8", "EedbArpTableUtil", 0x1ff},
      {"X/0-9", "X", 0x3ff},
      {"X/5-5", "X", bits({5})},
      {"*/0", "AnyHandle", bits({0})},
      {"*/0", "EedbOutrifUtil", bits({0})},
      {"A/1,B/2", "A", bits({1})},
      {"A/1,B/2", "B", bits({2})},
      {"A/1,B/2", "C", 0},
      {"A/0,3", "A", bits({0, 3})},  // a comma and a digit go on with the same handle
      {"A/0,3-4,B/8", "A", bits({0, 3, 4})},
      {"A/0,3-4,B/8", "B", bits({8})},
      {"*/0,A/3", "A", bits({0, 3})},  // rules add up
      {"", "A", 0},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.spec);
    ASSERT_TRUE(Kiv::traceConfigValid(c.spec));
    Kiv::traceConfigIs(c.spec);
    Kiv::TraceHandle created(c.handle);  // created after the configuration
    EXPECT_EQ(created.levels(), c.levels) << c.handle;
  }
}

TEST_F(TraceTest, ConfigurationReachesHandlesThatAlreadyExist) {
  Kiv::TraceHandle handle("EedbStatTableUtil");
  EXPECT_EQ(handle.levels(), 0);
  Kiv::traceConfigIs("EedbStatTableUtil/8");
  EXPECT_TRUE(handle.enabled(8));
  EXPECT_FALSE(handle.enabled(3));
  Kiv::traceConfigIs("");
  EXPECT_EQ(handle.levels(), 0);
}

TEST_F(TraceTest, MalformedConfigurationIsIgnored) {
  Kiv::traceConfigIs("A/3");
  Kiv::TraceHandle handle("A");
  for (char const* bad : {"A", "/3", "A/", "A/10", "A/3-1", "A/3-10", "A/x", "A/3,", "A/3,,B/1",
                          ",A/3", "A/3;B/1", "A/-3", "A/3 "}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(Kiv::traceConfigValid(bad));
    Kiv::traceConfigIs(bad);
    EXPECT_EQ(handle.levels(), bits({3}));
  }
}

TEST_F(TraceTest, LineNamesHandleLevelFileLineFunctionAndClass) {
  Kiv::traceConfigIs("EedbOutrifUtil/3");
  Kiv::TraceHandle handle("EedbOutrifUtil");
  char const* const klass = "chip26_a0::ZuriErrmUtil::EedbOutrifUtil";
  // One line: compilers differ in the line they give a macro call that spans several.
  int const line = __LINE__ + 1;
  EEDB_TRACE(handle, 3, "utilApplicable", klass, "viewType: {} fap: {}", 1, "0");
  EEDB_TRACE(handle, 3, "processSwEntry", "", "done");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "EedbOutrifUtil 3 kiv_trace_test.cc:" + std::to_string(line) +
                " utilApplicable [chip26_a0::ZuriErrmUtil::EedbOutrifUtil] viewType: 1 fap: 0");
  EXPECT_EQ(lines[1], "EedbOutrifUtil 3 kiv_trace_test.cc:" + std::to_string(line + 1) +
                          " processSwEntry [] done");
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

TEST_F(TraceTest, LevelThatIsOffFormatsNothing) {
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
}

TEST_F(TraceTest, LevelIsOutsideTheRangeChangesNothing) {
  Kiv::TraceHandle handle("Range");
  handle.levelIs(Kiv::TraceHandle::kLevels, true);
  handle.levelIs(31, true);
  EXPECT_EQ(handle.levels(), 0);
  handle.levelIs(9, true);
  handle.levelIs(0, true);
  handle.levelIs(9, false);
  EXPECT_EQ(handle.levels(), bits({0}));
}

TEST_F(TraceTest, WithoutSinkTheLineGoesToStandardError) {
  Kiv::traceSinkIs(nullptr);
  Kiv::traceConfigIs("Stderr/0");
  Kiv::TraceHandle handle("Stderr");
  ::testing::internal::CaptureStderr();
  EEDB_TRACE(handle, 0, "f", "C", "x={}", 5);
  std::string const err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, ::testing::MatchesRegex("Stderr 0 kiv_trace_test\\.cc:[0-9]+ f \\[C\\] x=5\n"));
}

}  // namespace
