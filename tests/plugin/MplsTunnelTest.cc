// The MPLS tunnel table utility through the plug-in, loaded with dlopen: the eleven views and
// their formats field by field, labels and profiles cut to their widths, the statistics object
// limit, the three U3 checks and the views they belong to, no-view entries and deletes.

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "MdbTableFixture.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using LogEntry = ZuriErrm::EedbMplsTunnelTableLogEntry;
using Wrapper = ZuriErrm::EedbMplsTunnelTableLogEntryWrapper;

constexpr std::string_view kMpls = "chip26_a0::ZuriErrmUtil::EedbMplsTunnelTableUtil";
constexpr std::string_view kShort = "EedbMplsTunnelTableUtil";
constexpr std::uint32_t kKey = 0x2000;
constexpr char const* kU3Range = "U3::value < 0 or > 0x07 not allowed";

// Every field distinct, so that a field taken from the wrong source shows.
LogEntry mplsEntry(std::uint8_t viewType, std::function<void(LogEntry&)> const& change = {}) {
  LogEntry e;
  e.keyIs(ZuriErrm::EedbMplsTunnelTableEntryKey(kKey));
  e.viewTypeIs(viewType);
  e.nextOutlifPointerIs(0xABCDE);
  e.label1Is(0x11111);
  e.label2Is(0x22222);
  e.label3Is(0x33333);
  e.label4Is(0x44444);
  e.label5Is(0x55555);
  e.label6Is(0x66666);
  e.statObjectIdIs(0x1234);
  e.vlanEditProfileIs(5);
  e.esemCommandIs(6);
  e.ttlModeIs(1);
  e.encapQosModelIs(3);
  e.nwkQosIdxIs(0x2A);
  e.ttlPipeProfileIs(9);
  e.lifAhpMplsIs(4);
  if (change) change(e);
  return e;
}

Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(LogEntry const& e, std::uint8_t flags = 0) {
  return wrap<Wrapper>(e, 0, flags);
}

class MplsTunnel : public MdbTableFixture {
 protected:
  MplsTunnel() : MdbTableFixture(kMpls) {}
};

