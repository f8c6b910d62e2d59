// Discovery through the real plug-in: the rules --describe derives by probing, its example lines
// (every one replays without error through a fresh session), the JSON forms and the
// did-you-mean of an unknown table.

#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <simdjson.h>

#include "Describe.h"
#include "Printer.h"
#include "ReplayFixture.h"

namespace {

using eedb::replay::describeTable;
using eedb::replay::FieldRule;
using eedb::replay::Form;
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

TEST(Describe, RulesFoundByProbingTheTranslation) {
  struct Case {
    char const* table;
    char const* util;
    unsigned view;
    char const* format;
    std::map<std::string, std::string> rules;
  };
  Case const cases[] = {
      {"EedbOutrif",
       "EedbOutrifUtil",
       1,
       "EedbRifBasicEtpsEthRif60Entry",
       {{"key", "copy to hardware key"},
        {"fodo", "cut to fodo (low 15 bits)"},
        {"viewType", "selects the view"},
        {"forwardQosModel", "checked to forwardQosModel (max 1)"},
        {"remarkProfile", "checked to remarkProfile (max 31)"},
        {"mtuProfile", "checked to mtuProfile (max 15)"}}},
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

TEST(Describe, JsonFormsParse) {
  Session session(config());
  simdjson::dom::parser parser;
  for (auto const& table : ZuriErrm::tables()) {
    auto const printer = makePrinter(Form::json);
    printer->description(describeTable(session, table));
    std::string const out(printer->text());
    simdjson::dom::element doc;
    ASSERT_EQ(parser.parse(out).get(doc), simdjson::SUCCESS) << out;
    EXPECT_EQ(std::string_view(doc["table"].get_string().value()), table.name);
  }
  auto const list = makePrinter(Form::json);
  list->tableList(listTables(session));
  std::string_view rest = list->text();
  std::map<std::string, std::size_t> utils;
  while (!rest.empty()) {
    auto const end = rest.find('\n');
    simdjson::dom::element doc;
    ASSERT_EQ(parser.parse(rest.substr(0, end)).get(doc), simdjson::SUCCESS);
    utils[std::string(doc["table"].get_string().value())] = doc["utils"].get_array().size();
    rest.remove_prefix(end + 1);
  }
  EXPECT_EQ(utils.size(), ZuriErrm::tables().size());
  EXPECT_EQ(utils["EedbIpTunnel"], 4u);
  EXPECT_EQ(utils["EedbSflowTable"], 2u);
}

TEST(Describe, UnknownTableSuggestsTheNearestName) {
  std::string message;
  EXPECT_EQ(eedb::replay::tableNamed("EedbOutRif", message), nullptr);
  EXPECT_EQ(message, "unknown table 'EedbOutRif' (did you mean 'EedbOutrif'?)");
  EXPECT_EQ(eedb::replay::tableNamed("Vlan", message), nullptr);
  EXPECT_THAT(message, ::testing::StartsWith("unknown table 'Vlan' (tables: EedbOutrif, "));
  EXPECT_NE(eedb::replay::tableNamed("EedbSrv6", message), nullptr);
}

}  // namespace
