// An Out-RIF log entry through the plug-in's pipeline, loaded with dlopen: applicability, shadow
// writes, SCHAN commands and enqueue counts, failures that leave everything as it was, and the
// traces of the way.

#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "kiv/Sassert.h"
#include "pelix/RangeException.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Rif60 = EedbHwMdb::EedbRifBasicEtpsEthRif60Entry;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;

constexpr char const* kFapRange =
    "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null not allowed";

HwShadowKey shadowKey(unsigned fapId, unsigned instanceId) {
  return {SchanAccel::FapId(fapId), static_cast<ZuriAsicUtils::InstanceId>(instanceId)};
}

class OutrifPipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    util_ = create(kOutrif, m_);
    addFap(*util_, 0);
    addFap(*util_, 3);
    table_ = mdbTable(*util_);
    ASSERT_NE(table_, nullptr);
  }

  EedbHwMdb::Entry const* stored(unsigned fapId, unsigned instanceId, std::uint32_t key) const {
    return table_->findEntry(shadowKey(fapId, instanceId), EedbHwMdb::EntryKey(key));
  }

  // Runs fn, which must raise E; the shadow, the counters and the enqueue statistics stay
  // exactly as they were. Returns the exception's text.
  template <class E>
  std::string raisesUntouched(std::function<void()> const& fn) {
    return test::raisesUntouched<E>({util_.get()}, fn);
  }

  Managers m_;
  Pelix::Ptr<UtilBase> util_;
  Pelix::Ptr<EedbHwMdb> table_;
};

TEST_F(OutrifPipeline, AddWritesTheRif60EntryAndItsCommand) {
  auto const logEntry = outrifEntry(0x1000, 1, 1, 2, 3, 100);
  auto const cmds = util_->processSwEntry(outrif(logEntry, 0x0305));

  auto const* entry = stored(3, 5, 0x1000);
  ASSERT_NE(entry, nullptr);
  auto const rif = Rif60::fromEntry(*entry);
  ASSERT_TRUE(rif.has_value());
  EXPECT_EQ(rif->forwardQosModel(), U1(1));
  EXPECT_EQ(rif->mtuProfile(), U4(2));
  EXPECT_EQ(rif->remarkProfile(), U5(3));
  EXPECT_EQ(rif->fodo(), U15(100));
  EXPECT_EQ(entry->entrySizeBits(), 60u);
  EXPECT_EQ(table_->entryCount(), 1u);
  EXPECT_EQ(util_->stats()->addCnt(), 1u);
  EXPECT_EQ(enqueued(*util_, 3, 5), 1u);

  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::write);
  EXPECT_EQ(cmds[0].fapId, 3u);
  EXPECT_EQ(cmds[0].instanceId, 5u);
  EXPECT_EQ(cmds[0].index, 0x1000u);
  EXPECT_EQ(EedbHwMdb::decode(cmds[0]), *entry);

  // The same entry through reflection and the virtual of shadow writing.
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {outrif(logEntry, 0x0305)}),
            *entry);
  EXPECT_EQ(call<EedbHwMdb::Entry>(
                *util_, "readShadowEntry",
                {SchanAccel::FapId(3), ZuriAsicUtils::InstanceId(5), EedbHwMdb::EntryKey(0x1000)}),
            *entry);
  EXPECT_EQ(util_->writeSwEntryToShadow(outrif(logEntry, 0x0305)), 60u);
  EXPECT_EQ(util_->stats()->addCnt(), 2u);
}

TEST_F(OutrifPipeline, KeyMapsUnchangedWhateverTheUnit) {
  for (std::uint32_t key : {0u, 1u, 0xFFFFFu, 0x100000u, 0xFFFFFFFFu}) {
    for (std::uint16_t unit : {0x0000, 0x0305, 0x80FF}) {
      auto const hwKey =
          call<EedbHwMdb::EntryKey>(*util_, "mapToHwKey", {outrifEntry(key), Asic::UnitId(unit)});
      EXPECT_EQ(hwKey.value(), key) << unit;
    }
  }
}

TEST_F(OutrifPipeline, UpdateReplacesAndDeleteRemoves) {
  util_->processSwEntry(outrif(outrifEntry(0x20, 1, 0, 1)));
  util_->processSwEntry(outrif(outrifEntry(0x20, 1, 1, 9)));
  ASSERT_EQ(table_->entryCount(), 1u);
  EXPECT_EQ(Rif60::fromEntry(*stored(0, 0, 0x20))->mtuProfile(), U4(9));
  EXPECT_EQ(util_->stats()->addCnt(), 2u);

  auto const cmds = util_->processSwEntry(outrif(outrifEntry(0x20, 1, 1, 9), 0, kDelete));
  EXPECT_EQ(table_->entryCount(), 0u);
  EXPECT_EQ(util_->stats()->deleteCnt(), 1u);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 60u);
  EXPECT_EQ(cmds[0].index, 0x20u);
  EXPECT_EQ(EedbHwMdb::decode(cmds[0]), std::nullopt);
  EXPECT_EQ(enqueued(*util_, 0, 0), 3u);
}

