// The four table utilities of the software IP tunnel table through the plug-in, loaded with
// dlopen: how the view types split among them, the field rules of the four tunnel formats and of
// the IPv6 DIP data entry, the two-entry chain of an IPv6 tunnel in the shared shadow, the limits
// of the statistics object and of the DIP out-LIF, and table deletes.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;
using ZuriErrm::EedbIpTunnelEntryKey;
using ZuriErrm::EedbIpTunnelLogEntry;
using ZuriErrm::EedbIpTunnelLogEntryWrapper;

constexpr std::string_view kTunnel = "chip26_a0::ZuriErrmUtil::EedbIpTunnelUtil";
constexpr std::string_view kTunnelNonAi = "chip26_a0::ZuriErrmUtil::EedbIpTunnelNonAiUtil";
constexpr std::string_view kDip = "chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipUtil";
constexpr std::string_view kDipNonAi = "chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipNonAiUtil";
// In registration order, the order in which the agent offers them an entry.
constexpr std::array<std::string_view, 4> kUtils = {kTunnel, kDipNonAi, kDip, kTunnelNonAi};

constexpr char const* kRaw4 = "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry";
constexpr char const* kUdp4 = "EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry";
constexpr char const* kUdp6 = "EedbIpv6TunnelEtpsIpv6TunnelUdp150Entry";
constexpr char const* kRaw6 = "EedbIpv6TunnelEtpsIpv6TunnelRaw150Entry";
constexpr char const* kDipData = "EedbIpv6DataDipEtpsDataIpv6Dip150Entry";

constexpr std::uint32_t kOutlif = 0x3000;
constexpr std::uint32_t kDipOutlif = 0x5000;
constexpr std::uint32_t kNextPointer = 0xABCDE;
constexpr char const* kU20Range = "U20::value < 0 or > 0x000fffff not allowed";

std::string_view shortName(std::string_view name) {
  return name.substr(name.rfind(':') + 1);
}

Plexo::IpGenAddr address(char const* text) {
  return *Plexo::IpGenAddr::parse(text);
}

// Every field distinct from the others and from its neighbours' sources, so that a field read
// from the wrong source shows. The IPv4 views get an IPv4 destination, the IPv6 views an IPv6 one.
EedbIpTunnelLogEntry tunnelEntry(std::uint8_t viewType, std::uint32_t outlif = kOutlif,
                                 std::uint32_t dipOutlif = kDipOutlif) {
  EedbIpTunnelLogEntry e;
  e.reserved1Is(0xFFFFFFFF);
  e.statObjectIdIs(0x1234);
  e.lifAhpIs(U4(13));
  e.nextOutlifPointerIs(U20(kNextPointer));
  e.keyIs(EedbIpTunnelEntryKey(outlif, dipOutlif));
  e.fodoIs(U10(0x2A5));
  e.viewTypeIs(viewType);
  e.esemCommandIs(U6(45));
  e.actionProfileIs(U2(2));
  e.nwkQosIdxIs(U6(51));
  e.encapQosModelIs(U3(5));
  e.ttlDecrementDisableIs(U1(1));
  e.ttlModeIs(U1(0));
  e.ipv4HeaderDfFlagIs(U1(0));
  e.ipv4HeaderReservedFlagIs(U1(1));
  e.dipIs(address(viewType < 2 ? "10.1.2.3" : "2001:db8::1"));
  e.remarkProfileIs(U5(23));
  e.mtuProfileIs(U4(9));
  e.sourceIdxIs(200);
  e.ttlPipeProfileIs(U4(11));
  e.forwardQosModelIs(U1(1));
  return e;
}

Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(EedbIpTunnelLogEntry const& e,
                                              std::uint16_t unitId = 0, std::uint8_t flags = 0) {
  return wrap<EedbIpTunnelLogEntryWrapper>(e, unitId, flags);
}

using Fields = std::map<std::string, std::uint64_t>;

// Every field of the entry's format but the wide ipv6Dip, checked word by word.
Fields fieldsOf(EedbHwMdb::Entry const& entry) {
  Fields fields;
  entry.forEachField([&](auto const& spec, auto const& value) {
    if (!spec.wide()) fields.emplace(std::string(spec.name), value.value());
  });
  return fields;
}

