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

#include "Printer.h"
#include "ReplayFixture.h"
#include "kiv/Trace.h"

namespace {

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
