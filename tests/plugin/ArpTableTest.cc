// The ARP table through the plug-in: five views onto three formats, the translator's checked
// casts in view order, the hook's MAC, fodo and statistics fields, and the failures that leave
// the table as it was.

#include <string>

#include <gtest/gtest.h>

#include "KeyHookTables.h"

namespace eedb::test {
namespace {

using Arp60 = EedbHwMdb::EedbArpEtpsArp60Entry;
using RifArpStat = EedbHwMdb::EedbArpEtpsRifArpStat120Entry;
using RifArpAc1TagStat = EedbHwMdb::EedbArpEtpsRifArpAc1TagStat120Entry;

class ArpTable : public KeyHookTable {
 protected:
  ArpTable() : KeyHookTable(kArp) {}
};

constexpr std::uint64_t kMac = 0x020000AABBCC;

// Every field within its limit, with fodo and the statistics id wider than the formats.
Arp full(std::uint8_t viewType) {
  return Arp{.key = 0x123456,
             .viewType = viewType,
             .statObjectId = 0x18001,  // 1 1000 0000 0000 0001: 15 bits keep 1
             .vlanEditVid1 = 4095,
             .fodo = 0x8001,  // 15 bits keep 1
             .l2Mac = mac("02:00:00:aa:bb:cc"),
             .actionProfile = 3,
             .egressLastLayer = 1,
             .statObjectCmd = 31,
             .vlanEditProfile = 7,
             .mtuProfile = 7};
}

TEST_F(ArpTable, EachViewWritesItsFormat) {
  struct Case {
    char const* what;
    Arp in;
    std::string_view format;
    Fields fields;  // every field of the format
  };
  Arp view1Vid4096 = full(1);
  view1Vid4096.vlanEditVid1 = 4096;  // view 1 does not read the VLAN ID
  Arp view2Wild = full(2);           // view 2 reads the action profile and the MAC only
  view2Wild.egressLastLayer = 2;
  view2Wild.vlanEditProfile = 200;
  view2Wild.mtuProfile = 16;
  view2Wild.vlanEditVid1 = 0xFFFF;
  view2Wild.statObjectCmd = 255;
  Arp view4 = full(4);  // no egress layer, VLAN profile or VLAN ID; a 4-bit MTU profile
  view4.mtuProfile = 15;
  view4.egressLastLayer = 2;
  view4.vlanEditProfile = 200;
  view4.vlanEditVid1 = 4096;
  Arp view5Vid4096 = full(5);
  view5Vid4096.vlanEditVid1 = 4096;
  Arp zero{.key = 0xFFFFF, .viewType = 3};

  Fields const ac1Tag{{"actionProfile", 3}, {"egressLastLayer", 1}, {"vlanEditProfile", 7},
                      {"mtuProfile", 7},    {"vlanEditVid1", 0},    {"l2Mac", kMac},
                      {"fodo", 1},          {"statObjectCmd", 31},  {"statObjectId", 1}};
  Fields ac1TagVid = ac1Tag;
  ac1TagVid["vlanEditVid1"] = 4095;

  Case const cases[] = {
      {"view 1", full(1), "EedbArpEtpsRifArpAc1TagStat120Entry", ac1Tag},
      {"view 1, VLAN ID 4096 unread", view1Vid4096, "EedbArpEtpsRifArpAc1TagStat120Entry", ac1Tag},
      {"view 2", full(2), "EedbArpEtpsArp60Entry", {{"actionProfile", 3}, {"l2Mac", kMac}}},
      {"view 2, unread fields out of range",
       view2Wild,
       "EedbArpEtpsArp60Entry",
       {{"actionProfile", 3}, {"l2Mac", kMac}}},
      {"view 3", full(3), "EedbArpEtpsRifArpAc1TagStat120Entry", ac1TagVid},
      {"view 3, all zero", zero, "EedbArpEtpsRifArpAc1TagStat120Entry",
       Fields{{"actionProfile", 0},
              {"egressLastLayer", 0},
              {"vlanEditProfile", 0},
              {"mtuProfile", 0},
              {"vlanEditVid1", 0},
              {"l2Mac", 0},
              {"fodo", 0},
              {"statObjectCmd", 0},
              {"statObjectId", 0}}},
      {"view 4, MTU profile 15 and 17-bit statistics id",
       view4,
       "EedbArpEtpsRifArpStat120Entry",
       {{"actionProfile", 3},
        {"mtuProfile", 15},
        {"l2Mac", kMac},
        {"fodo", 1},
        {"statObjectCmd", 31},
        {"statObjectId", 0x18001}}},
      {"view 5", view5Vid4096, "EedbArpEtpsRifArpAc1TagStat120Entry", ac1Tag},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint32_t const hwKey = c.in.key & 0xFFFFF;
    auto const entry = added(c.in.wrapped(), hwKey);
    EXPECT_EQ(formatName(entry), c.format);
    EXPECT_EQ(fieldsOf(entry), c.fields);
    EXPECT_EQ(entry.key().value(), hwKey);
  }
}

TEST_F(ArpTable, ViewsOneAndFiveWriteTheSameEntry) {
  auto const one = call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {full(1).wrapped()});
  auto const five = call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {full(5).wrapped()});
  EXPECT_EQ(one, five);
  EXPECT_EQ(one.entrySizeBits(), 120u);
}