// A table delete may carry only its key: whatever its own view, a delete clears the whole
// stored entry on the chip, and an add of a view without a format never replaces what the shadow
// holds.
TEST_F(OutrifPipeline, TableDeleteOfAnotherViewClearsTheStoredEntry) {
  util_->processSwEntry(outrif(outrifEntry(0x28)));
  auto const keyOnly = outrifEntry(0x28, 0);

  auto const added = util_->processSwEntry(outrif(keyOnly, 0, kTableDelete));
  EXPECT_TRUE(added.empty());
  ASSERT_NE(stored(0, 0, 0x28), nullptr);
  EXPECT_TRUE(stored(0, 0, 0x28)->hasFormat()) << "a key-only entry replaced the stored one";

  EXPECT_EQ(util_->writeSwEntryToShadow(outrif(keyOnly, 0, kDelete | kTableDelete)), 60u);
  EXPECT_EQ(table_->entryCount(), 0u);
  util_->processSwEntry(outrif(outrifEntry(0x28)));
  auto const cleared = util_->processSwEntry(outrif(keyOnly, 0, kDelete | kTableDelete));
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_EQ(cleared[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cleared[0].sizeBits, 60u);
  EXPECT_EQ(util_->stats()->addCnt(), 3u);
  EXPECT_EQ(util_->stats()->deleteCnt(), 2u);
}

TEST_F(OutrifPipeline, RefusedEntryWritesNothingButIsEnqueued) {
  auto const entry = outrif(outrifEntry(0x30, 0));
  EXPECT_FALSE(util_->utilApplicable(entry));
  EXPECT_EQ(util_->writeSwEntryToShadow(entry), 0u);
  auto const cmds = util_->processSwEntry(entry);
  EXPECT_TRUE(cmds.empty());
  EXPECT_EQ(table_->entryCount(), 0u);
  EXPECT_EQ(enqueued(*util_, 0, 0), 1u);
  EXPECT_EQ(util_->stats()->addCnt(), 0u);
  // Translated, it is the key-only entry.
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {entry}),
            EedbHwMdb::Entry(EedbHwMdb::EntryKey(0x30)));
}

TEST_F(OutrifPipeline, UpdateOnDeleteWithTheBlankRevertDeletes) {
  table_->updateOnDeleteIs(true);
  util_->processSwEntry(outrif(outrifEntry(0x40)));
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "revertHwEntry", {outrif(outrifEntry(0x40))}),
            EedbHwMdb::Entry(EedbHwMdb::EntryKey()));

  EXPECT_EQ(util_->writeSwEntryToShadow(outrif(outrifEntry(0x40), 0, kDelete)), 60u);
  EXPECT_EQ(table_->entryCount(), 0u);
  EXPECT_EQ(util_->stats()->deleteCnt(), 1u);
  EXPECT_EQ(util_->stats()->updateOnDelCnt(), 0u);
}

TEST_F(OutrifPipeline, NullFapWritesUnderFap128EvenWithAnEmptyMask) {
  auto bare = create(kOutrif, m_);
  auto const cmds = bare->processSwEntry(outrif(outrifEntry(0x50), 0x8003));
  ASSERT_NE(stored(128, 3, 0x50), nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].fapId, 128u);
  EXPECT_EQ(enqueued(*bare, 128, 3), 1u);
  // An empty mask handles nothing else.
  EXPECT_FALSE(bare->utilApplicable(outrif(outrifEntry(0x50), 0x0003)));
}

