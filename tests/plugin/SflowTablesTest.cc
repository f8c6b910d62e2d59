// The two sFlow table utilities through the plug-in loaded with dlopen: one software entry becomes
// the first-pass entry under outlif and the data entry under dataOutlif in the shared EEDB, with
// the field widths, the order of the checked casts and the ESEM hardware value of Gen3 A0.

#include <functional>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "pelix/RangeException.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using ::testing::ElementsAre;
using FirstPass150 = EedbHwMdb::EedbSflowEtpsSflowFirstPass150Entry;
using FirstPassData90 = EedbHwMdb::EedbSflowEtpsSflowFirstPassData90Entry;
using Item = Gen3EsemCmds::Item;
using LogEntry = ZuriErrm::EedbSflowTableLogEntry;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;

constexpr std::string_view kFirstPass = "chip26_a0::ZuriErrmUtil::EedbSflowTableUtil";
constexpr std::string_view kData = "chip26_a0::ZuriErrmUtil::EedbSflowDataTableUtil";

// A valid sFlow entry of view 0, with a distinct value in every field.
LogEntry sflowEntry(std::uint32_t outlif, std::uint32_t dataOutlif) {
  LogEntry e;
  e.keyIs(ZuriErrm::EedbSflowTableEntryKey(outlif, dataOutlif, 0x5EED));
  e.headerSampleSamplingRateIs(4096);
  e.headerRecordEnterpriseFormatIs(0x00010002);
  e.reserved1Is(0xAAAAAAAA);
  e.headerSampleSampleLengthIs(128);
  e.headerRecordDataLengthIs(100);
  e.headerRecordProtocolIs(11);
  e.headerRecordSizeIs(64);
  e.viewTypeIs(0);
  e.headerSampleFlowRecordIs(3);
  e.reserved2Is(0xBB);
  e.esemCommandIs(Item{1});
  e.oamLifSetIs(1);
  e.eventorIdIs(7);
  return e;
}

Pelix::Ptr<Asic::LogEntryWrapperBase> sflow(LogEntry const& e, std::uint16_t unitId = 0,
                                            std::uint8_t flags = 0) {
  return wrap<ZuriErrm::EedbSflowTableLogEntryWrapper>(e, unitId, flags);
}

std::uint64_t field(EedbHwMdb::Entry const& e, std::string_view name) {
  auto const value = e.fieldValue(name);
  if (!value) ADD_FAILURE() << "no field " << name;
  return value ? value->value() : ~std::uint64_t{0};
}

std::string formatName(EedbHwMdb::Entry const& e) {
  return e.format() ? std::string(e.format()->name) : std::string("none");
}

class SflowTables : public ::testing::Test {
 protected:
  void SetUp() override { make(kA0); }

  void make(FapRevision rev) {
    m_ = Managers();
    first_ = create(kFirstPass, m_, rev);
    data_ = create(kData, m_, rev);
    addFap(*first_, 0);
    addFap(*data_, 0);
    table_ = mdbTable(*first_);
    ASSERT_NE(table_, nullptr);
  }

  EedbHwMdb::Entry const* stored(std::uint32_t key) const {
    return table_->findEntry(HwShadowKey(SchanAccel::FapId(0), 0), EedbHwMdb::EntryKey(key));
  }

  static EedbHwMdb::Entry translate(UtilBase& util, LogEntry const& e, std::uint16_t unit = 0) {
    return call<EedbHwMdb::Entry>(util, "translateToHwFormat", {sflow(e, unit)});
  }

  // Runs fn, which must raise E; neither table utility's shadow, counters or enqueue
  // statistics change. Returns the exception's text.
  template <class E>
  std::string raisesUntouched(std::function<void()> const& fn) {
    return test::raisesUntouched<E>({first_.get(), data_.get()}, fn);
  }

  // The failure text of the first-pass hook, with the entry as the hook received it.
  static std::string hookFailure(LogEntry const& e, std::uint16_t unit, EedbHwMdb::Entry const& hw,
                                 std::string_view failure) {
    return fmt::format(
        "translateToHwFormat: [logEntry: {}]: userDefinedDoSetHwEntry: [unitId: {}], [logEntry: "
        "{}], [hwEntry: {}]: {}",
        e, Asic::UnitId(unit), e, hw, failure);
  }

  Managers m_;
  Pelix::Ptr<UtilBase> first_, data_;
  Pelix::Ptr<EedbHwMdb> table_;
};

