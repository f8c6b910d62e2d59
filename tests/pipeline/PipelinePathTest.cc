// The pipeline's failure guards in both modes, and its quiet path: with every trace level off a
// table utility formats nothing on its success paths (applicability, shadow writing, SCHAN
// commands), shown with a probe table whose log entry and key count their own formatting.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "frame/FileInit.h"
#include "frame/TableUtil.h"
#include "kiv/Log.h"
#include "kiv/Trace.h"
#include "pipeline/Failure.h"
#include "zuri_asic_utils/TableManager.h"
#include "zuri_errm/SwTableTypes.h"

namespace probe {

int formatted = 0;  // how often a log entry or a key of the probe table was formatted

struct Key {
  std::uint32_t v = 0;
  std::uint32_t value() const noexcept { return v; }
  bool operator==(Key const&) const = default;
};

struct LogEntry {
  Key k;
  std::uint8_t view = 1;
  std::uint8_t mtu = 0;
  std::uint8_t remark = 0;
  Key key() const noexcept { return k; }
  std::uint8_t viewType() const noexcept { return view; }
  bool operator==(LogEntry const&) const = default;
};

using Flume = ZuriErrm::LogFlumeEntry<LogEntry>;

class Wrapper final : public Asic::LogEntryWrapperBase,
                      public ZuriErrm::detail::WrapperData<Flume> {
 public:
  using WrapperData::WrapperData;
};

struct Constants {};

using Rif60 = chip26_a0::EedbHwMdb::EedbRifBasicEtpsEthRif60Entry;

class Util final : public eedb::MdbTableUtil<Util, Wrapper, Constants> {
 public:
  static constexpr std::string_view kName = "probe::QuietProbeUtil";
  using Views = eedb::ViewMap<eedb::logKey, eedb::View<1, Rif60, eedb::fieldsAndHook>>;
  using TableUtil::TableUtil;

  void setTranslatorFields(Rif60& hw, LogEntry const& sw) const {
    hw.mtuProfileIs(eedb::checked<U4>(sw.mtu));
  }
  void doSetHwEntry(Asic::UnitId, LogEntry& sw, Rif60& hw) const {
    hw.fodoIs(eedb::cut<U15>(sw.k.v));
    hw.remarkProfileIs(eedb::bounded<U5>(sw.remark));
  }
};

}  // namespace probe

template <>
struct ZuriErrm::Fields<probe::LogEntry> {
  static constexpr std::string_view table = "Probe";
  static constexpr std::tuple<> list{};
};

// Both count their own formatting.
template <>
struct fmt::formatter<probe::Key> : fmt::formatter<std::uint32_t> {
  auto format(probe::Key const& k, format_context& ctx) const {
    ++probe::formatted;
    return fmt::formatter<std::uint32_t>::format(k.v, ctx);
  }
};
template <>
struct fmt::formatter<probe::LogEntry> : fmt::formatter<probe::Key> {
  auto format(probe::LogEntry const& e, format_context& ctx) const {
    return fmt::formatter<probe::Key>::format(e.k, ctx);
  }
};

// The probe is never reached through reflection.
template <>
Pelix::TypeRecord const*
eedb::TableUtil<probe::Util, eedb::MdbFamily, probe::Wrapper, probe::Constants>::typeData() const {
  return nullptr;
}

namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

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

