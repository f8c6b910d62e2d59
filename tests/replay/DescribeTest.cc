// Discovery through the real plug-in: the rules --describe derives by probing, and its example
// lines (every one replays without error through a fresh session). (EedbOutrif's description is
// the README's sample, docs.readme; the JSON forms are golden.text's and schemas.streams'; an
// unknown table, usage-errors.txt's.)

#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Describe.h"
#include "ReplayFixture.h"

namespace {

using eedb::replay::describeTable;
using eedb::replay::Session;
using eedb::replay::TableDescription;
using eedb::replay::ViewDescription;
using namespace eedb::replay::testing;

ViewDescription const& viewOf(TableDescription const& d, std::string_view util, unsigned view) {
  for (auto const& u : d.utils) {
    if (shortUtil(u.util) != util) continue;
    for (auto const& v : u.views) {
      if (v.view == view) return v;
    }
  }
  throw std::out_of_range(fmt::format("{} has no view {}", util, view));
}

std::string ruleOf(ViewDescription const& v, std::string_view field) {
  for (auto const& r : v.rules) {
    if (r.field == field) return r.text();
  }
  return "no such field";
}

// Every kind of rule: a cut to the hardware key, a field not used by the view, derived fields,
// bounded, a one-bit cut, addresses, a flag.
TEST(Describe, RulesFoundByProbingTheTranslation) {
  struct Case {
    char const* table;
    char const* util;
    unsigned view;
    char const* format;
    std::map<std::string, std::string> rules;
  };
  Case const cases[] = {
      {"EedbArpTable",
       "EedbArpTableUtil",
       2,
       "EedbArpEtpsArp60Entry",
       {{"key", "cut to hardware key (low 20 bits)"},
        {"l2Mac", "copy to l2Mac"},
        {"fodo", "not used by this view"}}},
      {"EedbSrv6",
       "EedbSrv6TunnelUtil",
       0,
       "EedbSrv6EtpsSrv6150Entry",
       {{"etpsSrv6150.nofSids", "derived: nofSids, srhSegmentLeft, srhLastEntry, srhHdrExtLen"},
        {"nextOutlifPointer", "cut to nextOutlifPointer (low 20 bits)"}}},
      {"EedbSrv6",
       "EedbSrv6TunnelUtil",
       2,
       "EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry",
       {{"nextOutlifPointer", "bounded to nextOutlifPointer (max 1048575)"},
        {"statObjectId", "derived: statObjectId, statObjectCmd"},
        {"etpsIpv6TunnelRaw150.ttlMode", "cut to ttlMode (low bit)"}}},
      {"EedbIpTunnel",
       "EedbIpv6TunnelDipUtil",
       2,
       "EedbIpv6DataDipEtpsDataIpv6Dip150Entry",
       {{"key.dipOutlif", "copy to hardware key"},
        {"key.outlif", "not used by this view"},
        {"dip", "copy to ipv6Dip (an IPv6 address)"}}},
      {"EedbMplsTunnelTable",
       "EedbMplsTunnelTableUtil",
       2,
       "EedbMplsTunnelEtpsMpls1Stat150Entry",
       {{"ttlMode", "flag to ttlMode (ttlMode 1 -> 1, any other -> 0)"},
        {"label1", "cut to mplsLabel (low 20 bits)"}}},
      {"EedbIpTunnel",
       "EedbIpTunnelUtil",
       0,
       "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry",
       {{"key.outlif", "copy to hardware key"}, {"dip", "copy to ipv4Dip (an IPv4 address)"}}},
  };
  Session session(config());
  for (auto const& c : cases) {
    TableDescription const d = describeTable(session, *ZuriErrm::findTable(c.table));
    ViewDescription const& v = viewOf(d, c.util, c.view);
    EXPECT_EQ(v.format, c.format) << c.util << " view " << c.view;
    for (auto const& [field, rule] : c.rules) {
      EXPECT_EQ(ruleOf(v, field), rule) << c.util << " view " << c.view << " " << field;
    }
  }
}

// Every example line of every table parses and replays through a fresh session without an
// exception, and some table utility takes it; the examples of all tables, replayed together,
// overwrite no other table's entry.
TEST(Describe, EveryExampleLineReplaysWithoutError) {
  Session probing(config({2, 3}));
  Session together(config({2, 3}));
  for (auto const& table : ZuriErrm::tables()) {
    TableDescription const d = describeTable(probing, table);
    ASSERT_FALSE(d.examples.empty()) << table.name;
    for (auto const& example : d.examples) {
      Session session(config({2, 3}));
      auto const results = session.offer(parseLine(example), true);
      std::size_t taken = 0;
      for (auto const& r : results) {
        EXPECT_FALSE(r.error) << example << "\n" << r.error->message;
        taken += r.applicable ? 1 : 0;
      }
      EXPECT_GT(taken, 0u) << example;
      // Table utilities that share a hardware table write entries of their own keys.
      std::size_t stored = 0;
      session.dumpShadow([&](std::string_view, eedb::replay::ShadowView const&) { ++stored; });
      EXPECT_EQ(stored, taken) << example;
      for (auto const& r : together.offer(parseLine(example), false)) {
        EXPECT_FALSE(r.overwrites) << example << " overwrites " << r.overwrites->name;
      }
    }
  }
}

}  // namespace