TEST_F(SflowTables, OneEntryBecomesTheFirstPassEntryAndItsDataEntry) {
  auto const e = sflowEntry(0x2000, 0x2001);
  auto const firstCmds = first_->processSwEntry(sflow(e));
  auto const dataCmds = data_->processSwEntry(sflow(e));

  // Both live in the one EEDB table of the revision.
  EXPECT_EQ(mdbTable(*data_), table_);
  EXPECT_EQ(table_->entryCount(), 2u);

  auto const* fp = stored(0x2000);
  ASSERT_NE(fp, nullptr);
  EXPECT_EQ(formatName(*fp), "EedbSflowEtpsSflowFirstPass150Entry");
  EXPECT_EQ(fp->entrySizeBits(), 150u);
  EXPECT_EQ(field(*fp, "headerSampleSampleLength"), 128u);
  EXPECT_EQ(field(*fp, "headerSampleSamplingRate"), 4096u);
  EXPECT_EQ(field(*fp, "headerSampleFlowRecord"), 3u);
  EXPECT_EQ(field(*fp, "headerRecordEnterpriseFormat"), 0x00010002u);
  EXPECT_EQ(field(*fp, "headerRecordDataLength"), 100u);
  EXPECT_EQ(field(*fp, "headerRecordProtocol"), 11u);
  EXPECT_EQ(field(*fp, "headerRecordSize"), 64u);
  EXPECT_EQ(field(*fp, "nextOutlifPointer"), 0x2001u);  // points to the data entry

  auto const* data = stored(0x2001);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(formatName(*data), "EedbSflowEtpsSflowFirstPassData90Entry");
  EXPECT_EQ(data->entrySizeBits(), 90u);
  EXPECT_EQ(field(*data, "esemCommand"), 21u);  // item 1 on Gen3 A0
  EXPECT_EQ(field(*data, "oamLifSet"), 1u);
  EXPECT_EQ(field(*data, "eventorId"), 7u);

  // Each utility writes one command for its own entry, which decodes back to the shadow.
  ASSERT_EQ(firstCmds.size(), 1u);
  EXPECT_EQ(firstCmds[0].op, SchanCmd::Op::write);
  EXPECT_EQ(firstCmds[0].index, 0x2000u);
  EXPECT_EQ(firstCmds[0].sizeBits, 150u);
  EXPECT_EQ(EedbHwMdb::decode(firstCmds[0]), *fp);
  ASSERT_EQ(dataCmds.size(), 1u);
  EXPECT_EQ(dataCmds[0].index, 0x2001u);
  EXPECT_EQ(dataCmds[0].sizeBits, 90u);
  EXPECT_EQ(EedbHwMdb::decode(dataCmds[0]), *data);

  // Both count into the same software table's enqueue statistics.
  EXPECT_EQ(enqueued(*first_, 0, 0), 2u);
  EXPECT_EQ(first_->writeSwEntryToShadow(sflow(e)), 150u);
  EXPECT_EQ(data_->writeSwEntryToShadow(sflow(e)), 90u);
  EXPECT_EQ(first_->stats()->addCnt(), 2u);
  EXPECT_EQ(data_->stats()->addCnt(), 2u);
}

TEST_F(SflowTables, KeysAreTheirOwnWordOfTheSoftwareKey) {
  for (std::uint16_t unit : {0x0000, 0x0305, 0x80FF}) {
    auto const e = sflowEntry(0xFFFFFFFF, 0x12345678);
    EXPECT_EQ(call<EedbHwMdb::EntryKey>(*first_, "mapToHwKey", {e, Asic::UnitId(unit)}).value(),
              0xFFFFFFFFu);
    EXPECT_EQ(call<EedbHwMdb::EntryKey>(*data_, "mapToHwKey", {e, Asic::UnitId(unit)}).value(),
              0x12345678u);
  }
}

