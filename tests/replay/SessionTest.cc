// A replay session on the real plug-in, loaded through dlopen: what an offer reports (applicable,
// size, commands, the shadow read back through reflection) for adds, updates, refused and
// failing entries and deletes.

#include <string>
#include <string_view>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Session.h"
#include "chip26_a0/EedbHwMdb.h"

namespace {

using eedb::replay::LineParser;
using eedb::replay::LogLine;
using eedb::replay::OfferResult;
using eedb::replay::Session;
using eedb::replay::SessionConfig;
using eedb::replay::SetupError;
using ::testing::HasSubstr;

constexpr std::string_view kOutrif = "chip26_a0::ZuriErrmUtil::EedbOutrifUtil";

class SessionTest : public ::testing::Test {
 protected:
  static SessionConfig config() {
    SessionConfig c;
    c.pluginPath = EEDB_PLUGIN_PATH;
    return c;
  }

  // Offers one line; the Out-RIF table has exactly one table utility.
  OfferResult const& offer(std::string_view text, bool detail = true) {
    std::string padded(text);
    padded.append(simdjson::SIMDJSON_PADDING, ' ');
    parser_.parse(std::string_view(padded.data(), text.size()), line_);
    auto const results = session_.offer(line_, detail);
    EXPECT_EQ(results.size(), 1u);
    return results.front();
  }

  Session::Util const& outrif() const {
    for (auto const& util : session_.utils()) {
      if (util.name == kOutrif) return util;
    }
    throw std::logic_error("no Out-RIF table utility");
  }

  Session session_{config()};
  LineParser parser_;
  LogLine line_;
};

std::string fieldsOf(eedb::replay::ShadowView const& view) {
  std::string out;
  for (auto const& f : view.fields) out += fmt::format("{}={} ", f.name, f.value);
  return out;
}

TEST_F(SessionTest, AddReportsSizeShadowAndTheCommandThatWritesIt) {
  auto const& r = offer(
      R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 2}, "entry": {"key": 4096,)"
      R"( "viewType": 1, "fodo": 65535, "forwardQosModel": 1, "remarkProfile": 31, "mtuProfile": 15}})");
  EXPECT_EQ(r.util, kOutrif);
  ASSERT_FALSE(r.error) << r.error->message;
  EXPECT_TRUE(r.applicable);
  EXPECT_EQ(r.sizeBits, 60u);
  ASSERT_TRUE(r.shadowRead);
  EXPECT_TRUE(r.shadow.present);
  EXPECT_EQ(r.shadow.instance, 2);
  EXPECT_EQ(r.shadow.key, 4096u);
  EXPECT_EQ(r.shadow.format, "EedbRifBasicEtpsEthRif60Entry");
  // fodo keeps its low 15 bits.
  EXPECT_EQ(fieldsOf(r.shadow), "forwardQosModel=1 mtuProfile=15 remarkProfile=31 fodo=32767 ");
  // The one command decodes back into the entry the shadow holds.
  ASSERT_EQ(r.cmds.size(), 1u);
  EXPECT_EQ(r.cmds[0].instanceId, 2);
  auto const decoded = chip26_a0::EedbHwMdb::decode(r.cmds[0]);
  ASSERT_TRUE(decoded);
  eedb::replay::ShadowView view;
  decoded->forEachField([&](auto const& field, auto const& value) {
    view.fields.push_back({field.name, value});
  });
  EXPECT_EQ(fieldsOf(view), fieldsOf(r.shadow));
  EXPECT_EQ(outrif().util->stats()->addCnt(), 1u);
}

TEST_F(SessionTest, FailedUpdateLeavesTheShadowAsItWas) {
  offer(
      R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "fodo": 70, "mtuProfile": 3}})");
  auto const& r = offer(
      R"({"table": "EedbOutrif", "entry": {"key": 7, "viewType": 1, "fodo": 71, "forwardQosModel": 2, "mtuProfile": 16}})");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->type, "Asic::OrderedTableException");
  // The first bad field in translation order is the one named.
  EXPECT_THAT(r.error->message, HasSubstr("to U1 (max = 1) failed"));
  EXPECT_TRUE(r.cmds.empty());
  ASSERT_TRUE(r.shadowRead);
  EXPECT_TRUE(r.shadow.present);
  EXPECT_EQ(fieldsOf(r.shadow), "forwardQosModel=0 mtuProfile=3 remarkProfile=0 fodo=70 ");
  EXPECT_EQ(outrif().util->stats()->addCnt(), 1u);
}

