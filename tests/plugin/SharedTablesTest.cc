// One software entry split among several table utilities that share the revision's EEDB: the
// four IP tunnel utilities divide the view types among themselves (an IPv6 tunnel is a chain of
// a tunnel entry and a DIP data entry), the two sFlow utilities each write their own entry. The
// fields they write are shown by the replay goldens of examples/iptunnel.jsonl and
// examples/sflow.jsonl.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "plexo/Addresses.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbHwMdb;
using ::testing::UnorderedElementsAreArray;

constexpr std::string_view kTunnel = "chip26_a0::ZuriErrmUtil::EedbIpTunnelUtil";
constexpr std::string_view kTunnelNonAi = "chip26_a0::ZuriErrmUtil::EedbIpTunnelNonAiUtil";
constexpr std::string_view kDip = "chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipUtil";
constexpr std::string_view kDipNonAi = "chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipNonAiUtil";
// In registration order, the order in which the agent offers them an entry.
constexpr std::array<std::string_view, 4> kIpTunnelUtils = {kTunnel, kDipNonAi, kDip, kTunnelNonAi};

std::string formatName(EedbHwMdb::Entry const* entry) {
  if (entry == nullptr) return "nothing";
  return entry->format() ? std::string(entry->format()->name) : "no format";
}

EedbHwMdb::Entry const* storedIn(EedbHwMdb const& table, std::uint32_t key) {
  return table.findEntry({SchanAccel::FapId(0), 0}, EedbHwMdb::EntryKey(key));
}

