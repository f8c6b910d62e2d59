// Discovery through the real plug-in: the example lines of --describe (every one replays without
// error through a fresh session). (The rules it derives by probing, of every kind, are
// golden.text's and the README sample's, docs.readme; the JSON forms golden.text's and
// schemas.streams'; an unknown table, usage-errors.txt's.)

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Describe.h"
#include "ReplayFixture.h"

namespace {

using eedb::replay::describeTable;
using eedb::replay::Session;
using eedb::replay::TableDescription;
using namespace eedb::replay::testing;

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
