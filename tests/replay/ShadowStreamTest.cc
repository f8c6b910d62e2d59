// --dump-shadow=stream: the dump, replayed on fresh table utilities, rebuilds the shadow (every
// example stream, a generated stream of all tables with deletes and overwrites, under --verify);
// it holds exactly the lines that decide the shadow; the check in the tool finds a dump that
// does not rebuild it. (The option's usage errors: usage-errors.txt; the plain --dump-shadow,
// which takes no value, golden.text.)

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Describe.h"
#include "Printer.h"
#include "ReplayFixture.h"
#include "Session.h"
#include "ShadowStream.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using eedb::replay::LogLine;
using eedb::replay::Session;
using eedb::replay::ShadowStream;
using eedb::replay::testing::config;
using eedb::replay::testing::Outcome;
using eedb::replay::testing::parseLine;
using eedb::replay::testing::slurp;
using ZuriErrm::Value;

class ShadowStreamTest : public eedb::replay::testing::ToolFixture {
 protected:
  // The "dump" records of a JSON replay: the shadow at its end.
  static std::string dumpRecords(std::string const& out) {
    std::string records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("{\"dump\"")) records += line + "\n";
    }
    return records;
  }

  // Replays `stream` with the dump asked for, then the dump on its own; both under --verify,
  // with the same options. Expects the same shadow, and the dump to replay without a failure.
  void roundTrip(std::string const& stream, std::string const& options = "") {
    std::string const dump = path("dump.jsonl");
    Outcome const first = replay("--quiet --verify --format json --dump-shadow " + options +
                                 " --dump-shadow=stream " + dump + " " + stream);
    ASSERT_LE(first.status, 1) << first.err;
    EXPECT_THAT(first.err, Not(HasSubstr("does not rebuild"))) << stream;
    std::string const shadow = dumpRecords(first.out);
    Outcome const second =
        replay("--quiet --verify --format json --dump-shadow " + options + " " + dump);
    EXPECT_EQ(second.status, 0) << stream << "\n" << second.out << second.err;
    EXPECT_EQ(dumpRecords(second.out), shadow) << stream;
  }
};

TEST_F(ShadowStreamTest, EveryExampleRebuildsFromItsDump) {
  std::vector<std::string> examples;
  for (auto const& file : std::filesystem::directory_iterator(EEDB_EXAMPLES_DIR)) {
    if (file.path().extension() == ".jsonl") examples.push_back(file.path().string());
  }
  std::sort(examples.begin(), examples.end());
  ASSERT_GE(examples.size(), 14u);
  for (auto const& example : examples) {
    SCOPED_TRACE(example);
    roundTrip(example);
    // Another FAP mask decides other lines.
    roundTrip(example, "--faps 0-3 --update-on-delete");
  }
}

// A line as the input takes it, from a catalogue entry.
std::string inputLine(ZuriErrm::TableInfo const& table, ZuriErrm::AnyLogEntry const& entry,
                      unsigned fap, bool erase, bool tableDelete) {
  std::vector<Value::Member> members;
  table.visit(entry, [&](ZuriErrm::FieldInfo const& info, Value v) {
    members.push_back({std::string(info.name), std::move(v)});
  });
  fmt::memory_buffer out;
  fmt::format_to(std::back_inserter(out),
                 R"({{"table": "{}", "unit": {{"fap": {}, "instance": 0}})", table.name, fap);
  if (erase) out.append(std::string_view(R"(, "delete": true)"));
  if (tableDelete) out.append(std::string_view(R"(, "tableDelete": true)"));
  out.append(std::string_view(R"(, "entry": )"));
  eedb::replay::jsonValue(out, Value::object(std::move(members)));
  out.append(std::string_view("}\n"));
  return fmt::to_string(out);
}

