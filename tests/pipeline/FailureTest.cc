// Failure handling of the pipeline: guards in both modes, nesting of guards around the per-format
// hook, graceful assertions, and traces that format nothing while their level is off.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "asic/Mode.h"
#include "chip26_a0/EedbHwMdb.h"
#include "frame/FileInit.h"
#include "kiv/Log.h"
#include "kiv/Trace.h"
#include "pipeline/Failure.h"
#include "pipeline/UtilAccessor.h"
#include "zuri_errm/EedbOutrif.h"

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;

// The library's log handles, as a table file builds them at load: the first one becomes the
// HW_ABSTRACTION_EXCEPTION log of the failure handlers.
eedb::FileLogHandles const fileLogs;

// Captures trace and log lines while it lives.
class Capture {
 public:
  explicit Capture(std::string_view traceConfig) {
    Kiv::traceConfigIs(traceConfig);
    Kiv::traceSinkIs([this](std::string_view l) { traces.emplace_back(l); });
    Kiv::logSinkIs([this](std::string_view l) { logs.emplace_back(l); });
  }
  ~Capture() {
    Kiv::traceSinkIs({});
    Kiv::logSinkIs({});
    Kiv::traceConfigIs("");
  }
  std::vector<std::string> traces;
  std::vector<std::string> logs;
};