TEST_F(MplsTunnel, EachViewWritesItsFormat) {
  struct Case {
    char const* what;
    std::uint8_t viewType;
    std::function<void(LogEntry&)> change;
    char const* format;
    Fields fields;  // every field of the format
  };
  // The common tail of the entries with statistics, from the base entry.
  Fields const tail = {{"ttlPipeProfile", 9}, {"ttlMode", 1},       {"nwkQosIdx", 0x2A},
                       {"encapQosModel", 3},  {"statObjectCmd", 3}, {"statObjectId", 0x1234}};
  auto withTail = [&](Fields fields) {
    fields.insert(tail.begin(), tail.end());
    return fields;
  };
  Case const cases[] = {
      {"view 1, one label",
       1,
       {},
       "EedbMplsTunnelEtpsMpls190Entry",
       {{"mplsLabel", 0x11111}, {"nextOutlifPointer", 0xABCDE}}},
      {"view 1, label and pointer cut to 20 bits",
       1,
       [](LogEntry& e) {
         e.label1Is(0x1FFFFF);
         e.nextOutlifPointerIs(0xFFF00001);
       },
       "EedbMplsTunnelEtpsMpls190Entry",
       {{"mplsLabel", 0xFFFFF}, {"nextOutlifPointer", 0x00001}}},
      {"view 11, swap",
       11,
       {},
       "EedbMplsTunnelEtpsMplsSwap90Entry",
       {{"mplsLabel", 0x11111}, {"nextOutlifPointer", 0xABCDE}}},
      {"view 2, one label with statistics",
       2,
       {},
       "EedbMplsTunnelEtpsMpls1Stat150Entry",
       withTail({{"mplsLabel", 0x11111},
                 {"esemCommand", 6},
                 {"lifAhpMpls", 4},
                 {"nextOutlifPointer", 0xABCDE}})},
      {"view 2, largest U3 values; profiles cut, ttlMode 2 is mode 0",
       2,
       [](LogEntry& e) {
         e.esemCommandIs(7);
         e.lifAhpMplsIs(7);
         e.ttlPipeProfileIs(0xF7);  // -> 0x7
         e.ttlModeIs(2);
         e.nwkQosIdxIs(0xFF);   // -> 0x3F
         e.encapQosModelIs(8);  // 0b1000 -> 0
         e.statObjectIdIs(0x1FFFE);
       },
       "EedbMplsTunnelEtpsMpls1Stat150Entry",
       {{"mplsLabel", 0x11111},
        {"esemCommand", 7},
        {"lifAhpMpls", 7},
        {"nextOutlifPointer", 0xABCDE},
        {"ttlPipeProfile", 7},
        {"ttlMode", 0},
        {"nwkQosIdx", 0x3F},
        {"encapQosModel", 0},
        {"statObjectCmd", 3},
        {"statObjectId", 0x1FFFE}}},
      {"view 3, two labels with statistics",
       3,
       {},
       "EedbMplsTunnelEtpsMpls2Stat150Entry",
       withTail({{"mplsLabel", 0x11111}, {"mplsLabel2", 0x22222}, {"nextOutlifPointer", 0xABCDE}})},
      {"view 3, statistics id 131071 means none",
       3,
       [](LogEntry& e) { e.statObjectIdIs(0x1FFFF); },
       "EedbMplsTunnelEtpsMpls2Stat150Entry",
       {{"mplsLabel", 0x11111},
        {"mplsLabel2", 0x22222},
        {"nextOutlifPointer", 0xABCDE},
        {"ttlPipeProfile", 9},
        {"ttlMode", 1},
        {"nwkQosIdx", 0x2A},
        {"encapQosModel", 3},
        {"statObjectCmd", 0},
        {"statObjectId", 0}}},
      {"view 4, two labels, statistics and VLAN edit profile",
       4,
       {},
       "EedbMplsTunnelEtpsMpls2StatPlus150Entry",
       withTail({{"mplsLabel", 0x11111},
                 {"mplsLabel2", 0x22222},
                 {"vlanEditProfile", 5},
                 {"nextOutlifPointer", 0xABCDE}})},
      {"view 4, statistics id 0xFFFFFFFF means none, 0 is an id",
       4,
       [](LogEntry& e) {
         e.statObjectIdIs(0xFFFFFFFF);
         e.vlanEditProfileIs(7);
       },
       "EedbMplsTunnelEtpsMpls2StatPlus150Entry",
       {{"mplsLabel", 0x11111},
        {"mplsLabel2", 0x22222},
        {"vlanEditProfile", 7},
        {"nextOutlifPointer", 0xABCDE},
        {"ttlPipeProfile", 9},
        {"ttlMode", 1},
        {"nwkQosIdx", 0x2A},
        {"encapQosModel", 3},
        {"statObjectCmd", 0},
        {"statObjectId", 0}}},
      {"view 3, statistics id 0",
       3,
       [](LogEntry& e) { e.statObjectIdIs(0); },
       "EedbMplsTunnelEtpsMpls2Stat150Entry",
       {{"mplsLabel", 0x11111},
        {"mplsLabel2", 0x22222},
        {"nextOutlifPointer", 0xABCDE},
        {"ttlPipeProfile", 9},
        {"ttlMode", 1},
        {"nwkQosIdx", 0x2A},
        {"encapQosModel", 3},
        {"statObjectCmd", 3},
        {"statObjectId", 0}}},
      // Data entries: the first software label always lands in mplsLabel3.
      {"view 5, data entry of one label",
       5,
       {},
       "EedbMplsDataTunnelEtpsDataMpls190Entry",
       {{"mplsLabel3", 0x11111}, {"nextOutlifPointer", 0xABCDE}}},
      {"view 6, two labels",
       6,
       {},
       "EedbMplsDataTunnelEtpsDataMpls290Entry",
       {{"mplsLabel3", 0x11111}, {"mplsLabel4", 0x22222}, {"nextOutlifPointer", 0xABCDE}}},
      {"view 7, three labels; label4 to label6 unread",
       7,
       [](LogEntry& e) {
         e.label1Is(100);
         e.label2Is(200);
         e.label3Is(300);
       },
       "EedbMplsDataTunnelEtpsDataMpls390Entry",
       {{"mplsLabel3", 100},
        {"mplsLabel4", 200},
        {"mplsLabel5", 300},
        {"nextOutlifPointer", 0xABCDE}}},
      {"view 8, four labels",
       8,
       {},
       "EedbMplsDataTunnelEtpsDataMpls4150Entry",
       {{"mplsLabel3", 0x11111},
        {"mplsLabel4", 0x22222},
        {"mplsLabel5", 0x33333},
        {"mplsLabel6", 0x44444},
        {"nextOutlifPointer", 0xABCDE}}},
      {"view 9, five labels",
       9,
       {},
       "EedbMplsDataTunnelEtpsDataMpls5150Entry",
       {{"mplsLabel3", 0x11111},
        {"mplsLabel4", 0x22222},
        {"mplsLabel5", 0x33333},
        {"mplsLabel6", 0x44444},
        {"mplsLabel7", 0x55555},
        {"nextOutlifPointer", 0xABCDE}}},
      {"view 10, six labels, each cut to 20 bits",
       10,
       [](LogEntry& e) {
         e.label2Is(0x100002);
         e.label6Is(0xFFFFFFFF);
       },
       "EedbMplsDataTunnelEtpsDataMpls6150Entry",
       {{"mplsLabel3", 0x11111},
        {"mplsLabel4", 0x00002},
        {"mplsLabel5", 0x33333},
        {"mplsLabel6", 0x44444},
        {"mplsLabel7", 0x55555},
        {"mplsLabel8", 0xFFFFF},
        {"nextOutlifPointer", 0xABCDE}}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    auto const* entry = add(wrapped(mplsEntry(c.viewType, c.change)), kKey);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(formatName(entry), c.format);
    EXPECT_EQ(fieldsOf(*entry), c.fields);
  }
  EXPECT_EQ(util_->stats()->addCnt(), std::size(cases));
}

// Each U3 check belongs to its view: the same values pass in every other view.
TEST_F(MplsTunnel, ProfilesAboveSevenPassOutsideTheirViews) {
  for (std::uint8_t view = 1; view <= 11; ++view) {
    SCOPED_TRACE(view);
    auto const logEntry = mplsEntry(view, [view](LogEntry& e) {
      if (view != 2) e.esemCommandIs(255);
      if (view != 2) e.lifAhpMplsIs(8);
      if (view != 4) e.vlanEditProfileIs(8);
    });
    EXPECT_NE(add(wrapped(logEntry), kKey), nullptr);
  }
}

TEST_F(MplsTunnel, ProfileAboveSevenInItsViewFailsAndWritesNothing) {
  using Mpls1Stat = EedbHwMdb::EedbMplsTunnelEtpsMpls1Stat150Entry;
  using Mpls2StatPlus = EedbHwMdb::EedbMplsTunnelEtpsMpls2StatPlus150Entry;
  struct Case {
    char const* what;
    std::uint8_t viewType;
    std::function<void(LogEntry&)> change;
    std::function<EedbHwMdb::Entry()> partial;  // the entry as far as the hook got
  };
  EedbHwMdb::EntryKey const key(kKey);
  auto const mpls1Stat = [key] {
    Mpls1Stat e(key);
    e.handleInitialized();
    e.mplsLabelIs(U20(0x11111));
    return e;
  };
  Case const cases[] = {
      {"view 2, esemCommand 8", 2, [](LogEntry& e) { e.esemCommandIs(8); }, mpls1Stat},
      {"view 2, lifAhpMpls 8", 2, [](LogEntry& e) { e.lifAhpMplsIs(8); },
       [&] {
         Mpls1Stat e = mpls1Stat();
         e.esemCommandIs(U3(6));
         return e;
       }},
      {"view 2, both: esemCommand is checked first", 2,
       [](LogEntry& e) {
         e.esemCommandIs(255);
         e.lifAhpMplsIs(255);
       },
       mpls1Stat},
      {"view 4, vlanEditProfile 8", 4, [](LogEntry& e) { e.vlanEditProfileIs(8); },
       [key] {
         Mpls2StatPlus e(key);
         e.handleInitialized();
         e.mplsLabelIs(U20(0x11111));
         e.mplsLabel2Is(U20(0x22222));
         return e;
       }},
  };
  // A good entry under the key, which no failure may touch.
  ASSERT_NE(add(wrapped(mplsEntry(3)), kKey), nullptr);
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    auto const logEntry = mplsEntry(c.viewType, c.change);
    // Reported by the hook's guard, then by the translation guard.
    expectRefused<Wrapper>(
        logEntry, fmt::format("translateToHwFormat: [logEntry: {0}]: userDefinedDoSetHwEntry: "
                              "[unitId: {1}], [logEntry: {0}], [hwEntry: {2}]: {3}",
                              logEntry, Asic::UnitId(0), c.partial(), kU3Range));
  }
}