// Every view of every table (the example lines of --describe), its keys drawn from one small
// range that all tables share, so that lines overwrite and delete each other's entries; some
// values changed at random, a few beyond their field (the offer raises); a sixth of the lines
// delete, a few are table deletes; FAPs 0, 1 and the null FAP.
std::string randomStream(std::size_t lines, unsigned seed) {
  Session session(config({0, 1}));
  std::vector<LogLine> bases;
  for (auto const& table : ZuriErrm::tables()) {
    for (auto const& example : eedb::replay::describeTable(session, table).examples) {
      bases.push_back(parseLine(example));
    }
  }
  std::mt19937 rng(seed);
  auto const below = [&](std::uint64_t n) {
    return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng);
  };
  auto const key = [&](ZuriErrm::FieldInfo const& info) {
    std::uint64_t const n = below(48);
    return Value::number(info.max() < 4096 + 48 ? n % (info.max() + 1) : 4096 + n);
  };
  std::string stream;
  for (std::size_t i = 0; i < lines; ++i) {
    LogLine line = bases[below(bases.size())];
    ZuriErrm::TableInfo const& table = *line.table;
    for (auto const& info : table.fields) {
      if (info.name == "key") {
        if (info.kind == ZuriErrm::FieldKind::object) {
          for (auto const& member : info.members) member.set(line.entry, key(member), "key");
        } else {
          info.set(line.entry, key(info), "key");
        }
      } else if ((info.kind == ZuriErrm::FieldKind::number ||
                  info.kind == ZuriErrm::FieldKind::bounded) &&
                 info.name != "viewType" && below(4) == 0) {
        std::uint64_t const value = below(50) == 0 ? below(info.max()) + 1 : below(8);
        info.set(line.entry, Value::number(std::min(value, info.max())));
      }
    }
    unsigned const fap = below(8) == 0 ? 128 : static_cast<unsigned>(below(2));
    stream += inputLine(table, line.entry, fap, below(6) == 0, below(40) == 0);
  }
  return stream;
}

TEST_F(ShadowStreamTest, GeneratedStreamOfAllTablesRebuildsFromItsDump) {
  std::string const stream = path("random.jsonl");
  std::ofstream(stream) << randomStream(100000, 26);
  roundTrip(stream, "--faps 0-1 --update-on-delete");
  roundTrip(stream, "--faps 0-1");
  // The dump holds one line per entry at most, with the deletes it needs: far fewer.
  std::ifstream dump(path("dump.jsonl"));
  std::size_t const kept =
      std::count(std::istreambuf_iterator<char>(dump), std::istreambuf_iterator<char>(), '\n');
  EXPECT_GT(kept, 100u);
  EXPECT_LT(kept, 2000u);
}

constexpr char const* kIpTunnel =
    R"({"table": "EedbIpTunnel", "unit": {"fap": 0, "instance": 0}, "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, "viewType": 2, "dip": "2001:db8::1"}})";
constexpr char const* kOutrif4096 =
    R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "entry": {"key": 4096, "viewType": 1, "fodo": 100}})";
constexpr char const* kOutrif4096Again =
    R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "entry": {"key": 4096, "viewType": 1, "fodo": 101}})";
constexpr char const* kOutrif8193Delete =
    R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "delete": true, "entry": {"key": 8193, "viewType": 1}})";
constexpr char const* kOutrif4352 =
    R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "entry": {"key": 4352, "viewType": 1, "fodo": 7}})";
constexpr char const* kOutrif8193 =
    R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 0}, "entry": {"key": 8193, "viewType": 1, "fodo": 9}})";
constexpr char const* kIpTunnelTableDelete =
    R"({"table": "EedbIpTunnel", "unit": {"fap": 0, "instance": 0}, "tableDelete": true, "entry": {"key": {"outlif": 4096, "dipOutlif": 8193}, "viewType": 0, "dip": "10.1.2.3"}})";
constexpr char const* kMpls4352 =
    R"({"table": "EedbMplsTunnelTable", "unit": {"fap": 0, "instance": 0}, "entry": {"key": 4352, "viewType": 7, "label1": 100}})";

