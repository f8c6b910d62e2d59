// A failed offer names the input value it stumbled on (field, value, largest value that
// translates) and a refused offer says why, both found by translating again through the real
// plug-in: here, that neither touches the shadow, and that only detailed offers are explained,
// leaving no trace lines. What each case pins, and the report under the exception's own text, is
// golden.text's (blame.jsonl, faps.jsonl; the JSON form in the example streams' goldens).

#include <algorithm>
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