// The probe table utility of the quiet-path tests, serving FAP 0.
auto quietProbe() {
  auto util = probe::Util::create(
      ZuriAsicUtils::UtilKey{Pelix::String("probe::QuietProbeUtil"), Asic::SwTableId(0x03010C07),
                             Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
  util->fapIdIs(Pelix::make<ZuriAsicUtils::FapControlData const>(SchanAccel::FapId(0)));
  return util;
}

// A failure inside a guard, known or not: the throwing mode raises it on with the context and
// reports nothing; the reporting mode traces it, logs HW_ABSTRACTION_EXCEPTION once (with traces
// off too), runs the recovery and returns an empty result.
TEST(Guard, ThrowingModeRaisesReportingModeReportsAndRecovers) {
  struct Case {
    std::function<int()> body;
    char const* raised;
    char const* trace;  // the end of "HANDLE LEVEL FILE:LINE FUNCTION [CLASS] MESSAGE"
  };
  Case const cases[] = {
      {[]() -> int { throw std::range_error("too big"); }, "ctx: too big",
       " handleKnownException [] Exception: ctx [too big]"},
      {[]() -> int { throw 42; }, "ctx: unknown exception",
       " handleUnknownException [] Unknown exception: ctx"},
  };
  auto const ctx = [] { return Pelix::String("ctx"); };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.raised);
    {
      Capture const capture("*/0-9");
      try {
        Asic::throwIfException(c.body, ctx);
        ADD_FAILURE() << "nothing raised";
      } catch (Asic::OrderedTableException const& e) {
        EXPECT_STREQ(e.what(), c.raised);
      }
      EXPECT_THAT(capture.traces, ElementsAre());
      EXPECT_THAT(capture.logs, ElementsAre());
    }
    for (bool const traced : {true, false}) {
      Capture const capture(traced ? "OrderedTableException/0" : "");
      auto const logged = fileLogs.exception.written();
      int recovered = 0;
      EXPECT_EQ(Asic::exceptionHandlingWrapper(Asic::kReport, c.body, ctx,
                                               std::function<void()>([&] { ++recovered; })),
                0);
      EXPECT_EQ(recovered, 1);
      EXPECT_THAT(capture.logs, ElementsAre("%HW_ABSTRACTION_EXCEPTION: ctx"));
      EXPECT_EQ(fileLogs.exception.written(), logged + 1);
      if (traced) {
        EXPECT_THAT(capture.traces,
                    ElementsAre(AllOf(StartsWith("OrderedTableException 0 "), EndsWith(c.trace))));
      } else {
        EXPECT_THAT(capture.traces, ElementsAre());
      }
    }
  }
  EXPECT_EQ(fileLogs.error.written(), 0u);
  EXPECT_EQ(fileLogs.relaunchError.written(), 0u);
}

// With traces off no success path (add, update, view not taken, FAP not in the mask, delete,
// table delete) formats the entry or its key; the counter does see the per-entry traces at level
// 3 and the context message of a failed entry, built even with traces off.
TEST(QuietPath, EveryPipelinePathFormatsNothingWithTracesOff) {
  Kiv::traceConfigIs("");
  auto const util = quietProbe();
  auto const offer = [&](std::uint32_t key, std::uint8_t mtu, std::uint16_t unit = 0,
                         std::uint8_t flags = 0, std::uint8_t view = 1) {
    util->processSwEntry(
        Pelix::make<probe::Wrapper>(probe::LogEntry{{key}, view, mtu}, Asic::UnitId(unit), flags));
  };
  auto const runAllPaths = [&] {
    using ZuriErrm::LogFlumeFlags;
    offer(7, 1);
    offer(7, 2);
    offer(8, 3, 0, 0, 9);
    offer(9, 1, 0x0300);
    offer(7, 2, 0, LogFlumeFlags::kDelete);
    offer(0, 0, 0, LogFlumeFlags::kTableDelete | LogFlumeFlags::kDelete);
  };
  probe::formatted = 0;
  runAllPaths();
  EXPECT_EQ(probe::formatted, 0);
  EXPECT_EQ(util->stats()->addCnt(), 2u);
  EXPECT_EQ(util->stats()->fapmaskMismatch(), 1u);

  EXPECT_THROW(offer(7, 16), Asic::OrderedTableException);  // 16 > U4
  EXPECT_GT(probe::formatted, 0);
  probe::formatted = 0;
  Capture const capture("QuietProbeUtil/3");
  runAllPaths();
  EXPECT_GT(probe::formatted, 0);
}