TEST_F(OutrifPipeline, Applicability) {
  struct Case {
    char const* what;
    std::uint16_t unit;
    std::uint8_t viewType;
    std::uint8_t flags;
    bool applicable;
    char const* trace;  // the level-3 trace of the decision, or none
  };
  Case const cases[] = {
      {"table delete, null FAP, no view", 0x8000, 0, kTableDelete, true,
       " EedbOutrifUtil util is applicable for table delete"},
      {"table delete, FAP in mask, no view", 0x0001, 0, kTableDelete, true,
       " EedbOutrifUtil util is applicable for table delete"},
      {"table delete, FAP outside, view", 0x0201, 1, kTableDelete, false,
       "Ignoring due to fapmask  mismatch"},
      {"table delete, FAP outside, no view", 0x0201, 0, kTableDelete, false,
       " EedbOutrifUtil util is not Applicable"},
      {"FAP in mask, view", 0x0300, 1, 0, true, nullptr},
      {"null FAP, view", 0x80FF, 1, 0, true, nullptr},
      {"FAP outside, view", 0x0200, 1, 0, false, "Ignoring due to fapmask  mismatch"},
      {"delete, FAP outside, view", 0x0200, 1, kDelete, false, "Ignoring due to fapmask  mismatch"},
      {"FAP in mask, view 2", 0x0000, 2, 0, false, " EedbOutrifUtil util is not Applicable"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture const traces("EedbOutrifUtil/3");
    auto const mismatchBefore = util_->stats()->fapmaskMismatch();
    EXPECT_EQ(util_->utilApplicable(outrif(outrifEntry(0x60, c.viewType), c.unit, c.flags)),
              c.applicable);
    bool const mismatch = c.trace != nullptr && c.trace[0] == 'I';
    EXPECT_EQ(util_->stats()->fapmaskMismatch() - mismatchBefore, mismatch ? 1u : 0u);
    std::vector<std::string> messages;
    for (auto const& line : traces.lines()) messages.push_back(line.message);
    if (c.trace == nullptr) {
      EXPECT_THAT(messages, ElementsAre());
    } else {
      EXPECT_THAT(messages, ElementsAre(c.trace));
    }
  }
}

TEST_F(OutrifPipeline, FapIdAbove128IsRefusedWhereItIsTaken) {
  struct Case {
    std::uint8_t viewType;
    std::uint8_t flags;
    bool raises;
  };
  // Without a view only the table-delete check takes the FAP id; with a view the FAP mask
  // filter always does.
  Case const cases[] = {{0, 0, false}, {0, kTableDelete, true}, {1, 0, true}, {1, kDelete, true}};
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view {} flags {}", c.viewType, c.flags));
    auto const entry = outrif(outrifEntry(0x70, c.viewType), 0x8100, c.flags);
    if (c.raises) {
      EXPECT_EQ(raisesUntouched<Pelix::RangeException>([&] { util_->utilApplicable(entry); }),
                kFapRange);
    } else {
      EXPECT_FALSE(util_->utilApplicable(entry));
    }
    // Commands are asked for every entry, so processing always takes the FAP id.
    EXPECT_EQ(raisesUntouched<Pelix::RangeException>([&] { util_->processSwEntry(entry); }),
              kFapRange);
  }
}

TEST_F(OutrifPipeline, WrapperOfAnotherTableIsAPreconditionViolation) {
  util_->processSwEntry(outrif(outrifEntry(0x80)));
  auto const foreign =
      wrap<ZuriErrm::EedbStatTableLogEntryWrapper>(ZuriErrm::EedbStatTableLogEntry(), 0, 0);
  std::function<void()> const calls[] = {
      [&] { util_->processSwEntry(foreign); },
      [&] { util_->utilApplicable(foreign); },
      [&] { util_->writeSwEntryToShadow(foreign); },
      [&] { util_->getSchanCmds(foreign, 60); },
  };
  for (auto const& fn : calls) {
    auto const before = snapshot(*util_);
    try {
      fn();
      ADD_FAILURE() << "no exception";
    } catch (Kiv::SassertException const& e) {
      EXPECT_EQ(e.message(), "logPtr is NULL");
      EXPECT_EQ(e.condition(), "\"logPtr\" == nullptr");
    }
    EXPECT_TRUE(snapshot(*util_) == before);
  }
}

TEST_F(OutrifPipeline, ProfileTooLargeFailsNamingTheFirstBadField) {
  struct Case {
    std::uint8_t forwardQosModel, mtuProfile, remarkProfile;
    char const* cast;
  };
  Case const cases[] = {
      {2, 0, 0, "cast from unsigned char{ 2 } to U1 (max = 1)"},
      {255, 0, 0, "cast from unsigned char{ 255 } to U1 (max = 1)"},
      {0, 16, 0, "cast from unsigned char{ 16 } to U4 (max = 15)"},
      {0, 0, 32, "cast from unsigned char{ 32 } to U5 (max = 31)"},
      {2, 16, 0, "cast from unsigned char{ 2 } to U1 (max = 1)"},
      {1, 16, 32, "cast from unsigned char{ 16 } to U4 (max = 15)"},
  };
  // A good entry under the key, which no failure may touch.
  util_->processSwEntry(outrif(outrifEntry(0x90)));
  for (auto const& c : cases) {
    auto const logEntry = outrifEntry(0x90, 1, c.forwardQosModel, c.mtuProfile, c.remarkProfile);
    std::string const expected = fmt::format(
        "translateToHwFormat: [logEntry: {}]: Casting values: {} failed.", logEntry, c.cast);
    SCOPED_TRACE(expected);
    for (std::uint8_t flags : {std::uint8_t{0}, kDelete}) {
      auto const entry = outrif(logEntry, 0, flags);
      EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>([&] { util_->processSwEntry(entry); }),
                expected);
      EXPECT_EQ(
          raisesUntouched<Asic::OrderedTableException>([&] { util_->writeSwEntryToShadow(entry); }),
          expected);
    }
  }
}