TEST_F(ArpTable, MacBytesKeepTheirOrder) {
  struct Case {
    char const* mac;
    std::uint64_t l2Mac;
  };
  Case const cases[] = {
      {"00:00:00:00:00:01", 0x000000000001},
      {"80:00:00:00:00:00", 0x800000000000},  // first octet, most significant bit: bit 47
      {"01:23:45:67:89:ab", 0x0123456789AB},
      {"ff:ff:ff:ff:ff:ff", 0xFFFFFFFFFFFF},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.mac);
    for (std::uint8_t view : {1, 2, 3, 4, 5}) {
      auto const entry = call<EedbHwMdb::Entry>(
          *util_, "translateToHwFormat", {Arp{.viewType = view, .l2Mac = mac(c.mac)}.wrapped()});
      EXPECT_EQ(entry.fieldValue("l2Mac")->value(), c.l2Mac) << "view " << int{view};
    }
  }
}

// A translator-owned field above its limit; the casts run in the order of the view map, so the
// first bad field is the one named.
TEST_F(ArpTable, CheckedCastFailsOnTheFirstBadField) {
  struct Case {
    char const* what;
    Arp in;
    char const* cast;
  };
  auto with = [](std::uint8_t view, auto&& change) {
    Arp a{.key = 0x123456, .viewType = view};
    change(a);
    return a;
  };
  Case const cases[] = {
      {"action profile, view 1", with(1, [](Arp& a) { a.actionProfile = 4; }),
       "unsigned char{ 4 } to U2 (max = 3)"},
      {"action profile, view 2", with(2, [](Arp& a) { a.actionProfile = 255; }),
       "unsigned char{ 255 } to U2 (max = 3)"},
      {"egress last layer, view 5", with(5, [](Arp& a) { a.egressLastLayer = 2; }),
       "unsigned char{ 2 } to U1 (max = 1)"},
      {"VLAN edit profile, view 3", with(3, [](Arp& a) { a.vlanEditProfile = 8; }),
       "unsigned char{ 8 } to U3 (max = 7)"},
      {"MTU profile 16, view 4", with(4, [](Arp& a) { a.mtuProfile = 16; }),
       "unsigned char{ 16 } to U4 (max = 15)"},
      {"MTU profile 8, view 1", with(1, [](Arp& a) { a.mtuProfile = 8; }),
       "unsigned char{ 8 } to U3 (max = 7)"},
      {"MTU profile 8, view 3", with(3, [](Arp& a) { a.mtuProfile = 8; }),
       "unsigned char{ 8 } to U3 (max = 7)"},
      {"MTU profile 8, view 5", with(5, [](Arp& a) { a.mtuProfile = 8; }),
       "unsigned char{ 8 } to U3 (max = 7)"},
      {"VLAN ID, view 3", with(3, [](Arp& a) { a.vlanEditVid1 = 4096; }),
       "short unsigned int{ 4096 } to U12 (max = 4095)"},
      {"action profile before MTU profile, view 4",
       with(4,
            [](Arp& a) {
              a.actionProfile = 5;
              a.mtuProfile = 16;
            }),
       "unsigned char{ 5 } to U2 (max = 3)"},
      {"egress last layer before the rest, view 3",
       with(3,
            [](Arp& a) {
              a.egressLastLayer = 3;
              a.vlanEditProfile = 9;
              a.mtuProfile = 8;
              a.vlanEditVid1 = 4096;
            }),
       "unsigned char{ 3 } to U1 (max = 1)"},
      {"VLAN edit profile before MTU profile, view 1",
       with(1,
            [](Arp& a) {
              a.vlanEditProfile = 9;
              a.mtuProfile = 8;
            }),
       "unsigned char{ 9 } to U3 (max = 7)"},
      {"MTU profile before VLAN ID, view 3",
       with(3,
            [](Arp& a) {
              a.mtuProfile = 10;
              a.vlanEditVid1 = 0xFFFF;
            }),
       "unsigned char{ 10 } to U3 (max = 7)"},
      {"VLAN ID before the hook's command, view 3",
       with(3,
            [](Arp& a) {
              a.vlanEditVid1 = 5000;
              a.statObjectCmd = 32;
            }),
       "short unsigned int{ 5000 } to U12 (max = 4095)"},
  };
  // A good entry under the hardware key, which no failure may touch.
  added(full(3).wrapped(), 0x23456);
  for (auto const& c : cases) {
    std::string const expected = fmt::format(
        "translateToHwFormat: [logEntry: {}]: Casting values: "
        "cast from {} failed.",
        c.in.entry(), c.cast);
    SCOPED_TRACE(c.what);
    failsEverywhereWith([&](std::uint8_t flags) { return c.in.wrapped(0, flags); }, expected);
  }
}