TEST_F(SflowTables, CopiedFieldsTakeEveryValueAndUnreadFieldsChangeNothing) {
  auto e = sflowEntry(0x10, 0x11);
  e.headerSampleSamplingRateIs(0xFFFFFFFF);
  e.headerRecordEnterpriseFormatIs(0x80000001);
  e.eventorIdIs(0xFF);
  auto const fp = translate(*first_, e);
  auto const data = translate(*data_, e);
  EXPECT_EQ(field(fp, "headerSampleSamplingRate"), 0xFFFFFFFFu);
  EXPECT_EQ(field(fp, "headerRecordEnterpriseFormat"), 0x80000001u);
  EXPECT_EQ(field(data, "eventorId"), 0xFFu);

  // The third key word and the reserved fields are nobody's.
  auto other = e;
  other.keyIs(ZuriErrm::EedbSflowTableEntryKey(0x10, 0x11, 0));
  other.reserved1Is(0);
  other.reserved2Is(0);
  EXPECT_EQ(translate(*first_, other), fp);
  EXPECT_EQ(translate(*data_, other), data);
  // The data utility reads none of the header values, the first pass none of the data values.
  other.headerSampleSampleLengthIs(1);
  other.headerRecordSizeIs(2);
  EXPECT_EQ(translate(*data_, other), data);
  other = e;
  other.esemCommandIs(Item{2});
  other.oamLifSetIs(0);
  other.eventorIdIs(0);
  EXPECT_EQ(translate(*first_, other), fp);
}

TEST_F(SflowTables, FirstPassFieldBoundaries) {
  struct Case {
    char const* what;
    std::function<void(LogEntry&)> edit;
    char const* field;    // the field read back when the entry passes
    std::uint64_t value;  // its value
    char const* cast;     // or the checked cast that fails
  };
  auto const sampleLength = [](std::uint16_t v) {
    return [v](LogEntry& e) { e.headerSampleSampleLengthIs(v); };
  };
  auto const flowRecord = [](std::uint8_t v) {
    return [v](LogEntry& e) { e.headerSampleFlowRecordIs(v); };
  };
  auto const dataLength = [](std::uint16_t v) {
    return [v](LogEntry& e) { e.headerRecordDataLengthIs(v); };
  };
  auto const protocol = [](std::uint16_t v) {
    return [v](LogEntry& e) { e.headerRecordProtocolIs(v); };
  };
  auto const size = [](std::uint16_t v) { return [v](LogEntry& e) { e.headerRecordSizeIs(v); }; };
  Case const cases[] = {
      {"sample length, U14 max", sampleLength(16383), "headerSampleSampleLength", 16383, nullptr},
      {"sample length 16384", sampleLength(16384), nullptr, 0,
       "short unsigned int{ 16384 } to U14 (max = 16383)"},
      {"sample length 65535", sampleLength(65535), nullptr, 0,
       "short unsigned int{ 65535 } to U14 (max = 16383)"},
      {"flow record, U4 max", flowRecord(15), "headerSampleFlowRecord", 15, nullptr},
      {"flow record 16", flowRecord(16), nullptr, 0, "unsigned char{ 16 } to U4 (max = 15)"},
      {"data length, U14 max", dataLength(16383), "headerRecordDataLength", 16383, nullptr},
      {"data length 16384", dataLength(16384), nullptr, 0,
       "short unsigned int{ 16384 } to U14 (max = 16383)"},
      {"protocol, U13 max", protocol(8191), "headerRecordProtocol", 8191, nullptr},
      {"protocol 8192", protocol(8192), nullptr, 0,
       "short unsigned int{ 8192 } to U13 (max = 8191)"},
      {"record size, U14 max", size(16383), "headerRecordSize", 16383, nullptr},
      {"record size 16384", size(16384), nullptr, 0,
       "short unsigned int{ 16384 } to U14 (max = 16383)"},
      // Several bad fields: the first in the order of setting is the one reported.
      {"all five bad",
       [](LogEntry& e) {
         e.headerSampleSampleLengthIs(20000);
         e.headerSampleFlowRecordIs(200);
         e.headerRecordDataLengthIs(30000);
         e.headerRecordProtocolIs(9000);
         e.headerRecordSizeIs(40000);
       },
       nullptr, 0, "short unsigned int{ 20000 } to U14 (max = 16383)"},
      {"flow record before data length",
       [](LogEntry& e) {
         e.headerRecordDataLengthIs(30000);
         e.headerSampleFlowRecordIs(200);
       },
       nullptr, 0, "unsigned char{ 200 } to U4 (max = 15)"},
      {"protocol before record size",
       [](LogEntry& e) {
         e.headerRecordSizeIs(40000);
         e.headerRecordProtocolIs(9000);
       },
       nullptr, 0, "short unsigned int{ 9000 } to U13 (max = 8191)"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    auto e = sflowEntry(0x3000, 0x3001);
    c.edit(e);
    if (c.cast == nullptr) {
      first_->processSwEntry(sflow(e));
      ASSERT_NE(stored(0x3000), nullptr);
      EXPECT_EQ(field(*stored(0x3000), c.field), c.value);
      continue;
    }
    std::string const expected = fmt::format(
        "translateToHwFormat: [logEntry: {}]: Casting values: cast from {} failed.", e, c.cast);
    for (std::uint8_t flags : {std::uint8_t{0}, kDelete}) {
      EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>(
                    [&] { first_->processSwEntry(sflow(e, 0, flags)); }),
                expected);
    }
    // The data utility reads none of these fields.
    EXPECT_NO_THROW(translate(*data_, e));
  }
}

