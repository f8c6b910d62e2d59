// The VXLAN tunnel table utility through the plug-in, loaded with dlopen: the copied fields and
// destination address, the constants of a VXLAN encapsulation whatever the entry holds, the next
// out-LIF cut to 20 bits or 0 when not valid, and the view types it refuses.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using Hardware::Zuri::Outlif;
using ::testing::ElementsAre;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;
using ZuriErrm::EedbVxlanTunnelLogEntry;

constexpr std::string_view kVxlan = "chip26_a0::ZuriErrmUtil::EedbVxlanTunnelUtil";

using Fields = std::map<std::string, std::uint64_t>;

struct Profiles {
  std::uint8_t esemNameSpace, outLifProfile, ttlPipeProfile, nwkQosIdx, sourceIdx;
};

EedbVxlanTunnelLogEntry vxlanEntry(std::uint32_t key, Outlif nextOutlif,
                                   Profiles p = {9, 5, 11, 51, 200}, char const* dip = "10.1.2.3",
                                   std::uint8_t viewType = 0) {
  EedbVxlanTunnelLogEntry e;
  e.keyIs(ZuriErrm::EedbVxlanTunnelEntryKey(key));
  e.nextOutlifIs(nextOutlif);
  e.viewTypeIs(viewType);
  e.dipIs(*Plexo::IpGenAddr::parse(dip));
  e.esemNameSpaceIs(U4(p.esemNameSpace));
  e.outLifProfileIs(U3(p.outLifProfile));
  e.ttlPipeProfileIs(U4(p.ttlPipeProfile));
  e.nwkQosIdxIs(U6(p.nwkQosIdx));
  e.sourceIdxIs(p.sourceIdx);
  return e;
}

Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(EedbVxlanTunnelLogEntry const& e,
                                              std::uint16_t unitId = 0, std::uint8_t flags = 0) {
  return wrap<ZuriErrm::EedbVxlanTunnelLogEntryWrapper>(e, unitId, flags);
}

class VxlanTunnel : public ::testing::Test {
 protected:
  void SetUp() override {
    util_ = create(kVxlan, m_);
    addFap(*util_, 0);
    table_ = mdbTable(*util_);
    ASSERT_NE(table_, nullptr);
  }

  EedbHwMdb::Entry const* stored(std::uint32_t key) const {
    return table_->findEntry(HwShadowKey(SchanAccel::FapId(0), 0), EedbHwMdb::EntryKey(key));
  }

  // Every field of the entry stored under the key; empty when there is none.
  Fields storedFields(std::uint32_t key) const {
    Fields fields;
    if (auto const* entry = stored(key)) {
      entry->forEachField([&](auto const& spec, auto const& value) {
        fields.emplace(std::string(spec.name), value.value());
      });
    }
    return fields;
  }

  Managers m_;
  Pelix::Ptr<UtilBase> util_;
  Pelix::Ptr<EedbHwMdb> table_;
};

TEST_F(VxlanTunnel, EntryCopiesProfilesAndAddressAndSetsTheConstants) {
  auto const cmds = util_->processSwEntry(wrapped(vxlanEntry(0xFFFFFFFF, Outlif(0x12345))));
  EXPECT_EQ(storedFields(0xFFFFFFFF), (Fields{
                                          {"esemNameSpace", 9},
                                          {"outLifProfile", 5},
                                          {"ttlPipeProfile", 11},
                                          {"nwkQosIdx", 51},
                                          {"sourceIdx", 200},
                                          {"ipv4Dip", 0x0A010203},  // 10.1.2.3
                                          {"esemCommand", 1},
                                          {"ttlMode", 1},
                                          {"ipv4HeaderDfFlag", 1},
                                          {"nextOutlifPointer", 0x12345},
                                      }));
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].index, 0xFFFFFFFFu);
  EXPECT_EQ(cmds[0].sizeBits, 150u);
  EXPECT_EQ(EedbHwMdb::decode(cmds[0]), *stored(0xFFFFFFFF));
}