TEST_F(MplsTunnel, ViewsOutsideOneToElevenAreNoView) {
  for (std::uint8_t view : {0, 12, 255}) {
    SCOPED_TRACE(view);
    expectNoView(wrapped(mplsEntry(view)), kKey, kShort);
  }
  // A table delete is applicable whatever its view.
  TraceCapture const traces("EedbMplsTunnelTableUtil/3");
  EXPECT_TRUE(util_->utilApplicable(wrapped(mplsEntry(0), kTableDelete)));
  ASSERT_EQ(traces.lines().size(), 1u);
  EXPECT_EQ(traces.lines()[0].message,
            " EedbMplsTunnelTableUtil util is applicable for table delete");
}

TEST_F(MplsTunnel, KeyMapsUnchangedAndDeleteClearsTheFormatsSize) {
  for (std::uint32_t key : {0u, 0xFFFFFu, 0x100000u, 0xFFFFFFFFu}) {
    auto const logEntry =
        mplsEntry(2, [key](LogEntry& e) { e.keyIs(ZuriErrm::EedbMplsTunnelTableEntryKey(key)); });
    EXPECT_EQ(
        call<EedbHwMdb::EntryKey>(*util_, "mapToHwKey", {logEntry, Asic::UnitId(0x80FF)}).value(),
        key);
  }
  ASSERT_NE(add(wrapped(mplsEntry(2)), kKey), nullptr);
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "revertHwEntry", {wrapped(mplsEntry(2))}),
            EedbHwMdb::Entry(EedbHwMdb::EntryKey()));
  auto const cmds = util_->processSwEntry(wrapped(mplsEntry(2), kDelete));
  EXPECT_EQ(stored(kKey), nullptr);
  EXPECT_EQ(util_->stats()->deleteCnt(), 1u);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 150u);
  EXPECT_EQ(EedbHwMdb::decode(cmds[0]), std::nullopt);
}

}  // namespace
}  // namespace eedb::test