TEST_F(SflowTables, DataOutlifBeyondTwentyBitsFailsOnlyTheFirstPass) {
  auto const e = sflowEntry(0x4000, 0xFFFFF);
  first_->processSwEntry(sflow(e));
  EXPECT_EQ(field(*stored(0x4000), "nextOutlifPointer"), 0xFFFFFu);

  for (std::uint32_t dataOutlif : {0x100000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(dataOutlif);
    auto const bad = sflowEntry(0x4000, dataOutlif);
    // The hook sees the entry with every translator-owned field already set.
    FirstPass150 atHook(EedbHwMdb::EntryKey(0x4000));
    atHook.handleInitialized();
    atHook.headerSampleSampleLengthIs(U14(128));
    atHook.headerSampleSamplingRateIs(4096);
    atHook.headerSampleFlowRecordIs(U4(3));
    atHook.headerRecordEnterpriseFormatIs(0x00010002);
    atHook.headerRecordDataLengthIs(U14(100));
    atHook.headerRecordProtocolIs(U13(11));
    atHook.headerRecordSizeIs(U14(64));
    EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>(
                  [&] { first_->processSwEntry(sflow(bad, 0x0007)); }),
              hookFailure(bad, 0x0007, atHook, "U20::value < 0 or > 0x000fffff not allowed"));

    // The data utility writes the same entry under that key.
    data_->processSwEntry(sflow(bad));
    ASSERT_NE(stored(dataOutlif), nullptr);
    EXPECT_EQ(formatName(*stored(dataOutlif)), "EedbSflowEtpsSflowFirstPassData90Entry");
  }
  EXPECT_EQ(field(*stored(0x4000), "nextOutlifPointer"), 0xFFFFFu);
}

TEST_F(SflowTables, EsemCommandIsTheGen3A0HardwareValueOnEveryRevision) {
  // Outside Gen3 A0 the item list keeps the item numbers: B0 would give item 1 as 1.
  ASSERT_EQ(Gen3EsemCmds::hwValue(kB0, Item{1}), 1u);
  struct Case {
    std::uint8_t item;
    std::optional<std::uint64_t> esem;  // the field's value, or a failure
  };
  Case const cases[] = {{0, 0},
                        {1, 21},
                        {2, 22},
                        {3, 42},
                        {4, std::nullopt},
                        {5, 5},
                        {63, 63},
                        {64, std::nullopt},
                        {255, std::nullopt}};
  for (FapRevision rev : {kA0, kB0}) {
    make(rev);
    for (auto const& c : cases) {
      SCOPED_TRACE(fmt::format("{} item {}", rev, c.item));
      auto e = sflowEntry(0x5000, 0x5001);
      e.esemCommandIs(Item{c.item});
      e.oamLifSetIs(0);
      e.eventorIdIs(0x42);
      if (c.esem) {
        data_->processSwEntry(sflow(e));
        EXPECT_EQ(field(*stored(0x5001), "esemCommand"), *c.esem);
        EXPECT_EQ(field(*stored(0x5001), "eventorId"), 0x42u);
        continue;
      }
      std::string expected;
      if (c.item > 63) {
        // The item number itself must fit first.
        expected = fmt::format(
            "translateToHwFormat: [logEntry: {}]: Casting values: cast from Gen3EsemCmds::Item{{ "
            "{} }} to U6 (max = 63) failed.",
            e, c.item);
      } else {
        // Item 4 fits, but its Gen3 A0 value 64 does not.
        FirstPassData90 atHook(EedbHwMdb::EntryKey(0x5001));
        atHook.handleInitialized();
        atHook.esemCommandIs(U6(c.item));
        atHook.oamLifSetIs(U1(0));
        atHook.eventorIdIs(0x42);
        expected = hookFailure(e, 0, atHook, "U6::value < 0 or > 0x3f not allowed");
      }
      EXPECT_EQ(
          raisesUntouched<Asic::OrderedTableException>([&] { data_->processSwEntry(sflow(e)); }),
          expected);
      // The first pass reads no ESEM command.
      EXPECT_NO_THROW(translate(*first_, e));
    }
  }
}