template <class E>
std::string textOf(std::function<void()> const& fn) {
  try {
    fn();
  } catch (E const& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST(Guard, ReturnsTheBodysResultAndBuildsNoMessage) {
  int built = 0;
  auto const message = [&] {
    ++built;
    return Pelix::String("ctx");
  };
  EXPECT_EQ(Asic::throwIfException([](int a, int b) { return a * b; }, message, 6, 7), 42);
  EXPECT_EQ(built, 0);
}

TEST(Guard, ThrowingModeWrapsKnownAndUnknownFailures) {
  struct Case {
    char const* what;
    std::function<void()> body;
    char const* text;
  };
  Case const cases[] = {
      {"range_error", [] { throw std::range_error("too big"); }, "ctx: too big"},
      {"ordered-table", [] { throw Asic::OrderedTableException("inner: x"); }, "ctx: inner: x"},
      {"not a std::exception", [] { throw 42; }, "ctx: unknown exception"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    Capture const capture("*/0-9");
    EXPECT_EQ(textOf<Asic::OrderedTableException>(
                  [&] { Asic::throwIfException(c.body, [] { return Pelix::String("ctx"); }); }),
              c.text);
    // Raised on, not reported.
    EXPECT_THAT(capture.traces, ElementsAre());
    EXPECT_THAT(capture.logs, ElementsAre());
  }
}

TEST(Guard, ReportingModeTracesLogsRecoversAndReturns) {
  struct Case {
    char const* what;
    std::function<int(int)> body;
    char const* trace;
  };
  Case const cases[] = {
      {"known", [](int) -> int { throw std::range_error("too big"); },
       "OrderedTableException 0 handleKnownException [] Exception: ctx [too big]"},
      {"unknown", [](int) -> int { throw 42; },
       "OrderedTableException 0 handleUnknownException [] Unknown exception: ctx"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    Capture const capture("OrderedTableException/0");
    int recovered = 0;
    int const result = Asic::exceptionHandlingWrapper(
        Asic::kReport, c.body, [] { return Pelix::String("ctx"); },
        std::function<void()>([&] { ++recovered; }), 5);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(recovered, 1);
    ASSERT_EQ(capture.traces.size(), 1u);
    // "HANDLE LEVEL FILE:LINE FUNCTION [CLASS] MESSAGE": compare without the file and line.
    auto const& line = capture.traces[0];
    auto const afterFile = line.find(' ', line.find(' ', line.find(' ') + 1) + 1);
    EXPECT_EQ(line.substr(0, line.find(' ', line.find(' ') + 1)) + line.substr(afterFile), c.trace);
    EXPECT_THAT(capture.logs, ElementsAre("%HW_ABSTRACTION_EXCEPTION: ctx"));
  }
}

TEST(Guard, ReportingModeWithTracesOffStillLogs) {
  Capture const capture("");
  auto const before = fileLogs.exception.written();
  Asic::exceptionHandlingWrapper(
      Asic::kReport, [] { throw std::range_error("x"); }, [] { return Pelix::String("ctx"); },
      std::function<void()>());
  EXPECT_THAT(capture.traces, ElementsAre());
  EXPECT_THAT(capture.logs, ElementsAre("%HW_ABSTRACTION_EXCEPTION: ctx"));
  EXPECT_EQ(fileLogs.exception.written(), before + 1);
  EXPECT_EQ(fileLogs.error.written(), 0u);
  EXPECT_EQ(fileLogs.relaunchError.written(), 0u);
}

// A table utility whose per-format hook fails.
struct FailingHookUtil {
  static constexpr std::string_view kShortName = "FailingHookUtil";
  template <class LogEntry, class Format>
  void doSetHwEntry(Asic::UnitId, LogEntry&, Format&) const {
    throw std::range_error("hook value out of range");
  }
};

TEST(Guard, FailureInsideTheHookIsReportedByBothGuards) {
  using Rif60 = chip26_a0::EedbHwMdb::EedbRifBasicEtpsEthRif60Entry;
  FailingHookUtil const util;
  ZuriErrm::EedbOutrifLogEntry logEntry;
  logEntry.keyIs(ZuriErrm::EedbOutrifEntryKey(0x1000));
  Rif60 hwEntry(chip26_a0::EedbHwMdb::EntryKey(0x1000));
  hwEntry.handleInitialized();
  Asic::UnitId const unit(0x0102);

  auto const text = textOf<Asic::OrderedTableException>([&] {
    Asic::throwIfException(
        [&] {
          ZuriAsicUtils::UtilAccessor<FailingHookUtil const>(&util).userDefinedDoSetHwEntry(
              unit, logEntry, hwEntry);
        },
        [&] { return fmt::format("{}: [logEntry: {}]", "translateToHwFormat", logEntry); });
  });
  EXPECT_EQ(text, fmt::format("translateToHwFormat: [logEntry: {0}]: userDefinedDoSetHwEntry: "
                              "[unitId: 0x0102], [logEntry: {0}], [hwEntry: {1}]: hook value "
                              "out of range",
                              logEntry, hwEntry));
}

// The line of the graceful assertion below.
int failingCheckLine = 0;
void failingCheck(unsigned viewType) {
  failingCheckLine = __LINE__ + 1;
  EEDB_GRACEFUL_ASSERT(viewType == 1, "view type {} is not known", viewType);
}

TEST(GracefulAssert, Mode0RaisesTheAssertionText) {
  ASSERT_EQ(Asic::mode, 0);
  failingCheck(1);
  auto const text = textOf<Asic::GracefulAssertException>([] { failingCheck(7); });
  EXPECT_EQ(text, fmt::format("AssertionError at {}:{} (viewType == 1) - view type 7 is not known",
                              __FILE__, failingCheckLine));
  // Under a guard it reaches the agent as an ordered-table failure carrying that text.
  EXPECT_EQ(textOf<Asic::OrderedTableException>([] {
              Asic::throwIfException([] { failingCheck(7); },
                                     [] { return Pelix::String("translateToHwFormat"); });
            }),
            "translateToHwFormat: " + text);
}

TEST(GracefulAssertDeathTest, Mode1IsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Asic::mode = 1;
        failingCheck(7);
      },
      "%ASSERT: .*FailureTest.cc:[0-9]+ failingCheck: view type 7 is not known");
}

// Counts how often a value is formatted.
struct Counted {};
int formattedCount = 0;

}  // namespace

template <>
struct fmt::formatter<Counted> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Counted const&, format_context& ctx) const {
    ++formattedCount;
    return fmt::format_to(ctx.out(), "counted");
  }
};

namespace {

TEST(Trace, DisabledLevelFormatsNothing) {
  Kiv::TraceHandle handle("PipelineTraceProbe", false);
  Capture capture("PipelineTraceProbe/3");
  formattedCount = 0;
  EEDB_TRACE(handle, 2, "probe", "", "value {}", Counted{});
  EEDB_TRACE(handle, 4, "probe", "", "value {}", Counted{});
  EXPECT_EQ(formattedCount, 0);
  EXPECT_THAT(capture.traces, ElementsAre());

  EEDB_TRACE(handle, 3, "probe", "Cls", "value {}", Counted{});
  EXPECT_EQ(formattedCount, 1);
  ASSERT_EQ(capture.traces.size(), 1u);
  EXPECT_THAT(capture.traces[0], EndsWith(" probe [Cls] value counted"));

  Kiv::traceConfigIs("");
  EEDB_TRACE(handle, 3, "probe", "", "value {}", Counted{});
  EXPECT_EQ(formattedCount, 1);
}

}  // namespace