// Each view type is taken by its own utilities only; the others refuse it with their trace. A
// table delete is taken by all four whatever its view.
TEST(IpTunnelTables, EveryViewTypeIsWrittenByItsOwnUtilitiesOnly) {
  constexpr std::uint32_t kOutlif = 0x3000, kDipOutlif = 0x5000;
  struct Case {
    std::uint8_t viewType;
    std::string_view tunnelBy;  // writes under outlif
    char const* tunnelFormat;
    std::string_view dipBy;  // writes the DIP data entry under dipOutlif
  };
  Case const cases[] = {
      {0, kTunnel, "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry", {}},
      {1, kTunnel, "EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry", {}},
      {2, kTunnel, "EedbIpv6TunnelEtpsIpv6TunnelUdp150Entry", kDip},
      {3, kTunnelNonAi, "EedbIpv6TunnelEtpsIpv6TunnelRaw150Entry", kDipNonAi},
      {4, {}, "nothing", {}},
      {255, {}, "nothing", {}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(fmt::format("view type {}", c.viewType));
    Managers const m;
    std::map<std::string_view, Pelix::Ptr<UtilBase>> utils;
    for (auto name : kIpTunnelUtils) {
      utils[name] = create(name, m);
      addFap(*utils[name], 0);
    }
    auto const table = mdbTable(*utils[kTunnel]);
    ASSERT_EQ(mdbTable(*utils[kDipNonAi]), table);

    ZuriErrm::EedbIpTunnelLogEntry e;
    e.keyIs(ZuriErrm::EedbIpTunnelEntryKey(kOutlif, kDipOutlif));
    e.viewTypeIs(c.viewType);
    e.dipIs(*Plexo::IpGenAddr::parse("2001:db8::1"));
    auto const entry = wrap<ZuriErrm::EedbIpTunnelLogEntryWrapper>(e, 0);
    std::vector<std::string> expectedTraces;
    {
      TraceCapture const traces(
          "EedbIpTunnelUtil/3,EedbIpTunnelNonAiUtil/3,EedbIpv6TunnelDipUtil/3,"
          "EedbIpv6TunnelDipNonAiUtil/3");
      for (auto name : kIpTunnelUtils) {
        SCOPED_TRACE(name);
        bool const writes = name == c.tunnelBy || name == c.dipBy;
        if (!writes) {
          expectedTraces.push_back(fmt::format(" {} util is not Applicable", shortName(name)));
        }
        auto const cmds = utils[name]->processSwEntry(entry);
        ASSERT_EQ(cmds.size(), writes ? 1u : 0u);
        EXPECT_EQ(utils[name]->stats()->addCnt(), writes ? 1u : 0u);
        if (writes) {
          std::uint32_t const key = name == c.tunnelBy ? kOutlif : kDipOutlif;
          EXPECT_EQ(cmds[0].index, key);
          ASSERT_NE(storedIn(*table, key), nullptr);
          EXPECT_EQ(EedbHwMdb::decode(cmds[0]), *storedIn(*table, key));
        }
      }
      std::vector<std::string> refusals;
      for (auto const& message : traces.messages()) {
        if (message.ends_with("Applicable")) refusals.push_back(message);
      }
      EXPECT_THAT(refusals, UnorderedElementsAreArray(expectedTraces));
    }
    EXPECT_EQ(formatName(storedIn(*table, kOutlif)), c.tunnelFormat);
    EXPECT_EQ(formatName(storedIn(*table, kDipOutlif)),
              c.dipBy.empty() ? "nothing" : "EedbIpv6DataDipEtpsDataIpv6Dip150Entry");
    EXPECT_EQ(table->entryCount(), (c.tunnelBy.empty() ? 0u : 1u) + (c.dipBy.empty() ? 0u : 1u));

    for (auto name : kIpTunnelUtils) {
      TraceCapture const traces(fmt::format("{}/3", shortName(name)));
      EXPECT_TRUE(utils[name]->utilApplicable(
          wrap<ZuriErrm::EedbIpTunnelLogEntryWrapper>(e, 0, kTableDelete)));
      EXPECT_THAT(traces.messages(),
                  ::testing::ElementsAre(
                      fmt::format(" {} util is applicable for table delete", shortName(name))));
    }
  }
}

// The data entry's ESEM command is the hardware value of Gen3 A0 on every revision (item 1 is
// 21, item 4 is 64 and does not fit the U6 field), and a failure of the data utility leaves
// the first-pass utility of the same entry and table untouched as well.
TEST(SflowTables, EsemCommandIsTheGen3A0ValueOnEveryRevisionAndAFailureTouchesNeither) {
  using Item = Gen3EsemCmds::Item;
  ASSERT_EQ(Gen3EsemCmds::hwValue(kB0, Item{1}), 1u);  // B0's own list keeps the item numbers
  for (FapRevision rev : {kA0, kB0}) {
    SCOPED_TRACE(fmt::format("{}", rev));
    Managers const m;
    auto first = create("chip26_a0::ZuriErrmUtil::EedbSflowTableUtil", m, rev);
    auto data = create("chip26_a0::ZuriErrmUtil::EedbSflowDataTableUtil", m, rev);
    addFap(*first, 0);
    addFap(*data, 0);
    auto const table = mdbTable(*data);
    ZuriErrm::EedbSflowTableLogEntry e;
    e.keyIs(ZuriErrm::EedbSflowTableEntryKey(0x5000, 0x5001, 0));
    e.esemCommandIs(Item{1});
    auto const entry = [&] { return wrap<ZuriErrm::EedbSflowTableLogEntryWrapper>(e, 0); };
    first->processSwEntry(entry());
    data->processSwEntry(entry());
    ASSERT_NE(storedIn(*table, 0x5001), nullptr);
    EXPECT_EQ(storedIn(*table, 0x5001)->fieldValue("esemCommand")->value(), 21u);
    EXPECT_EQ(storedIn(*table, 0x5000)->fieldValue("nextOutlifPointer")->value(), 0x5001u);

    e.esemCommandIs(Item{4});
    EXPECT_THAT(raisesUntouched<Asic::OrderedTableException>(
                    {first.get(), data.get()}, [&] { data->processSwEntry(entry()); }),
                ::testing::EndsWith("]: U6::value < 0 or > 0x3f not allowed"));
  }
}

}  // namespace
}  // namespace eedb::test
