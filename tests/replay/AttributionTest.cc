// A failed offer names the input value it stumbled on (field, value, largest value that
// translates) and a refused offer says why, both found by translating again through the real
// plug-in without touching the shadow. The report prints them under the exception's own text
// (golden.text; the JSON form in the example streams' goldens).

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "Printer.h"
#include "ReplayFixture.h"
#include "kiv/Trace.h"

namespace {

using eedb::replay::OfferResult;
using eedb::replay::Session;
using eedb::replay::ShadowView;
using namespace eedb::replay::testing;
using ZuriErrm::Value;

TEST(Attribution, AFailurePinsTheFieldItsValueAndTheLargestValueThatTranslates) {
  struct Case {
    char const* line;
    char const* util;
    char const* field;
    Value value;
    std::optional<std::uint64_t> limit;
  };
  Case const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "mtuProfile": 16}})",
       "EedbOutrifUtil", "mtuProfile", Value::number(16), 15},
      // A second bad field, checked later, neither takes the blame nor moves the limit.
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "mtuProfile": 200,
           "remarkProfile": 40}})",
       "EedbOutrifUtil", "mtuProfile", Value::number(200), 15},
      // The later field fails with the very text the first one has at its bound + 1.
      {R"({"table": "EedbSflowTable", "entry": {"key": {"outlif": 1, "dataOutlif": 2},
           "viewType": 0, "headerRecordDataLength": 65535, "headerRecordSize": 16384}})",
       "EedbSflowTableUtil", "headerRecordDataLength", Value::number(65535), 16383},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "remarkProfile": 32}})",
       "EedbOutrifUtil", "remarkProfile", Value::number(32), 31},
      // FAP 129 fails outside translation's guards, with a message that names no value.
      {R"({"table": "EedbOutrif", "unit": {"fap": 129, "instance": 0},
           "entry": {"key": 1, "viewType": 1}})",
       "EedbOutrifUtil", "unit.fap", Value::number(129), 128},
      // A field of a view's data, and one of a compound key: the path names it.
      {R"({"table": "EedbSrv6", "entry": {"key": 1, "viewType": 2,
           "nextOutlifPointer": 1048576}})",
       "EedbSrv6TunnelUtil", "nextOutlifPointer", Value::number(1048576), 1048575},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dipOutlif": 1048577},
           "viewType": 3, "dip": "2001:db8::1"}})",
       "EedbIpTunnelNonAiUtil", "key.dipOutlif", Value::number(1048577), 1048575},
  };
  Session session(config());
  for (auto const& c : cases) {
    auto const line = parseLine(c.line);
    OfferResult const* r = resultOf(session.offer(line, true), c.util);
    ASSERT_NE(r, nullptr) << c.line;
    ASSERT_TRUE(r->error) << c.line;
    ASSERT_TRUE(r->blame) << c.line << "\n" << r->error->message;
    EXPECT_EQ(r->blame->field, c.field) << c.line;
    EXPECT_EQ(r->blame->value, c.value) << c.line;
    EXPECT_EQ(r->blame->limit, c.limit) << c.line;
  }
}

TEST(Attribution, NeitherFailuresNorRefusalsTouchTheShadow) {
  Session session(config({0, 1, 2, 3}));
  auto const entries = [&] {
    std::vector<std::string> out;
    session.dumpShadow([&](std::string_view, ShadowView const& v) {
      out.push_back(fmt::format("{} {}", v.key, v.fields.at(1).value.value()));
    });
    return out;
  };
  session.offer(
      parseLine(R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "mtuProfile": 2}})"),
      true);
  std::string const bad[] = {
      R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "mtuProfile": 16}})",
      R"({"table": "EedbOutrif", "entry": {"key": 8, "viewType": 1, "mtuProfile": 16}})",
      R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 9, "mtuProfile": 3}})",
      R"({"table": "EedbOutrif", "unit": {"fap": 5, "instance": 0},
          "entry": {"key": 9, "viewType": 1, "mtuProfile": 3}})",
  };
  for (auto const& text : bad) {
    auto const results = session.offer(parseLine(text), true);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].blame || !results[0].reason.empty()) << text;
    EXPECT_TRUE(results[0].cmds.empty()) << text;
  }
  EXPECT_THAT(entries(), ::testing::ElementsAre("7 2"));
}