TEST_F(SessionTest, EntryOutsideTheFapMaskIsCountedAndNotWritten) {
  auto const& r =
      offer(R"({"table": "EedbOutrif", "unit": {"fap": 1}, "entry": {"key": 7, "viewType": 1}})");
  ASSERT_FALSE(r.error);
  EXPECT_FALSE(r.applicable);
  EXPECT_EQ(r.sizeBits, 0u);
  EXPECT_TRUE(r.cmds.empty());
  ASSERT_TRUE(r.shadowRead);
  EXPECT_FALSE(r.shadow.present);
  EXPECT_EQ(r.shadow.fap, 1);
  EXPECT_TRUE(r.shadow.format.empty());
  EXPECT_EQ(outrif().util->stats()->fapmaskMismatch(), 1u);
}

TEST_F(SessionTest, DeleteClearsTheEntrysPlaceWithTheTranslatedSize) {
  offer(R"({"table": "EedbOutrif", "entry": {"key": 9, "viewType": 1, "fodo": 9}})");
  auto const& r =
      offer(R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 9, "viewType": 1}})");
  ASSERT_FALSE(r.error);
  EXPECT_TRUE(r.applicable);
  EXPECT_EQ(r.sizeBits, 60u);
  ASSERT_EQ(r.cmds.size(), 1u);
  EXPECT_EQ(r.cmds[0].op, ZuriAsicUtils::SchanCmd::Op::clear);
  EXPECT_EQ(r.cmds[0].sizeBits, 60u);
  EXPECT_FALSE(r.shadow.present);
  EXPECT_EQ(outrif().util->stats()->deleteCnt(), 1u);
}

TEST_F(SessionTest, FapIdAboveTheNullIdRaisesAndCannotBeReadBack) {
  auto const& r =
      offer(R"({"table": "EedbOutrif", "unit": {"fap": 129}, "entry": {"key": 1, "viewType": 1}})");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->type, "Pelix::RangeException");
  EXPECT_FALSE(r.shadowRead);
}

TEST_F(SessionTest, WithoutDetailNothingIsReadBack) {
  auto const& r = offer(R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1}})", false);
  EXPECT_TRUE(r.applicable);
  EXPECT_EQ(r.cmds.size(), 1u);
  EXPECT_FALSE(r.shadowRead);
}

TEST_F(SessionTest, DumpVisitsEveryStoredEntryOfTheSharedTableOnce) {
  offer(R"({"table": "EedbOutrif", "entry": {"key": 2, "viewType": 1}})");
  offer(R"({"table": "EedbOutrif", "unit": {"fap": 128}, "entry": {"key": 1, "viewType": 1}})");
  std::vector<std::string> seen;
  session_.dumpShadow([&](std::string_view table, eedb::replay::ShadowView const& v) {
    seen.push_back(fmt::format("{} {}/{}/{}", table, v.fap, v.instance, v.key));
  });
  EXPECT_THAT(seen,
              ::testing::ElementsAre("chip26_a0::EedbHwMdb 0/0/2", "chip26_a0::EedbHwMdb 128/0/1"));
}

TEST(SessionSetup, UpdateOnDeleteAndFapMaskReachEveryTableUtility) {
  SessionConfig c;
  c.pluginPath = EEDB_PLUGIN_PATH;
  c.faps = {0, 5};
  c.updateOnDelete = true;
  Session session(c);
  ASSERT_FALSE(session.utils().empty());
  for (auto const& util : session.utils()) {
    EXPECT_TRUE(util.util->fapmask().test(SchanAccel::FapId(5))) << util.name;
    EXPECT_FALSE(util.util->fapmask().test(SchanAccel::FapId(1))) << util.name;
    ASSERT_TRUE(util.util->hwTableBase()) << util.name;
    EXPECT_TRUE(util.util->hwTableBase()->updateOnDelete()) << util.name;
  }
}

TEST(SessionSetup, RefusesWhatCannotStart) {
  SessionConfig c;
  c.pluginPath = "/nonexistent/libeedb26.so";
  EXPECT_THROW(Session{c}, SetupError);
  c.pluginPath = EEDB_PLUGIN_PATH;
  c.revision = Hardware::Zuri::FapRevision(Hardware::ChipType{25}, 'A', 0);
  try {
    Session session(c);
    FAIL() << "a session without table utilities started";
  } catch (SetupError const& e) {
    EXPECT_THAT(e.what(), HasSubstr("registers no table utility for revision 25:A0"));
  }
}

}  // namespace
