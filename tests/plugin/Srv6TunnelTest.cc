// The SRv6 tunnel table utility through the plug-in, loaded with dlopen: the SRv6 header entry
// with its fields derived from the number of SIDs, the SID loaded into the 128-bit map word by
// word, the outer IPv6 tunnel entry with its statistics and checked next pointer, no-view
// entries and deletes.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "MdbTableFixture.h"
#include "plexo/Addresses.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using LogEntry = ZuriErrm::EedbSrv6LogEntry;
using Wrapper = ZuriErrm::EedbSrv6LogEntryWrapper;
using ZuriErrm::EedbSrv6View;

constexpr std::string_view kSrv6 = "chip26_a0::ZuriErrmUtil::EedbSrv6TunnelUtil";
constexpr std::uint32_t kKey = 0x4000;

LogEntry srv6Entry(std::uint8_t viewType, std::function<void(LogEntry&)> const& change = {}) {
  LogEntry e;
  e.keyIs(ZuriErrm::EedbSrv6EntryKey(kKey));
  e.viewTypeIs(EedbSrv6View(viewType));
  e.nextOutlifPointerIs(0xABCDE);
  e.statObjectIdIs(0x1234);
  if (change) change(e);
  return e;
}

Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(LogEntry const& e, std::uint8_t flags = 0) {
  return wrap<Wrapper>(e, 0, flags);
}

// The outer tunnel's data, every field distinct.
void tunnelData(LogEntry& e) {
  auto const v = e.etpsIpv6TunnelRaw150();
  v.forwardQosModelIs(1);
  v.ttlPipeProfileIs(11);
  v.sourceIdxIs(200);
  v.remarkProfileIs(23);
  v.ttlModeIs(1);
  v.ttlDecrementDisableIs(0);
  v.encapQosModelIs(5);
  v.nwkQosIdxIs(51);
  v.actionProfileIs(2);
  v.fodoIs(0x2A5);
}

class Srv6Tunnel : public MdbTableFixture {
 protected:
  Srv6Tunnel() : MdbTableFixture(kSrv6) {}
};

TEST_F(Srv6Tunnel, HeaderFieldsFollowTheNumberOfSids) {
  struct Case {
    std::uint8_t nofSids;
    std::uint32_t next;
    // n, n - 1, n - 2, 2n - 2, all modulo 256; the pointer's low 20 bits
    std::uint64_t n, segmentLeft, lastEntry, hdrExtLen, pointer;
  };
  Case const cases[] = {
      {3, 0xABCDE, 3, 2, 1, 4, 0xABCDE},       {1, 0xFFFFF, 1, 0, 255, 0, 0xFFFFF},
      {0x23, 0x100000, 3, 2, 1, 4, 0},         {0, 0xFFFFFFFF, 0, 255, 254, 254, 0xFFFFF},
      {31, 0x123456, 31, 30, 29, 60, 0x23456}, {0xFF, 1, 31, 30, 29, 60, 1},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("nofSids {:#x}", c.nofSids));
    auto const logEntry = srv6Entry(0, [&](LogEntry& e) {
      e.nextOutlifPointerIs(c.next);
      e.etpsSrv6150().nofSidsIs(c.nofSids);
      e.etpsSrv6150().srhRoutingTypeIs(0xF4);
    });
    auto const* entry = add(wrapped(logEntry), kKey);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(formatName(entry), "EedbSrv6EtpsSrv6150Entry");
    EXPECT_EQ(fieldsOf(*entry), (Fields{{"nofSids", c.n},
                                        {"srhSegmentLeft", c.segmentLeft},
                                        {"srhLastEntry", c.lastEntry},
                                        {"srhHdrExtLen", c.hdrExtLen},
                                        {"srhRoutingType", 0xF4},
                                        {"nextOutlifPointer", c.pointer}}));
  }
}

TEST_F(Srv6Tunnel, SidFillsTheMapWordByWord) {
  struct Case {
    char const* sid;
    std::array<std::uint32_t, 4> words;  // word 0 (bits 0 to 31) first
  };
  Case const cases[] = {
      {"2001:db8::1", {0x00000001, 0, 0, 0x20010DB8}},
      {"102:304:506:708:90a:b0c:d0e:f10", {0x0D0E0F10, 0x090A0B0C, 0x05060708, 0x01020304}},
      {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}},
      // An IPv4 SID is held in its IPv4-mapped form, ::ffff:10.0.0.1.
      {"10.0.0.1", {0x0A000001, 0x0000FFFF, 0, 0}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.sid);
    auto const logEntry = srv6Entry(1, [&](LogEntry& e) {
      e.nextOutlifPointerIs(0x1ABCDE);  // cut, not refused
      e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse(c.sid));
    });
    auto const* entry = add(wrapped(logEntry), kKey);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(formatName(entry), "EedbSrv6DataSidEtpsDataSid150Entry");
    EXPECT_EQ(entry->fieldValue("srv6SidData")->bitmap().words(), c.words);
    EXPECT_EQ(entry->fieldValue("dataEntry2BReserved")->value(), 3u);
    EXPECT_EQ(entry->fieldValue("nextOutlifPointer")->value(), 0xABCDEu);
  }
}