TEST_F(OutrifPipeline, LargestProfilesPassAndFodoKeepsFifteenBits) {
  util_->processSwEntry(outrif(outrifEntry(0xA0, 1, 1, 15, 31, 0xFFFF)));
  auto const rif = Rif60::fromEntry(*stored(0, 0, 0xA0));
  ASSERT_TRUE(rif.has_value());
  EXPECT_EQ(rif->forwardQosModel(), U1(1));
  EXPECT_EQ(rif->mtuProfile(), U4(15));
  EXPECT_EQ(rif->remarkProfile(), U5(31));
  EXPECT_EQ(rif->fodo(), U15(0x7FFF));
}

TEST_F(OutrifPipeline, TracesOfOneAddAtLevel3) {
  auto const logEntry = outrifEntry(0x1000);
  TraceCapture const traces("EedbOutrifUtil/0-9");
  util_->processSwEntry(outrif(logEntry));

  auto const shadowEntry = fmt::format("{}", *stored(0, 0, 0x1000));
  auto const flume =
      fmt::format("{}", ZuriErrm::EedbOutrifLogFlumeEntry(logEntry, Asic::UnitId(0)));
  auto const hwKey = fmt::format("{}", EedbHwMdb::EntryKey(0x1000));
  auto const sw = fmt::format("{}", logEntry);
  std::string const name(kOutrif);
  auto const accessor = [](char const* fn, std::string msg) {
    return TraceLine{"EedbOutrifUtil", 3, fn, "", std::move(msg)};
  };
  auto const translation = [&](char const* fn, std::string msg) {
    return TraceLine{"EedbOutrifUtil", 3, fn, name, std::move(msg)};
  };
  auto const keyLine = translation("mapToHwKey_", " swKey: 4096 hwKey: " + hwKey);
  EXPECT_THAT(
      traces.lines(),
      ElementsAreArray({
          accessor("processLogEntry", " calling getSchanCmds "),
          accessor("writeSwEntryToShadow", " fapId: 0 instanceId 0 logEntry: " + flume),
          keyLine,
          keyLine,
          translation("translateToHwFormat_",
                      " fapId: 0 instanceId: 0 hwKey: " + hwKey + " logEntry: " + sw),
          accessor("userDefinedDoSetHwEntry", " calling user specified util function"),
          accessor("userDefinedDoSetHwEntry", " after user function hwEntry: " + shadowEntry),
          accessor("writeSwEntryToShadow", " fapId: 0 hwEntry: " + shadowEntry),
          accessor("getSchanCmds", " fapId: 0 instanceId 0 swEntry: " + sw),
          keyLine,
          accessor("getSchanCmds", " Created schanEnqeueuStats for SwTableId 03:01:0c07 "),
          accessor("getSchanCmds", " Incrementing EnqueueStats for shadowKey fap 0 instance 0"),
      }));
}

TEST_F(OutrifPipeline, TracesOfTableEventsAtLevel8) {
  util_->processSwEntry(outrif(outrifEntry(0x1000)));
  TraceCapture const traces("EedbOutrifUtil/8");
  auto util = create(kOutrif, m_);
  util->processSwEntry(outrif(outrifEntry(0x1000)));  // nothing at level 8
  call<EedbHwMdb::Entry>(
      *util, "readShadowEntry",
      {SchanAccel::FapId(0), ZuriAsicUtils::InstanceId(0), EedbHwMdb::EntryKey(0x1000)});
  util->clearHwTable(Asic::UnitId(0x0000));
  auto const key = fmt::format("{}", util->utilKey());
  util.reset();

  std::string const name(kOutrif);
  auto const line = [&](char const* fn, std::string msg) {
    return TraceLine{"EedbOutrifUtil", 8, fn, name, std::move(msg)};
  };
  EXPECT_THAT(
      traces.lines(),
      ElementsAre(
          line("handleInitialized", "fapRevision: 26:A0"),
          line("readShadowEntry", " fapId: 0 insanceId: 0 hwShadowKey: fap 0 instance 0 key: " +
                                      fmt::format("{}", EedbHwMdb::EntryKey(0x1000))),
          line("clearHwTable", " unitId: 0x0000"), line("onDelete", " utilKey: " + key)));
  EXPECT_THAT(key, ::testing::HasSubstr("swTableId=03:01:0c07"));
}

}  // namespace
}  // namespace eedb::test