TEST_F(VxlanTunnel, ConstantsWhateverTheEntryHolds) {
  Profiles const zero{0, 0, 0, 0, 0};
  Profiles const full{15, 7, 15, 63, 255};
  struct Case {
    Profiles profiles;
    char const* dip;
    Outlif next;
    Fields fields;  // besides the three constants
  };
  Case const cases[] = {
      {zero, "0.0.0.0", Outlif(), {}},
      {full,
       "255.255.255.255",
       Outlif(0xFFFFFFFF),
       {{"esemNameSpace", 15},
        {"outLifProfile", 7},
        {"ttlPipeProfile", 15},
        {"nwkQosIdx", 63},
        {"sourceIdx", 255},
        {"ipv4Dip", 0xFFFFFFFF},
        {"nextOutlifPointer", 0xFFFFF}}},
      // An IPv6 address has no IPv4 form: 0.
      {zero, "2001:db8::1", Outlif(0), {}},
  };
  std::uint32_t key = 1;
  for (auto const& c : cases) {
    SCOPED_TRACE(c.dip);
    Fields expected = {{"esemNameSpace", 0},    {"outLifProfile", 0}, {"ttlPipeProfile", 0},
                       {"nwkQosIdx", 0},        {"sourceIdx", 0},     {"ipv4Dip", 0},
                       {"nextOutlifPointer", 0}};
    for (auto const& [name, value] : c.fields) expected[name] = value;
    expected.insert({{"esemCommand", 1}, {"ttlMode", 1}, {"ipv4HeaderDfFlag", 1}});
    util_->processSwEntry(wrapped(vxlanEntry(key, c.next, c.profiles, c.dip)));
    EXPECT_EQ(storedFields(key), expected);
    ++key;
  }
}

TEST_F(VxlanTunnel, NextOutlifIsItsLow20BitsWhenValidElse0) {
  struct Case {
    Outlif next;
    std::uint64_t pointer;
  };
  Case const cases[] = {
      {Outlif::invalid(), 0},      {Outlif(0), 0},
      {Outlif(0xFFFFF), 0xFFFFF},  {Outlif(0x100000), 0},
      {Outlif(0x123456), 0x23456}, {Outlif(0xFFFFFFFF), 0xFFFFF},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("valid {} value {:#x}", c.next.valid(), c.next.value()));
    util_->processSwEntry(wrapped(vxlanEntry(7, c.next)));
    EXPECT_EQ(storedFields(7).at("nextOutlifPointer"), c.pointer);
  }
}

TEST_F(VxlanTunnel, OnlyViewType0IsWritten) {
  for (std::uint8_t viewType : {1, 2, 255}) {
    SCOPED_TRACE(int{viewType});
    auto const entry = wrapped(vxlanEntry(8, Outlif(1), {9, 5, 11, 51, 200}, "10.1.2.3", viewType));
    TraceCapture const traces("EedbVxlanTunnelUtil/3");
    EXPECT_FALSE(util_->utilApplicable(entry));
    EXPECT_THAT(traces.lines(), ElementsAre(TraceLine{
                                    "EedbVxlanTunnelUtil", 3, "utilApplicable", std::string(kVxlan),
                                    " EedbVxlanTunnelUtil util is not Applicable"}));
    EXPECT_TRUE(util_->processSwEntry(entry).empty());
    EXPECT_EQ(table_->entryCount(), 0u);
    EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "translateToHwFormat", {entry}),
              EedbHwMdb::Entry(EedbHwMdb::EntryKey(8)));
    // A table delete is taken whatever the view.
    EXPECT_TRUE(util_->utilApplicable(wrapped(
        vxlanEntry(8, Outlif(1), {9, 5, 11, 51, 200}, "10.1.2.3", viewType), 0, kTableDelete)));
  }
  EXPECT_EQ(util_->stats()->addCnt(), 0u);
}

TEST_F(VxlanTunnel, DeleteClearsAndRevertIsTheBlankEntry) {
  auto const logEntry = vxlanEntry(0x20, Outlif(3));
  util_->processSwEntry(wrapped(logEntry));
  EXPECT_EQ(call<EedbHwMdb::Entry>(*util_, "revertHwEntry", {wrapped(logEntry)}),
            EedbHwMdb::Entry(EedbHwMdb::EntryKey()));
  auto const cmds = util_->processSwEntry(wrapped(logEntry, 0, kDelete));
  EXPECT_EQ(table_->entryCount(), 0u);
  EXPECT_EQ(util_->stats()->deleteCnt(), 1u);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].op, SchanCmd::Op::clear);
  EXPECT_EQ(cmds[0].index, 0x20u);
  EXPECT_EQ(cmds[0].sizeBits, 150u);
}

}  // namespace
}  // namespace eedb::test
