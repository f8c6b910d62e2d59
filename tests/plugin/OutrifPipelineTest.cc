// An Out-RIF log entry through the plug-in loaded with dlopen: the applicability decision with
// its traces and counters, FAP ids the chip does not have, a wrapper of another table, the
// agent's two-call path, and the traces of the table events (what is written, and the traces of
// an add: replay goldens and model test).

#include "PluginTestSupport.h"
#include "kiv/Sassert.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;

class OutrifPipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    util_ = create(kOutrif, m_);
    addFap(*util_, 0);
    addFap(*util_, 3);
  }

  Managers m_;
  Pelix::Ptr<UtilBase> util_;
};

// FAP 3 is in the mask, FAP 2 is not; 0x80xx is the null FAP. The level-3 trace of each
// decision, and the FAP mask mismatch counted.
TEST_F(OutrifPipeline, Applicability) {
  char const* const tableDelete = " EedbOutrifUtil util is applicable for table delete";
  char const* const notApplicable = " EedbOutrifUtil util is not Applicable";
  char const* const mismatch = "Ignoring due to fapmask  mismatch";
  struct Case {
    std::uint16_t unit;
    std::uint8_t viewType, flags;
    bool applicable;
    char const* trace;  // or none
  };
  Case const cases[] = {
      {0x8000, 0, kTableDelete, true, tableDelete},
      {0x0001, 0, kTableDelete, true, tableDelete},
      {0x0201, 1, kTableDelete, false, mismatch},
      {0x0201, 0, kTableDelete, false, notApplicable},
      {0x0300, 1, 0, true, nullptr},
      {0x80FF, 1, 0, true, nullptr},
      {0x0200, 1, 0, false, mismatch},
      {0x0200, 1, kDelete, false, mismatch},
      {0x0000, 2, 0, false, notApplicable},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("unit {:#x} view {} flags {}", c.unit, c.viewType, c.flags));
    TraceCapture const traces("EedbOutrifUtil/3");
    auto const mismatchBefore = util_->stats()->fapmaskMismatch();
    EXPECT_EQ(util_->utilApplicable(outrif(outrifEntry(0x60, c.viewType), c.unit, c.flags)),
              c.applicable);
    EXPECT_EQ(util_->stats()->fapmaskMismatch() - mismatchBefore, c.trace == mismatch ? 1u : 0u);
    EXPECT_EQ(traces.messages(),
              c.trace ? std::vector<std::string>{c.trace} : std::vector<std::string>{});
  }
}

TEST_F(OutrifPipeline, FapIdAbove128IsRefusedWhereItIsTaken) {
  // {view type, flags, raises}: without a view only the table-delete check takes the FAP id;
  // with a view the FAP mask filter always does.
  std::tuple<std::uint8_t, std::uint8_t, bool> const cases[] = {
      {0, 0, false}, {0, kTableDelete, true}, {1, 0, true}, {1, kDelete, true}};
  for (auto const& [viewType, flags, raises] : cases) {
    SCOPED_TRACE(fmt::format("view {} flags {}", viewType, flags));
    auto const entry = outrif(outrifEntry(0x70, viewType), 0x8100, flags);
    if (raises) {
      EXPECT_EQ(raisesUntouched<Pelix::RangeException>({util_.get()},
                                                       [&] { util_->utilApplicable(entry); }),
                kFapRange);
    } else {
      EXPECT_FALSE(util_->utilApplicable(entry));
    }
    // Commands are asked for every entry, so processing always takes the FAP id.
    EXPECT_EQ(raisesUntouched<Pelix::RangeException>({util_.get()},
                                                     [&] { util_->processSwEntry(entry); }),
              kFapRange);
  }
}

TEST_F(OutrifPipeline, WrapperOfAnotherTableIsAPreconditionViolation) {
  util_->processSwEntry(outrif(outrifEntry(0x80)));
  auto const foreign =
      wrap<ZuriErrm::EedbStatTableLogEntryWrapper>(ZuriErrm::EedbStatTableLogEntry(), 0, 0);
  // "MESSAGE (CONDITION) in FUNCTION", the function named in full: the operation that checked.
  std::pair<char const*, std::function<void()>> const calls[] = {
      {"processSwEntry", [&] { util_->processSwEntry(foreign); }},
      {"utilApplicable", [&] { util_->utilApplicable(foreign); }},
      {"writeSwEntryToShadow", [&] { util_->writeSwEntryToShadow(foreign); }},
      {"getSchanCmds", [&] { util_->getSchanCmds(foreign, 60); }},
  };
  for (auto const& [operation, fn] : calls) {
    EXPECT_EQ(raisesUntouched<Kiv::SassertException>({util_.get()}, fn),
              fmt::format("logPtr is NULL (\"logPtr\" == nullptr) in {}::{}", kOutrif, operation));
  }
}

// The agent's two calls, writeSwEntryToShadow and then getSchanCmds with the size it returned,
// do what processSwEntry does in one: the same shadow, counters and commands, nothing written
// for a FAP outside the mask. revertHwEntry gives the blank entry and changes nothing.
TEST_F(OutrifPipeline, WriteThenGetCommandsIsProcessSwEntryInTwoCalls) {
  Managers other;
  auto const whole = create(kOutrif, other);
  addFap(*whole, 0);
  addFap(*whole, 3);
  std::tuple<std::uint16_t, std::uint8_t, std::uint32_t> const cases[] = {{0x0000, 0, 60},
                                                                          {0x0200, 0, 0},
                                                                          {0x0200, kDelete, 0},
                                                                          {0x0301, 0, 60},
                                                                          {0x0000, kDelete, 60}};
  for (auto const& [unit, flags, size] : cases) {
    SCOPED_TRACE(fmt::format("unit {:#x} flags {}", unit, flags));
    auto const entry = outrif(outrifEntry(0x40), unit, flags);
    EXPECT_EQ(util_->writeSwEntryToShadow(entry), size);
    auto const twoCalls = util_->getSchanCmds(entry, size);
    auto const oneCall = whole->processSwEntry(entry);
    EXPECT_TRUE(std::equal(twoCalls.begin(), twoCalls.end(), oneCall.begin(), oneCall.end()));
    EXPECT_TRUE(snapshot(*util_) == snapshot(*whole));
  }
  auto const before = snapshot(*util_);
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "revertHwEntry", {outrif(outrifEntry(0x40))}),
            EedbHwMdb::Entry());
  EXPECT_TRUE(snapshot(*util_) == before);
}

// The table events at level 8: clearing and destruction. (The traces of one add at level 3 and
// of handleInitialized and readShadowEntry at level 8 are the text golden's: golden.text.)
TEST_F(OutrifPipeline, TracesOfTableEventsAtLevel8) {
  auto util = create(kOutrif, m_);
  util->processSwEntry(outrif(outrifEntry(0x1000)));
  TraceCapture const traces("EedbOutrifUtil/8");
  util->clearHwTable(Asic::UnitId(0x0000));
  auto const key = fmt::format("{}", util->utilKey());
  util.reset();
  auto const line = [](char const* fn, std::string msg) {
    return fmt::format("EedbOutrifUtil 8 {} [{}] {}", fn, kOutrif, msg);
  };
  EXPECT_THAT(traces.lines(), ::testing::ElementsAre(line("clearHwTable", " unitId: 0x0000"),
                                                     line("onDelete", " utilKey: " + key)));
  EXPECT_THAT(key, ::testing::HasSubstr("swTableId=03:01:0c07"));
}

}  // namespace
}  // namespace eedb::test
