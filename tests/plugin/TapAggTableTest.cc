// The TAP aggregation table through the plug-in: two out-AC views set by the translator alone,
// two MAC views set by the hook, the checked casts of the out-AC views in order, and the failures
// that leave the table as it was.

#include <string>

#include <gtest/gtest.h>

#include "KeyHookTables.h"

namespace eedb::test {
namespace {

class TapAggTable : public KeyHookTable {
 protected:
  TapAggTable() : KeyHookTable(kTapAgg) {}
};

// Every field within the limits of views 1 and 2, and the MACs of views 3 and 4.
TapAgg full(std::uint8_t viewType) {
  return TapAgg{.key = 0x123456,
                .viewType = viewType,
                .nextOutlifPointer = 0xFFFFF,
                .vlanEditVid1 = 4095,
                .vlanEditVid2 = 4095,
                .destMac = mac("02:00:00:aa:bb:cc"),
                .srcMac = mac("00:11:22:33:44:55"),
                .egressLastLayer = 1,
                .vlanEditProfile = 63};
}

TEST_F(TapAggTable, EachViewWritesItsFormat) {
  struct Case {
    char const* what;
    TapAgg in;
    std::string_view format;
    Fields fields;  // every field of the format
  };
  Fields const outAc{{"egressLastLayer", 1}, {"vlanEditProfile", 63}, {"vlanEditVid1", 4095},
                     {"vlanEditVid2", 4095}, {"statObjectCmd", 0},    {"statObjectId", 0}};
  Fields outAcNext = outAc;
  outAcNext["nextOutlifPointer"] = 0xFFFFF;

  TapAgg view1Next = full(1);  // view 1 does not read the next out-LIF
  view1Next.nextOutlifPointer = 0xFFFFFFFF;
  auto macOnly = [](std::uint8_t view) {  // views 3 and 4 read the MACs only
    TapAgg t = full(view);
    t.nextOutlifPointer = 0x100000;
    t.vlanEditVid1 = 4096;
    t.vlanEditVid2 = 0xFFFF;
    t.egressLastLayer = 2;
    t.vlanEditProfile = 200;
    return t;
  };
  TapAgg allOnes = full(4);
  allOnes.destMac = mac("ff:ff:ff:ff:ff:ff");
  allOnes.srcMac = mac("80:00:00:00:00:01");

  Case const cases[] = {
      {"view 1", full(1), "EedbOutAcEtpsAc3TagStat120Entry", outAc},
      {"view 1, next out-LIF unread", view1Next, "EedbOutAcEtpsAc3TagStat120Entry", outAc},
      {"view 2", full(2), "EedbOutAcEtpsAc3TagStat150Entry", outAcNext},
      {"view 3", macOnly(3), "EedbArpEtpsArpAcTapaggDest120Entry", {{"l2Mac", 0x020000AABBCC}}},
      {"view 4",
       macOnly(4),
       "EedbArpEtpsArpAcTapaggDestAndSrc120Entry",
       {{"l2Mac", 0x020000AABBCC}, {"rawData", 0x001122334455}}},
      {"view 4, widest MACs",
       allOnes,
       "EedbArpEtpsArpAcTapaggDestAndSrc120Entry",
       {{"l2Mac", 0xFFFFFFFFFFFF}, {"rawData", 0x800000000001}}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    auto const entry = added(c.in.wrapped(), 0x23456);
    EXPECT_EQ(formatName(entry), c.format);
    EXPECT_EQ(fieldsOf(entry), c.fields);
  }
}

TEST_F(TapAggTable, CheckedCastFailsOnTheFirstBadField) {
  struct Case {
    char const* what;
    TapAgg in;
    char const* cast;
  };
  auto with = [](std::uint8_t view, auto&& change) {
    TapAgg t{.key = 0x123456, .viewType = view};
    change(t);
    return t;
  };
  Case const cases[] = {
      {"egress last layer, view 1", with(1, [](TapAgg& t) { t.egressLastLayer = 2; }),
       "unsigned char{ 2 } to U1 (max = 1)"},
      {"VLAN edit profile, view 2", with(2, [](TapAgg& t) { t.vlanEditProfile = 64; }),
       "unsigned char{ 64 } to U6 (max = 63)"},
      {"VLAN edit profile 200, view 1", with(1, [](TapAgg& t) { t.vlanEditProfile = 200; }),
       "unsigned char{ 200 } to U6 (max = 63)"},
      {"first VLAN ID, view 1", with(1, [](TapAgg& t) { t.vlanEditVid1 = 4096; }),
       "short unsigned int{ 4096 } to U12 (max = 4095)"},
      {"second VLAN ID, view 1", with(1, [](TapAgg& t) { t.vlanEditVid2 = 4096; }),
       "short unsigned int{ 4096 } to U12 (max = 4095)"},
      {"next out-LIF, view 2", with(2, [](TapAgg& t) { t.nextOutlifPointer = 0x100000; }),
       "unsigned int{ 1048576 } to U20 (max = 1048575)"},
      {"next out-LIF all ones, view 2",
       with(2, [](TapAgg& t) { t.nextOutlifPointer = 0xFFFFFFFF; }),
       "unsigned int{ 4294967295 } to U20 (max = 1048575)"},
      {"egress last layer before the rest, view 2",
       with(2,
            [](TapAgg& t) {
              t.egressLastLayer = 9;
              t.vlanEditProfile = 64;
              t.vlanEditVid1 = 4096;
              t.nextOutlifPointer = 0x100000;
            }),
       "unsigned char{ 9 } to U1 (max = 1)"},
      {"VLAN edit profile before the VLAN IDs, view 1",
       with(1,
            [](TapAgg& t) {
              t.vlanEditProfile = 99;
              t.vlanEditVid1 = 4096;
            }),
       "unsigned char{ 99 } to U6 (max = 63)"},
      {"first VLAN ID before the second, view 2",
       with(2,
            [](TapAgg& t) {
              t.vlanEditVid1 = 4097;
              t.vlanEditVid2 = 4098;
            }),
       "short unsigned int{ 4097 } to U12 (max = 4095)"},
      {"second VLAN ID before the next out-LIF, view 2",
       with(2,
            [](TapAgg& t) {
              t.vlanEditVid2 = 4098;
              t.nextOutlifPointer = 0x100000;
            }),
       "short unsigned int{ 4098 } to U12 (max = 4095)"},
  };
  added(full(4).wrapped(), 0x23456);
  for (auto const& c : cases) {
    std::string const expected =
        fmt::format("translateToHwFormat: [logEntry: {}]: Casting values: cast from {} failed.",
                    c.in.entry(), c.cast);
    SCOPED_TRACE(c.what);
    failsEverywhereWith([&](std::uint8_t flags) { return c.in.wrapped(0, flags); }, expected);
  }
}

// One hardware key holds one format at a time: a view change replaces the entry whole.
TEST_F(TapAggTable, ViewChangeReplacesTheEntry) {
  added(full(2).wrapped(), 0x23456);
  auto const entry = added(full(3).wrapped(), 0x23456);
  EXPECT_EQ(formatName(entry), "EedbArpEtpsArpAcTapaggDest120Entry");
  EXPECT_EQ(table_->entryCount(), 1u);
  auto const cmds = util_->processSwEntry(full(3).wrapped(0, kDelete));
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].sizeBits, 120u);
  EXPECT_EQ(table_->entryCount(), 0u);
}

}  // namespace
}  // namespace eedb::test