// The statistics command is a bounded U5 built inside the hook, after the MAC and fodo: the
// hook's guard reports it with the entry as far as it got, then the translation guard.
TEST_F(ArpTable, StatisticsCommandAbove31FailsInsideTheHook) {
  auto const sw = [](std::uint8_t view) {
    Arp a = full(view);
    a.statObjectCmd = 32;
    return a;
  };
  Fields const ac1TagSoFar{{"actionProfile", 3}, {"egressLastLayer", 1}, {"vlanEditProfile", 7},
                           {"mtuProfile", 7},    {"l2Mac", kMac},        {"fodo", 1}};
  Fields ac1TagVidSoFar = ac1TagSoFar;
  ac1TagVidSoFar["vlanEditVid1"] = 4095;
  struct Case {
    std::uint8_t view;
    EedbHwMdb::Entry soFar;
  };
  Case const cases[] = {
      {1, entryOf<RifArpAc1TagStat>(0x23456, ac1TagSoFar)},
      {3, entryOf<RifArpAc1TagStat>(0x23456, ac1TagVidSoFar)},
      {4, entryOf<RifArpStat>(
              0x23456, {{"actionProfile", 3}, {"mtuProfile", 7}, {"l2Mac", kMac}, {"fodo", 1}})},
      {5, entryOf<RifArpAc1TagStat>(0x23456, ac1TagSoFar)},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view {}", c.view));
    auto const logEntry = sw(c.view).entry();
    std::string const expected = fmt::format(
        "translateToHwFormat: [logEntry: {0}]: userDefinedDoSetHwEntry: [unitId: {1}], "
        "[logEntry: {0}], [hwEntry: {2}]: U5::value < 0 or > 0x1f not allowed",
        logEntry, Asic::UnitId(0x0300), c.soFar);
    failsEverywhereWith([&](std::uint8_t flags) { return sw(c.view).wrapped(0x0300, flags); },
                        expected);
  }
  // View 2 has no statistics command.
  EXPECT_EQ(fieldsOf(added(sw(2).wrapped(), 0x23456)),
            (Fields{{"actionProfile", 3}, {"l2Mac", kMac}}));
}

// Deleting a view 2 entry clears the 60 bits it was added with; a 120-bit entry clears 120.
TEST_F(ArpTable, DeleteClearsTheSizeOfItsFormat) {
  for (std::uint8_t view : {2, 4}) {
    SCOPED_TRACE(fmt::format("view {}", view));
    Arp const a = full(view);
    added(a.wrapped(), 0x23456);
    auto const cmds = util_->processSwEntry(a.wrapped(0, kDelete));
    EXPECT_EQ(stored(0x23456), nullptr);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
    EXPECT_EQ(cmds[0].index, 0x23456u);
    EXPECT_EQ(cmds[0].sizeBits, view == 2 ? 60u : 120u);
  }
  EXPECT_EQ(util_->stats()->deleteCnt(), 2u);
}

}  // namespace
}  // namespace eedb::test