TEST_F(SflowTables, OamLifSetIsOneBitAndCastAfterTheItem) {
  auto e = sflowEntry(0x5100, 0x5101);
  e.oamLifSetIs(2);
  auto const text =
      raisesUntouched<Asic::OrderedTableException>([&] { data_->processSwEntry(sflow(e)); });
  EXPECT_EQ(text, fmt::format("translateToHwFormat: [logEntry: {}]: Casting values: cast from "
                              "unsigned char{{ 2 }} to U1 (max = 1) failed.",
                              e));
  e.esemCommandIs(Item{64});
  EXPECT_THAT(
      raisesUntouched<Asic::OrderedTableException>([&] { data_->processSwEntry(sflow(e)); }),
      ::testing::EndsWith("cast from Gen3EsemCmds::Item{ 64 } to U6 (max = 63) failed."));
}

TEST_F(SflowTables, OtherViewsAreNeitherUtilitysButTableDeletesAre) {
  for (std::uint8_t view : {1, 255}) {
    SCOPED_TRACE(static_cast<unsigned>(view));
    auto e = sflowEntry(0x6000, 0x6001);
    e.viewTypeIs(view);
    {
      TraceCapture const traces("EedbSflowTableUtil/3,EedbSflowDataTableUtil/3");
      EXPECT_FALSE(first_->utilApplicable(sflow(e)));
      EXPECT_FALSE(data_->utilApplicable(sflow(e)));
      std::vector<std::string> messages;
      for (auto const& line : traces.lines()) messages.push_back(line.message);
      EXPECT_THAT(messages, ElementsAre(" EedbSflowTableUtil util is not Applicable",
                                        " EedbSflowDataTableUtil util is not Applicable"));
    }
    EXPECT_TRUE(first_->processSwEntry(sflow(e)).empty());
    EXPECT_TRUE(data_->processSwEntry(sflow(e)).empty());
    EXPECT_EQ(table_->entryCount(), 0u);
    EXPECT_EQ(enqueued(*first_, 0, 0), 2u * (view == 1 ? 1 : 2));

    // Translated anyway, each gives the key-only entry under its own key.
    EXPECT_EQ(translate(*first_, e), EedbHwMdb::Entry(EedbHwMdb::EntryKey(0x6000)));
    EXPECT_EQ(translate(*data_, e), EedbHwMdb::Entry(EedbHwMdb::EntryKey(0x6001)));

    TraceCapture const traces("EedbSflowTableUtil/3,EedbSflowDataTableUtil/3");
    EXPECT_TRUE(first_->utilApplicable(sflow(e, 0, kTableDelete)));
    EXPECT_TRUE(data_->utilApplicable(sflow(e, 0, kTableDelete)));
    std::vector<std::string> messages;
    for (auto const& line : traces.lines()) messages.push_back(line.message);
    EXPECT_THAT(messages,
                ElementsAre(" EedbSflowTableUtil util is applicable for table delete",
                            " EedbSflowDataTableUtil util is applicable for table delete"));
  }
}

TEST_F(SflowTables, DeleteRemovesEachEntryWithItsOwnSize) {
  auto const e = sflowEntry(0x7000, 0x7001);
  first_->processSwEntry(sflow(e));
  data_->processSwEntry(sflow(e));
  table_->updateOnDeleteIs(true);  // the blank revert deletes all the same

  for (auto const& [util, key, size] :
       {std::tuple{first_, 0x7000u, 150u}, std::tuple{data_, 0x7001u, 90u}}) {
    EXPECT_EQ(call<EedbHwMdb::Entry>(*util, "revertHwEntry", {sflow(e)}),
              EedbHwMdb::Entry(EedbHwMdb::EntryKey()));
    auto const cmds = util->processSwEntry(sflow(e, 0, kDelete));
    EXPECT_EQ(stored(key), nullptr);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
    EXPECT_EQ(cmds[0].index, key);
    EXPECT_EQ(cmds[0].sizeBits, size);
    EXPECT_EQ(util->stats()->deleteCnt(), 1u);
    EXPECT_EQ(util->stats()->updateOnDelCnt(), 0u);
  }
  EXPECT_EQ(table_->entryCount(), 0u);
}

}  // namespace
}  // namespace eedb::test