TEST_F(Srv6Tunnel, OuterTunnelFieldsAndStatistics) {
  struct Case {
    char const* what;
    std::function<void(LogEntry&)> change;
    Fields fields;  // every field of the format
  };
  Fields const base = {
      {"forwardQosModel", 1},        {"ttlPipeProfile", 11},   {"sourceIdx", 200},
      {"remarkProfile", 23},         {"ttlMode", 1},           {"ttlDecrementDisable", 0},
      {"encapQosModel", 5},          {"nwkQosIdx", 51},        {"actionProfile", 2},
      {"statObjectCmd", 3},          {"statObjectId", 0x1234}, {"fodo", 0x2A5},
      {"nextOutlifPointer", 0xABCDE}};
  auto with = [&](Fields changed) {
    changed.insert(base.begin(), base.end());
    return changed;
  };
  Case const cases[] = {
      {"every field from its own byte", tunnelData, base},
      {"values cut to their widths; largest pointer passes",
       [](LogEntry& e) {
         auto const v = e.etpsIpv6TunnelRaw150();
         v.forwardQosModelIs(2);
         v.ttlPipeProfileIs(0xF0);
         v.sourceIdxIs(0xFF);
         v.remarkProfileIs(0xFF);
         v.ttlModeIs(3);
         v.ttlDecrementDisableIs(0xFE);
         v.encapQosModelIs(0xFD);
         v.nwkQosIdxIs(0xFF);
         v.actionProfileIs(0xFF);
         v.fodoIs(0xFFFF);
         e.nextOutlifPointerIs(0xFFFFF);
       },
       {{"forwardQosModel", 0},
        {"ttlPipeProfile", 0},
        {"sourceIdx", 0xFF},
        {"remarkProfile", 31},
        {"ttlMode", 1},
        {"ttlDecrementDisable", 0},
        {"encapQosModel", 5},
        {"nwkQosIdx", 63},
        {"actionProfile", 3},
        {"statObjectCmd", 3},
        {"statObjectId", 0x1234},
        {"fodo", 0x3FF},
        {"nextOutlifPointer", 0xFFFFF}}},
      {"statistics id 131070",
       [](LogEntry& e) {
         tunnelData(e);
         e.statObjectIdIs(131070);
       },
       with({{"statObjectId", 131070}})},
      {"statistics id 131071 means none",
       [](LogEntry& e) {
         tunnelData(e);
         e.statObjectIdIs(131071);
       },
       with({{"statObjectCmd", 0}, {"statObjectId", 0}})},
      {"statistics id 0xFFFFFFFF means none",
       [](LogEntry& e) {
         tunnelData(e);
         e.statObjectIdIs(0xFFFFFFFF);
       },
       with({{"statObjectCmd", 0}, {"statObjectId", 0}})},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    auto const* entry = add(wrapped(srv6Entry(2, c.change)), kKey);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(formatName(entry), "EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry");
    EXPECT_EQ(fieldsOf(*entry), c.fields);
  }
}

// Views 0 and 1 cut the pointer; the outer tunnel refuses it after every other field is set.
TEST_F(Srv6Tunnel, OuterTunnelPointerBeyondTwentyBitsFails) {
  using Raw = EedbHwMdb::EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry;
  ASSERT_NE(add(wrapped(srv6Entry(2, tunnelData)), kKey), nullptr);
  Raw partial{EedbHwMdb::EntryKey(kKey)};
  partial.handleInitialized();
  partial.forwardQosModelIs(U1(1));
  partial.ttlPipeProfileIs(U4(11));
  partial.sourceIdxIs(200);
  partial.remarkProfileIs(U5(23));
  partial.ttlModeIs(U1(1));
  partial.ttlDecrementDisableIs(U1(0));
  partial.encapQosModelIs(U3(5));
  partial.nwkQosIdxIs(U6(51));
  partial.actionProfileIs(U2(2));
  partial.statObjectCmdIs(U5(3));
  partial.statObjectIdIs(U17(0x1234));
  partial.fodoIs(U10(0x2A5));
  for (std::uint32_t next : {0x100000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(next);
    auto const logEntry = srv6Entry(2, [next](LogEntry& e) {
      tunnelData(e);
      e.nextOutlifPointerIs(next);
    });
    expectRefused<Wrapper>(
        logEntry, fmt::format("translateToHwFormat: [logEntry: {0}]: userDefinedDoSetHwEntry: "
                              "[unitId: {1}], [logEntry: {0}], [hwEntry: {2}]: U20::value < 0 or "
                              "> 0x000fffff not allowed",
                              logEntry, Asic::UnitId(0), EedbHwMdb::Entry(partial)));
  }
}

TEST_F(Srv6Tunnel, ViewsAboveTwoAreNoView) {
  for (std::uint8_t view : {3, 255}) {
    SCOPED_TRACE(view);
    expectNoView(wrapped(srv6Entry(view)), kKey, "EedbSrv6TunnelUtil");
  }
  EXPECT_TRUE(util_->utilApplicable(wrapped(srv6Entry(3), kTableDelete)));
}

TEST_F(Srv6Tunnel, DeleteClearsTheEntry) {
  ASSERT_NE(add(wrapped(srv6Entry(1)), kKey), nullptr);
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "revertHwEntry", {wrapped(srv6Entry(1))}),
            EedbHwMdb::Entry(EedbHwMdb::EntryKey()));
  auto const cmds = util_->processSwEntry(wrapped(srv6Entry(1), kDelete));
  EXPECT_EQ(stored(kKey), nullptr);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].sizeBits, 150u);
}

}  // namespace
}  // namespace eedb::test