TEST(Attribution, ARefusalSaysWhyInThePipelinesOrder) {
  struct Case {
    char const* line;
    std::vector<std::uint8_t> faps;
    char const* util;
    char const* reason;  // "" for an applicable offer
  };
  Case const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 9}})",
       {0},
       "EedbOutrifUtil",
       "view 9 is not one of this table utility's views (1)"},
      {R"({"table": "EedbOutrif", "unit": {"fap": 5, "instance": 0},
           "entry": {"key": 1, "viewType": 1}})",
       {0, 1, 2, 3},
       "EedbOutrifUtil",
       "FAP 5 is outside the FAP mask 0-3"},
      // The table's condition comes before the FAP mask filter.
      {R"({"table": "EedbOutrif", "unit": {"fap": 5, "instance": 0},
           "entry": {"key": 1, "viewType": 0}})",
       {0, 1, 2, 3},
       "EedbOutrifUtil",
       "view 0 is not one of this table utility's views (1)"},
      {R"({"table": "EedbAgMemTlm", "unit": {"fap": 2, "instance": 0}, "entry": {"key": 1}})",
       {0, 7, 8, 128},
       "EedbAgMemTlmUtil",
       "FAP 2 is outside the FAP mask 0,7-8,128"},
      // One IPv6 UDP tunnel entry, split among the IP tunnel table's four utilities.
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dipOutlif": 2},
           "viewType": 2, "dip": "2001:db8::1"}})",
       {0},
       "EedbIpTunnelUtil",
       ""},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dipOutlif": 2},
           "viewType": 2, "dip": "2001:db8::1"}})",
       {0},
       "EedbIpv6TunnelDipUtil",
       ""},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dipOutlif": 2},
           "viewType": 2, "dip": "2001:db8::1"}})",
       {0},
       "EedbIpTunnelNonAiUtil",
       "view 2 is not one of this table utility's views (3)"},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 1, "dipOutlif": 2},
           "viewType": 2, "dip": "2001:db8::1"}})",
       {0},
       "EedbIpv6TunnelDipNonAiUtil",
       "view 2 is not one of this table utility's views (3)"},
  };
  for (auto const& c : cases) {
    Session session(config(c.faps));
    OfferResult const* r = resultOf(session.offer(parseLine(c.line), true), c.util);
    ASSERT_NE(r, nullptr) << c.line;
    ASSERT_FALSE(r->error) << c.line;
    EXPECT_EQ(r->applicable, std::string_view(c.reason).empty()) << c.util << " " << c.line;
    EXPECT_EQ(r->reason, c.reason) << c.util << " " << c.line;
  }
}

// The reasons are made once per view and per FAP mask and kept: each line of a session still
// gets its own view's and its own FAP's.
TEST(Attribution, KeptReasonsAreEachLinesOwn) {
  Session session(config({0, 1, 2, 3}));
  struct Case {
    char const* unit;
    unsigned view;
    char const* reason;
  };
  Case const cases[] = {
      {"{\"fap\": 0, \"instance\": 0}", 9, "view 9 is not one of this table utility's views (1)"},
      {"{\"fap\": 0, \"instance\": 0}", 0, "view 0 is not one of this table utility's views (1)"},
      {"{\"fap\": 1, \"instance\": 0}", 9, "view 9 is not one of this table utility's views (1)"},
      {"{\"fap\": 5, \"instance\": 0}", 1, "FAP 5 is outside the FAP mask 0-3"},
      {"{\"fap\": 6, \"instance\": 0}", 1, "FAP 6 is outside the FAP mask 0-3"},
      {"{\"fap\": 6, \"instance\": 0}", 0, "view 0 is not one of this table utility's views (1)"},
      {"{\"fap\": 2, \"instance\": 0}", 1, ""},
  };
  for (auto const& c : cases) {
    std::string const line = fmt::format(
        R"({{"table": "EedbOutrif", "unit": {}, "entry": {{"key": 1, "viewType": {}}}}})", c.unit,
        c.view);
    OfferResult const* r = resultOf(session.offer(parseLine(line), true), "EedbOutrifUtil");
    ASSERT_NE(r, nullptr) << line;
    EXPECT_EQ(r->reason, c.reason) << line;
  }
}

// Quiet replays are not explained: nothing is translated twice.
TEST(Attribution, OnlyDetailedOffersAreExplained) {
  Session session(config());
  auto const results = session.offer(
      parseLine(R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "mtuProfile": 16}})"),
      false);
  ASSERT_TRUE(results[0].error);
  EXPECT_FALSE(results[0].blame);
}

// The translations of an explanation leave no trace lines, and the installed sink stays.
TEST(Attribution, ExplanationsAddNoTraceLines) {
  Session session(config());
  std::vector<std::string> lines;
  Kiv::traceSinkIs([&](std::string_view line) { lines.emplace_back(line); });
  Kiv::traceConfigIs("*/3");
  auto const translations = [&](bool detail) {
    lines.clear();
    session.offer(parseLine(R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1,
                               "mtuProfile": 16}})"),
                  detail);
    return std::count_if(lines.begin(), lines.end(), [](std::string const& l) {
      return l.find("translateToHwFormat_") != std::string::npos;
    });
  };
  auto const quiet = translations(false);
  auto const detailed = translations(true);
  Kiv::traceConfigIs("");
  Kiv::traceSinkIs({});
  EXPECT_EQ(quiet, 1);
  EXPECT_EQ(detailed, quiet);
}

}  // namespace