// A hook that fails after it set a field: the failure shows the entry as the hook left it, the
// same with traces off (the quiet pass) as with them on, and the shadow keeps what it held.
TEST(QuietPath, AFailedHookShowsTheEntryItBuiltAsTheTracedPassDoes) {
  Kiv::traceConfigIs("");
  auto const util = quietProbe();
  auto const offer = [&](std::uint8_t mtu, std::uint8_t remark) {
    return util->processSwEntry(
        Pelix::make<probe::Wrapper>(probe::LogEntry{{0x12}, 1, mtu, remark}, Asic::UnitId(0), 0));
  };
  auto const failure = [&] {
    try {
      offer(9, 32);  // 32 > U5, in the hook, after fodo
    } catch (Asic::OrderedTableException const& e) {
      return std::string(e.what());
    }
    return std::string("nothing raised");
  };
  auto const stored = offer(3, 31);
  ASSERT_EQ(stored.size(), 1u);

  std::string const quiet = failure();
  EXPECT_EQ(quiet,
            "translateToHwFormat: [logEntry: 18]: userDefinedDoSetHwEntry: [unitId: 0x0000], "
            "[logEntry: 18], [hwEntry: EedbRifBasicEtpsEthRif60Entry{key=0x12, forwardQosModel=0, "
            "mtuProfile=9, remarkProfile=0, fodo=18}]: U5::value < 0 or > 0x1f not allowed");
  {
    Capture const capture("QuietProbeUtil/3");
    EXPECT_EQ(failure(), quiet);
  }
  EXPECT_EQ(chip26_a0::EedbHwMdb::encode(
                ZuriAsicUtils::HwShadowKey(SchanAccel::FapId(0), 0),
                util->readShadowEntry(SchanAccel::FapId(0), 0, chip26_a0::mdb::EntryKey(0x12))),
            stored[0]);
}

// Every failing rule, on a write and on a delete: the quiet pass raises what the traced pass
// raises (the quiet one builds the entry unguarded first, then again under the guards), and the
// shadow keeps what it held. A delete translates the whole entry, so its failures are a write's.
TEST(QuietPath, AFailedTranslationRaisesTheSameOnEveryPassAndLeavesTheShadow) {
  Kiv::traceConfigIs("");
  auto const util = quietProbe();
  auto const offer = [&](std::uint8_t mtu, std::uint8_t remark, std::uint8_t flags) {
    return util->processSwEntry(Pelix::make<probe::Wrapper>(probe::LogEntry{{0x12}, 1, mtu, remark},
                                                            Asic::UnitId(0), flags));
  };
  auto const stored = offer(3, 31, 0);
  ASSERT_EQ(stored.size(), 1u);
  auto const shadow = [&] {
    return util->readShadowEntry(SchanAccel::FapId(0), 0, chip26_a0::mdb::EntryKey(0x12));
  };
  auto const before = shadow();
  struct Case {
    std::uint8_t mtu, remark;
    char const* raised;
  };
  Case const cases[] = {
      {16, 0,  // the translator's field, under the translation guard alone
       "translateToHwFormat: [logEntry: 18]: Casting values: cast from unsigned char{ 16 } to U4 "
       "(max = 15) failed."},
      {9, 32,  // the hook, after it set fodo: its guard shows the entry as far as it was built
       "translateToHwFormat: [logEntry: 18]: userDefinedDoSetHwEntry: [unitId: 0x0000], "
       "[logEntry: 18], [hwEntry: EedbRifBasicEtpsEthRif60Entry{key=0x12, forwardQosModel=0, "
       "mtuProfile=9, remarkProfile=0, fodo=18}]: U5::value < 0 or > 0x1f not allowed"},
  };
  for (auto const& c : cases) {
    for (std::uint8_t const flags : {std::uint8_t{0}, ZuriErrm::LogFlumeFlags::kDelete}) {
      for (bool const traced : {false, true}) {
        SCOPED_TRACE(
            fmt::format("mtu {} remark {} flags {} traced {}", c.mtu, c.remark, flags, traced));
        Capture const capture(traced ? "QuietProbeUtil/3" : "");
        auto const adds = util->stats()->addCnt();
        auto const deletes = util->stats()->deleteCnt();
        try {
          offer(c.mtu, c.remark, flags);
          ADD_FAILURE() << "nothing raised";
        } catch (Asic::OrderedTableException const& e) {
          EXPECT_STREQ(e.what(), c.raised);
        }
        EXPECT_EQ(shadow(), before);
        EXPECT_EQ(util->stats()->addCnt(), adds);
        EXPECT_EQ(util->stats()->deleteCnt(), deletes);
      }
    }
  }
  // A delete that translates cleanly still removes the entry and clears its place.
  auto const cleared = offer(3, 31, ZuriErrm::LogFlumeFlags::kDelete);
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_EQ(cleared[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(cleared[0].sizeBits, stored[0].sizeBits);
  EXPECT_EQ(util->readShadowEntry(SchanAccel::FapId(0), 0, chip26_a0::mdb::EntryKey(0x12)),
            chip26_a0::mdb::Entry(chip26_a0::mdb::EntryKey(0x12)));
}

}  // namespace