std::string formatName(EedbHwMdb::Entry const* entry) {
  if (entry == nullptr) return "nothing";
  return entry->format() ? std::string(entry->format()->name) : "no format";
}

// The four table utilities of one revision, sharing their table managers and so one hardware
// table and one shadow; every FAP mask holds FAP 0.
class IpTunnelTables : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }

  // Fresh table managers, hence an empty shadow, and four new table utilities.
  void reset() {
    utils_.clear();
    m_ = Managers();
    for (auto name : kUtils) {
      utils_.emplace(name, create(name, m_));
      addFap(util(name), 0);
    }
    table_ = mdbTable(util(kTunnel));
    ASSERT_NE(table_, nullptr);
    ASSERT_EQ(mdbTable(util(kDipNonAi)), table_);
  }

  UtilBase& util(std::string_view name) { return *utils_.at(name); }

  // Offers the entry to all four, as the agent does; the commands of each.
  std::map<std::string_view, ZuriAsicUtils::SchanCmds> offer(EedbIpTunnelLogEntry const& e,
                                                             std::uint8_t flags = 0) {
    std::map<std::string_view, ZuriAsicUtils::SchanCmds> cmds;
    for (auto name : kUtils) cmds[name] = util(name).processSwEntry(wrapped(e, 0, flags));
    return cmds;
  }

  EedbHwMdb::Entry const* stored(std::uint32_t key) const {
    return table_->findEntry(HwShadowKey(SchanAccel::FapId(0), 0), EedbHwMdb::EntryKey(key));
  }

  Fields storedFields(std::uint32_t key) const {
    auto const* entry = stored(key);
    return entry ? fieldsOf(*entry) : Fields{};
  }

  // Runs fn, which must raise an ordered-table exception; the shared shadow, the utility's
  // counters and the enqueue statistics stay exactly as they were. Returns the exception's text.
  std::string raisesUntouched(UtilBase& u, std::function<void()> const& fn) {
    return test::raisesUntouched<Asic::OrderedTableException>({&u}, fn);
  }

  Managers m_;
  std::map<std::string_view, Pelix::Ptr<UtilBase>> utils_;
  Pelix::Ptr<EedbHwMdb> table_;
};