// The dump of a stream, as its lines' tables, keys and flags say them (the dump writes every
// field).
std::vector<std::string> dumpOf(std::vector<char const*> const& stream) {
  Session session(config());
  ShadowStream recorder(session, config(), "/dev/null", {});
  for (char const* text : stream) {
    LogLine const line = parseLine(text);
    recorder.record(line, session.offer(line, false));
  }
  std::vector<std::string> lines;
  std::string const dump = recorder.lines();
  std::istringstream dumped(dump);
  for (std::string text; std::getline(dumped, text);) {
    LogLine const line = parseLine(text);
    std::string shown(line.table->name);
    line.table->visit(line.entry, [&](ZuriErrm::FieldInfo const& info, Value const& v) {
      if (info.name == "key" || info.name == "fodo" || info.name == "label1") {
        shown += fmt::format(" {}={}", info.name, v);
      }
    });
    if ((line.flags & eedb::replay::kDeleteFlag) != 0) shown += " delete";
    lines.push_back(shown);
  }
  EXPECT_EQ(ShadowStream::compare(session, config(), dump), "");
  return lines;
}

TEST_F(ShadowStreamTest, HoldsTheLinesThatDecideTheShadow) {
  using ::testing::ElementsAre;
  // A line written over by a line of its table is dropped.
  EXPECT_THAT(dumpOf({kOutrif4096, kOutrif4096Again}), ElementsAre("EedbOutrif key=4096 fodo=101"));
  // An entry of another software table written over the first: only the last stays.
  EXPECT_THAT(dumpOf({kOutrif4352, kMpls4352}),
              ElementsAre("EedbMplsTunnelTable key=4352 label1=100"));
  EXPECT_THAT(dumpOf({kMpls4352, kOutrif4352}), ElementsAre("EedbOutrif key=4352 fodo=7"));
  // The IP tunnel line writes 8192 and 8193; a later delete of 8193 by another table must
  // follow it, or the tunnel line would bring 8193 back.
  EXPECT_THAT(dumpOf({kIpTunnel, kOutrif8193Delete}),
              ElementsAre("EedbIpTunnel key={outlif=8192, dipOutlif=8193} fodo=0",
                          "EedbOutrif key=8193 fodo=0 delete"));
  // A table delete of view 0 adds the key-only entry at 8193 in the IPv6 DIP utilities: that
  // leaves the Out-RIF entry there, and its line.
  EXPECT_THAT(dumpOf({kOutrif8193, kIpTunnelTableDelete}),
              ElementsAre("EedbOutrif key=8193 fodo=9",
                          "EedbIpTunnel key={outlif=4096, dipOutlif=8193} fodo=0"));
  // A delete of what no kept line writes is not needed; nor are lines whose entries are gone.
  EXPECT_THAT(dumpOf({kOutrif4096, kOutrif8193Delete}),
              ElementsAre("EedbOutrif key=4096 fodo=100"));
  EXPECT_THAT(
      dumpOf({kOutrif4352,
              R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 4352, "viewType": 1}})"}),
      ::testing::IsEmpty());
}

TEST_F(ShadowStreamTest, TheCheckFindsADumpThatDoesNotRebuildTheShadow) {
  Session session(config());
  for (char const* text : {kIpTunnel, kOutrif8193Delete, kOutrif4096}) {
    (void)session.offer(parseLine(text), false);
  }
  std::string const tunnel = std::string(kIpTunnel) + "\n";
  std::string const outrif = std::string(kOutrif4096) + "\n";
  std::string const erase = std::string(kOutrif8193Delete) + "\n";
  EXPECT_EQ(ShadowStream::compare(session, config(), tunnel + erase + outrif), "");
  // Without the delete, the tunnel line brings 8193 back.
  EXPECT_EQ(ShadowStream::compare(session, config(), tunnel + outrif),
            "chip26_a0::EedbHwMdb fap 0 instance 0 key 8193: rebuilt, but not in the shadow");
  EXPECT_EQ(ShadowStream::compare(session, config(), tunnel + erase),
            "chip26_a0::EedbHwMdb fap 0 instance 0 key 4096: not rebuilt (format "
            "EedbRifBasicEtpsEthRif60Entry)");
  EXPECT_EQ(ShadowStream::compare(session, config(), tunnel + erase + kOutrif4096Again + "\n"),
            "chip26_a0::EedbHwMdb fap 0 instance 0 key 4096: fodo 100 rebuilt as 101");
  EXPECT_THAT(ShadowStream::compare(session, config(), tunnel + erase + outrif + "{\n"),
              HasSubstr("line 4 of the dump is refused: "));
}

}  // namespace