TEST_F(IpTunnelTables, EveryViewTypeIsWrittenByItsOwnUtilsOnly) {
  struct Case {
    std::uint8_t viewType;
    std::string_view tunnelBy;  // writes under outlif
    char const* tunnelFormat;
    std::string_view dipBy;  // writes under dipOutlif
  };
  Case const cases[] = {
      {0, kTunnel, kRaw4, {}},   {1, kTunnel, kUdp4, {}},
      {2, kTunnel, kUdp6, kDip}, {3, kTunnelNonAi, kRaw6, kDipNonAi},
      {4, {}, "nothing", {}},    {255, {}, "nothing", {}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view type {}", c.viewType));
    reset();
    TraceCapture const traces(
        "EedbIpTunnelUtil/3,EedbIpTunnelNonAiUtil/3,EedbIpv6TunnelDipUtil/3,"
        "EedbIpv6TunnelDipNonAiUtil/3");
    auto const cmds = offer(tunnelEntry(c.viewType));

    std::vector<std::string> refusals, expectedRefusals;
    for (auto const& line : traces.lines()) {
      if (line.message.ends_with("not Applicable")) refusals.push_back(line.message);
    }
    for (auto name : kUtils) {
      SCOPED_TRACE(name);
      bool const writes = name == c.tunnelBy || name == c.dipBy;
      if (!writes)
        expectedRefusals.push_back(fmt::format(" {} util is not Applicable", shortName(name)));
      EXPECT_EQ(util(name).utilApplicable(wrapped(tunnelEntry(c.viewType))), writes);
      EXPECT_EQ(util(name).stats()->addCnt(), writes ? 1u : 0u);
      // Commands are asked for every entry; only a written one has any.
      EXPECT_EQ(enqueued(util(name), 0, 0), 4u);
      ASSERT_EQ(cmds.at(name).size(), writes ? 1u : 0u);
      if (writes) {
        auto const& cmd = cmds.at(name)[0];
        std::uint32_t const key = name == c.tunnelBy ? kOutlif : kDipOutlif;
        EXPECT_EQ(cmd.op, SchanCmd::Op::write);
        EXPECT_EQ(cmd.index, key);
        EXPECT_EQ(cmd.sizeBits, 150u);
        ASSERT_NE(stored(key), nullptr);
        EXPECT_EQ(EedbHwMdb::decode(cmd), *stored(key));
      }
    }
    EXPECT_THAT(refusals, UnorderedElementsAreArray(expectedRefusals));
    EXPECT_EQ(formatName(stored(kOutlif)), c.tunnelFormat);
    EXPECT_EQ(formatName(stored(kDipOutlif)), c.dipBy.empty() ? "nothing" : kDipData);
    EXPECT_EQ(table_->entryCount(), (c.tunnelBy.empty() ? 0u : 1u) + (c.dipBy.empty() ? 0u : 1u));
  }
}

TEST_F(IpTunnelTables, TunnelFieldsOfEveryView) {
  // The entry of tunnelEntry(): lifAhp 13 = 0b1101, whose low 2 bits 0b01 are all the raw
  // formats keep; nextOutlifPointer 0xABCDE, dipOutlif 0x5000; dip 10.1.2.3 -> 0x0A010203.
  Fields const common = {
      {"sourceIdx", 200},         {"statObjectCmd", 3}, {"statObjectId", 0x1234},
      {"actionProfile", 2},       {"encapQosModel", 5}, {"esemCommand", 45},
      {"mtuProfile", 9},          {"nwkQosIdx", 51},    {"remarkProfile", 23},
      {"ttlDecrementDisable", 1}, {"ttlMode", 0},       {"ttlPipeProfile", 11},
  };
  auto with = [&](Fields more) {
    more.insert(common.begin(), common.end());
    return more;
  };
  struct Case {
    std::uint8_t viewType;
    Fields fields;
  };
  Case const cases[] = {
      {0, with({{"lifAhpIp", 0b01},
                {"ipv4HeaderDfFlag", 0},
                {"ipv4HeaderReservedFlag", 1},
                {"ipv4Dip", 0x0A010203}})},
      {1, with({{"lifAhpUdp", 13},
                {"fodo", 0x2A5},
                {"forwardQosModel", 1},
                {"nextOutlifPointer", kNextPointer},
                {"ipv4HeaderDfFlag", 0},
                {"ipv4HeaderReservedFlag", 1},
                {"ipv4Dip", 0x0A010203}})},
      {2, with({{"lifAhpUdp", 13},
                {"fodo", 0x2A5},
                {"forwardQosModel", 1},
                {"nextOutlifPointer", kDipOutlif}})},
      {3, with({{"lifAhpIp", 0b01},
                {"fodo", 0x2A5},
                {"forwardQosModel", 1},
                {"nextOutlifPointer", kDipOutlif}})},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view type {}", c.viewType));
    offer(tunnelEntry(c.viewType));
    EXPECT_EQ(storedFields(kOutlif), c.fields);
  }
}

TEST_F(IpTunnelTables, Ipv6TunnelIsAChainOfTwoEntries) {
  for (std::uint8_t viewType : {2, 3}) {
    SCOPED_TRACE(fmt::format("view type {}", viewType));
    reset();
    auto const cmds = offer(tunnelEntry(viewType));
    std::string_view const tunnelBy = viewType == 2 ? kTunnel : kTunnelNonAi;
    std::string_view const dipBy = viewType == 2 ? kDip : kDipNonAi;

    // outlif 0x3000 -> dipOutlif 0x5000 -> the log entry's next pointer 0xABCDE.
    ASSERT_EQ(table_->entryCount(), 2u);
    EXPECT_EQ(storedFields(kOutlif).at("nextOutlifPointer"), kDipOutlif);
    auto const* dip = stored(kDipOutlif);
    ASSERT_NE(dip, nullptr);
    EXPECT_EQ(fieldsOf(*dip).at("nextOutlifPointer"), kNextPointer);
    EXPECT_EQ(fieldsOf(*dip).at("dataEntry2BReserved"), 3u);
    // 2001:db8::1, word 3 first.
    EXPECT_THAT(dip->fieldValue("ipv6Dip")->bitmap().words(),
                ElementsAre(0x00000001u, 0u, 0u, 0x20010DB8u));
    EXPECT_EQ(EedbHwMdb::decode(cmds.at(tunnelBy).at(0)), *stored(kOutlif));
    EXPECT_EQ(EedbHwMdb::decode(cmds.at(dipBy).at(0)), *dip);

    // Deleting the log entry removes both; each writer clears its own entry.
    auto const deletes = offer(tunnelEntry(viewType), kDelete);
    EXPECT_EQ(table_->entryCount(), 0u);
    for (auto name : kUtils) {
      SCOPED_TRACE(name);
      bool const owner = name == tunnelBy || name == dipBy;
      EXPECT_EQ(util(name).stats()->deleteCnt(), owner ? 1u : 0u);
      ASSERT_EQ(deletes.at(name).size(), owner ? 1u : 0u);
      if (owner) {
        EXPECT_EQ(deletes.at(name)[0].op, SchanCmd::Op::clear);
        EXPECT_EQ(deletes.at(name)[0].index, name == tunnelBy ? kOutlif : kDipOutlif);
        EXPECT_EQ(deletes.at(name)[0].sizeBits, 150u);
      }
    }
  }
}

TEST_F(IpTunnelTables, DipEntryHoldsItsConstantWhateverTheLogEntryHolds) {
  EedbIpTunnelLogEntry bare;  // every field 0, dip 0.0.0.0
  bare.viewTypeIs(3);
  bare.keyIs(EedbIpTunnelEntryKey(1, 2));
  util(kDipNonAi).processSwEntry(wrapped(bare));
  EXPECT_EQ(storedFields(2), (Fields{{"dataEntry2BReserved", 3}, {"nextOutlifPointer", 0}}));
  // The default address, IPv4 0.0.0.0, reads as the IPv4-mapped ::ffff:0.0.0.0.
  EXPECT_THAT(stored(2)->fieldValue("ipv6Dip")->bitmap().words(),
              ElementsAre(0u, 0x0000FFFFu, 0u, 0u));
}

TEST_F(IpTunnelTables, TableDeleteIsApplicableToAllFourWhateverTheView) {
  for (std::uint8_t viewType : {0, 1, 2, 3, 9}) {
    SCOPED_TRACE(fmt::format("view type {}", viewType));
    for (auto name : kUtils) {
      TraceCapture const traces(fmt::format("{}/3", shortName(name)));
      EXPECT_TRUE(util(name).utilApplicable(wrapped(tunnelEntry(viewType), 0, kTableDelete)));
      ASSERT_EQ(traces.lines().size(), 1u);
      EXPECT_EQ(traces.lines()[0].message,
                fmt::format(" {} util is applicable for table delete", shortName(name)));
    }
  }
}

TEST_F(IpTunnelTables, TableDeleteOfAChainClearsBothEntriesOnce) {
  offer(tunnelEntry(0, 0x10));
  offer(tunnelEntry(2));
  ASSERT_EQ(table_->entryCount(), 3u);
  // All four take the entry. A delete clears what the shadow holds in its stored format, so the
  // DIP utility of the other view, offered before the owner, already clears the DIP entry (the
  // owner's clear repeats it); the tunnel utility of the other view, offered after the owner,
  // finds nothing stored and sends nothing.
  auto const cmds = offer(tunnelEntry(2), kDelete | kTableDelete);
  EXPECT_EQ(table_->entryCount(), 1u);
  EXPECT_NE(stored(0x10), nullptr);
  for (auto name : kUtils) EXPECT_EQ(util(name).stats()->deleteCnt(), 1u) << name;
  ASSERT_EQ(cmds.at(kTunnel).size(), 1u);
  EXPECT_EQ(cmds.at(kTunnel)[0].index, kOutlif);
  ASSERT_EQ(cmds.at(kDip).size(), 1u);
  EXPECT_EQ(cmds.at(kDip)[0].index, kDipOutlif);
  ASSERT_EQ(cmds.at(kDipNonAi).size(), 1u);
  EXPECT_EQ(cmds.at(kDipNonAi)[0].index, kDipOutlif);
  EXPECT_EQ(cmds.at(kDipNonAi)[0].sizeBits, 150u);
  EXPECT_TRUE(cmds.at(kTunnelNonAi).empty());
}

TEST_F(IpTunnelTables, StatisticsObjectLimits) {
  struct Case {
    std::uint8_t viewType;
    std::uint32_t statObjectId;
    std::uint64_t cmd, id;  // cmd 0: the format's default, no statistics
  };
  Case const cases[] = {
      {0, 0, 3, 0},          {0, 0x1FFFE, 3, 0x1FFFE}, {0, 0x1FFFF, 0, 0},
      {0, 0xFFFFFFFF, 0, 0}, {1, 0xFFFE, 3, 0xFFFE},   {1, 0xFFFF, 0, 0},
      {1, 0x10000, 0, 0},    {1, 0x1FFFE, 0, 0},       {2, 0x1FFFE, 3, 0x1FFFE},
      {2, 0x1FFFF, 0, 0},    {3, 0x1FFFE, 3, 0x1FFFE}, {3, 0x20000, 0, 0},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view type {}, statObjectId {:#x}", c.viewType, c.statObjectId));
    auto e = tunnelEntry(c.viewType);
    e.statObjectIdIs(c.statObjectId);
    util(c.viewType == 3 ? kTunnelNonAi : kTunnel).processSwEntry(wrapped(e));
    auto const fields = storedFields(kOutlif);
    EXPECT_EQ(fields.at("statObjectCmd"), c.cmd);
    EXPECT_EQ(fields.at("statObjectId"), c.id);
  }
}

TEST_F(IpTunnelTables, DipOutlifMustFitTheTunnelsNextPointer) {
  for (std::uint8_t viewType : {2, 3}) {
    SCOPED_TRACE(fmt::format("view type {}", viewType));
    reset();
    UtilBase& tunnel = util(viewType == 2 ? kTunnel : kTunnelNonAi);
    UtilBase& dip = util(viewType == 2 ? kDip : kDipNonAi);

    offer(tunnelEntry(viewType, kOutlif, 0xFFFFF));
    EXPECT_EQ(storedFields(kOutlif).at("nextOutlifPointer"), 0xFFFFFu);
    EXPECT_EQ(formatName(stored(0xFFFFF)), kDipData);

    for (std::uint32_t dipOutlif : {0x100000u, 0xFFFFFFFFu}) {
      SCOPED_TRACE(dipOutlif);
      auto const bad = tunnelEntry(viewType, kOutlif, dipOutlif);
      // The hook fails on the next pointer, the last field it sets: the entry it reports is the
      // one translated with a dipOutlif of 0, the field's default.
      auto const partial = call<EedbHwMdb::Entry>(tunnel, "translateToHwFormat",
                                                  {wrapped(tunnelEntry(viewType, kOutlif, 0))});
      std::string const expected = fmt::format(
          "translateToHwFormat: [logEntry: {}]: userDefinedDoSetHwEntry: [unitId: {}], "
          "[logEntry: {}], [hwEntry: {}]: {}",
          bad, Asic::UnitId(0), bad, partial, kU20Range);
      for (std::uint8_t flags : {std::uint8_t{0}, kDelete}) {
        EXPECT_EQ(raisesUntouched(tunnel, [&] { tunnel.processSwEntry(wrapped(bad, 0, flags)); }),
                  expected);
      }
      // The DIP data entry knows no such limit: it is written under the wide key.
      dip.processSwEntry(wrapped(bad));
      EXPECT_EQ(formatName(stored(dipOutlif)), kDipData);
    }
    EXPECT_EQ(storedFields(kOutlif).at("nextOutlifPointer"), 0xFFFFFu);
  }
}

TEST_F(IpTunnelTables, KeysAreOutlifForTunnelsAndDipOutlifForDipEntries) {
  struct Case {
    std::uint32_t outlif, dipOutlif;
  };
  Case const cases[] = {{0, 0xFFFFFFFF}, {0xFFFFFFFF, 0}, {0x100000, 7}};
  for (auto const& c : cases) {
    for (auto name : kUtils) {
      bool const tunnel = name == kTunnel || name == kTunnelNonAi;
      for (std::uint16_t unit : {0x0000, 0x0305}) {
        auto const e = tunnelEntry(2, c.outlif, c.dipOutlif);
        TraceCapture const traces(fmt::format("{}/3", shortName(name)));
        auto const hwKey =
            call<EedbHwMdb::EntryKey>(util(name), "mapToHwKey", {e, Asic::UnitId(unit)});
        EXPECT_EQ(hwKey.value(), tunnel ? c.outlif : c.dipOutlif) << name;
        // The trace shows the whole software key.
        EXPECT_THAT(
            traces.lines(),
            ElementsAre(TraceLine{std::string(shortName(name)), 3, "mapToHwKey_", std::string(name),
                                  fmt::format(" swKey: {} hwKey: {}", e.key(), hwKey)}));
      }
    }
  }
}

TEST_F(IpTunnelTables, AddressConversions) {
  // IPv4: first octet most significant. An IPv6 address has no IPv4 form: 0.
  struct V4 {
    char const* dip;
    std::uint64_t ipv4Dip;
  };
  V4 const v4[] = {{"10.1.2.3", 0x0A010203},
                   {"255.0.0.1", 0xFF000001},
                   {"0.0.0.0", 0},
                   {"2001:db8::1", 0},
                   {"::ffff:10.1.2.3", 0}};
  for (auto const& c : v4) {
    for (std::uint8_t viewType : {0, 1}) {
      SCOPED_TRACE(fmt::format("{} in view type {}", c.dip, viewType));
      auto e = tunnelEntry(viewType);
      e.dipIs(address(c.dip));
      util(kTunnel).processSwEntry(wrapped(e));
      EXPECT_EQ(storedFields(kOutlif).at("ipv4Dip"), c.ipv4Dip);
    }
  }
  // IPv6: word 3 from octets 0 to 3, ..., word 0 from octets 12 to 15. An IPv4 address reads as
  // its IPv4-mapped form.
  struct V6 {
    char const* dip;
    std::array<std::uint32_t, 4> words;  // word 0 first
  };
  V6 const v6[] = {
      {"2001:db8::1", {0x00000001, 0, 0, 0x20010DB8}},
      {"2001:db8:1:2:3:4:5:6", {0x00050006, 0x00030004, 0x00010002, 0x20010DB8}},
      {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", {~0u, ~0u, ~0u, ~0u}},
      {"10.1.2.3", {0x0A010203, 0x0000FFFF, 0, 0}},
  };
  for (auto const& c : v6) {
    for (std::uint8_t viewType : {2, 3}) {
      SCOPED_TRACE(fmt::format("{} in view type {}", c.dip, viewType));
      auto e = tunnelEntry(viewType);
      e.dipIs(address(c.dip));
      util(viewType == 2 ? kDip : kDipNonAi).processSwEntry(wrapped(e));
      EXPECT_EQ(stored(kDipOutlif)->fieldValue("ipv6Dip")->bitmap().words(), c.words);
    }
  }
}

TEST_F(IpTunnelTables, RevertIsTheBlankEntry) {
  for (std::uint8_t viewType : {0, 1, 2, 3, 9}) {
    for (auto name : kUtils) {
      EXPECT_EQ(call<EedbHwMdb::Entry>(util(name), "revertHwEntry",
                                       {wrapped(tunnelEntry(viewType), 0x0102)}),
                EedbHwMdb::Entry(EedbHwMdb::EntryKey()))
          << name << " view " << int{viewType};
    }
  }
}

}  // namespace
}  // namespace eedb::test
