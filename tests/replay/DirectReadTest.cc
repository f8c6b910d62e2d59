// The direct reader of a line's entry against the catalogue: every entry, taken or refused, reads
// to the same log entry, or is refused with the same reason, whether it is read straight into the
// log entry or through the catalogue's values; and the direct reader takes the usual entries
// itself (a fault it would miss is no fault of the lines that the catalogue then reads). (The
// members around the entry, the same way: every line of refusals.txt.)
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <simdjson.h>

#include "EntryReader.h"
#include "Input.h"
#include "ReplayFixture.h"

namespace {

using eedb::replay::LineParser;
using eedb::replay::LogLine;
using eedb::replay::testing::readAs;

// Entries (of the line {"table": TABLE, "unitId": 1, "entry": ENTRY}) and whether the direct
// reader takes them itself.
struct Entry {
  char const* table;
  char const* entry;
  bool direct;
};

constexpr Entry kEntries[] = {
    {"EedbOutrif", R"({"key": 4096, "viewType": 1, "fodo": "0x7fff", "mtuProfile": 255})", true},
    {"EedbOutrif", R"({"mtuProfile": "31", "key": 1, "fodo": 2})", true},  // any order
    // Names written with escapes are the catalogue's to read.
    {"EedbOutrif", R"({"mtuProfile": "31", "key": 1, "fo\u0064o": 2})", false},
    {"EedbOutrif", R"({})", true},
    {"EedbOutrif", R"({"mtuProfile": 256})", false},
    {"EedbOutrif", R"({"mtuProfile": -1})", false},
    {"EedbOutrif", R"({"mtuProfile": -0})", false},  // an integer, 0: the catalogue's
    {"EedbOutrif", R"({"mtuProfile": 1.0})", false},
    {"EedbOutrif", R"({"mtuProfile": 1e2})", false},
    {"EedbOutrif", R"({"mtuProfile": "0x1g"})", false},
    {"EedbOutrif", R"({"mtuProfile": ""})", false},
    {"EedbOutrif", R"({"mtuProfile": null})", false},
    {"EedbOutrif", R"({"mtuProfile": true})", false},
    {"EedbOutrif", R"({"mtuProfile": [1]})", false},
    {"EedbOutrif", R"({"mtuProfile": {"x": 1}})", false},
    {"EedbOutrif", R"({"mtuProfile": 1, "mtuProfile": 2})", false},
    {"EedbOutrif", R"({"mtuProfile": 1, "mtu\u0050rofile": 2})", false},
    {"EedbOutrif", R"({"mtuProfil": 1})", false},
    {"EedbOutrif", R"({"key": 18446744073709551615})", false},
    {"EedbOutrif", R"({"key": 18446744073709551616})", false},
    {"EedbOutrif", R"([])", false},
    {"EedbIpTunnel", R"({"key": {"outlif": 1, "dipOutlif": 2}, "dip": "10.0.0.1"})", true},
    {"EedbIpTunnel", R"({"viewType": 2, "dip": "2001:db8::1", "fodo": 1023})", true},
    {"EedbIpTunnel", R"({"key": {"dipOutlif": 2, "outlif": 1, "outlif": 3}})", false},
    {"EedbIpTunnel", R"({"key": {"word": 1}})", false},
    {"EedbIpTunnel", R"({"key": 5})", false},
    {"EedbIpTunnel", R"({"fodo": 1024})", false},
    {"EedbIpTunnel", R"({"viewType": 1, "dip": "2001:db8::1"})", false},
    {"EedbIpTunnel", R"({"dip": "::ffff:10.1.2.3"})", false},
    {"EedbIpTunnel", R"({"dip": "10.1.2"})", false},
    {"EedbIpTunnel", R"({"dip": 5})", false},
    {"EedbVxlanTunnel", R"({"nextOutlif": null, "dip": "10.0.0.2"})", true},
    {"EedbVxlanTunnel", R"({"nextOutlif": 4294967295})", true},
    {"EedbVxlanTunnel", R"({"nextOutlif": 4294967296})", false},
    {"EedbTapAggTable", R"({"destMac": "02:00:00:aa:bb:cc", "srcMac": "02:00:00:00:00:01"})", true},
    {"EedbTapAggTable", R"({"destMac": "02:00:00:aa:bb"})", false},
    {"EedbTapAggTable", R"({"destMac": 2})", false},
    {"EedbSflowTable", R"({"key": {"outlif": 1, "dataOutlif": 2, "word3": 3}, "esemCommand": 3})",
     true},
    {"EedbSrv6", R"({"viewType": 0, "etpsSrv6150": {"nofSids": 3, "srhRoutingType": 4}})", true},
    {"EedbSrv6", R"({"etpsDataSid150": {"sid": "2001:db8::1"}, "viewType": 1})", true},
    {"EedbSrv6", R"({"viewType": 2, "etpsIpv6TunnelRaw150": {"fodo": 65535}})", true},
    {"EedbSrv6", R"({"viewType": 2, "etpsIpv6TunnelRaw150": {"fodo": 65536}})", false},
    {"EedbSrv6", R"({"viewType": 1, "etpsSrv6150": {"nofSids": 3}})", false},
    {"EedbSrv6", R"({"etpsIpv6TunnelRaw150": {"fodo": 1}})", false},
    {"EedbSrv6", R"({"viewType": 3, "etpsDataSid150": {}})", false},
    {"EedbSrv6",
     R"({"viewType": 0, "etpsSrv6150": {"nofSids": 3}, "etpsDataSid150": {"sid": "::1"}})", false},
    {"EedbSrv6", R"({"viewType": 0, "etpsSrv6150": {"nofSids": 1, "nofSids": 2}})", false},
    {"EedbSrv6", R"({"viewType": 256})", false},
    // Names that share their first bytes, in any order; one name the start of another; names
    // longer than a word or two.
    {"EedbMplsTunnelTable",
     R"({"label6": 6, "label2": 2, "label1": 1, "nextOutlifPointer": 9, "lifAhpMpls": 1})", true},
    {"EedbMplsTunnelTable", R"({"label": 1})", false},
    {"EedbMplsTunnelTable", R"({"label12": 1})", false},
    {"EedbMplsTunnelTable", R"({"nextOutlifPointe": 1})", false},
    {"EedbMplsTunnelTable", R"({"nextOutlifPointerX": 1})", false},
    {"EedbMplsTunnelTable", R"({"nextOutlifPointer": 1, "label3": 3, "nextOutlifPointer": 2})",
     false},
};

TEST(DirectRead, TakesTheUsualEntriesAndReadsThemAsTheCatalogueDoes) {
  LineParser direct;
  LineParser catalogue(false);
  simdjson::ondemand::parser json;
  for (Entry const& c : kEntries) {
    std::string const line =
        fmt::format(R"({{"table": "{}", "unitId": 1, "entry": {}}})", c.table, c.entry);
    EXPECT_EQ(readAs(direct, line), readAs(catalogue, line)) << line;

    simdjson::padded_string const text(std::string_view(c.entry));
    simdjson::ondemand::document doc;
    simdjson::ondemand::value fields;
    ASSERT_FALSE(json.iterate(text).get(doc)) << c.entry;
    ASSERT_FALSE(doc.get_value().get(fields)) << c.entry;
    ZuriErrm::AnyLogEntry entry = ZuriErrm::findTable(c.table)->newEntry();
    EXPECT_EQ(eedb::replay::readEntry(fields, entry), c.direct) << c.table << " " << c.entry;
  }
}

// Broken JSON that a walk of the line in order could let through (the members around the entry:
// refusals.txt).
TEST(DirectRead, BrokenLinesReadAsTheCatalogueReadsThem) {
  constexpr char const* kLines[] = {
      R"({"table": "EedbOutrif", "entry": {"key": 1}}})",
      R"({"table": "EedbOutrif", "entry": {"key": 1}} x)",
      R"({"table": "EedbOutrif" "unitId": 1})",
      R"({"table": "EedbOutrif", "unitId" 1})",
      R"({"table": "EedbOutrif", "unitId": })",
      R"({"table": "EedbOutrif", "entry": {"key": 1})",
      R"({"table": "EedbOutrif", "entry": {"key": 1,}})",
      R"({"table": "EedbOutrif", "entry": {"key": 1 "fodo": 2}})",
      R"({"table": "EedbOutrif", "delete": tru})",
      R"({"table": "EedbOutrif", "delete": falsey})",
      R"({"table": "EedbOutrif", "entry": {"key": 1x}})",
      R"({"table": "EedbOutrif", "entry": {"key": 01}})",
      R"({"table": "EedbOutrif", "entry": {"key": 1.}})",
      R"({"table": "EedbOutrif", "entry": {"key": -}})",
      R"({"table": "EedbOutrif", "entry": {"key": "0x\q1"}})",
      R"({"table": "EedbOutrif", "entry": {"key": "1)"
      "\t"
      R"("}})",
      R"({"table": "EedbOutrif", "entry": {"key": 1}, "unit": {"fap": 1 "instance": 2}})",
      R"({"table": "EedbVxlanTunnel", "entry": {"nextOutlif": nul}})",
      R"({"table": "EedbVxlanTunnel", "entry": {"nextOutlif": null, "dip": "10.0.0.1}})",
      R"({"table": "EedbOutrif", "entry": {"key": 1}, "unitId": 1, })",
      R"({"table": "EedbOutrif"} )",
  };
  LineParser direct;
  LineParser catalogue(false);
  for (char const* line : kLines) EXPECT_EQ(readAs(direct, line), readAs(catalogue, line)) << line;
}

// The line as a whole: the usual lines are the direct reader's own, the others the catalogue's.
TEST(DirectRead, TakesUsualLinesItselfAndLeavesTheOthers) {
  struct {
    char const* line;
    bool direct;
  } const cases[] = {
      {R"({"table": "EedbOutrif", "unit": {"fap": 1, "instance": 0}, "delete": false,
           "entry": {"key": 1, "viewType": 1, "fodo": 2}})",
       true},
      {R"({"unitId": 3, "table": "EedbArpTable", "tableDelete": true})", true},
      {R"({"tableDelete": true, "unit": {"instance": 1, "fap": 2}, "table": "EedbArpTable"})",
       true},
      {R"({"table": "EedbArpTable", "unitI": 3})", false},
      {R"({"table": "EedbArpTable", "tableDelet": true})", false},
      {R"({"table": "EedbArpTable", "unit": {"fap": 1, "fap": 2}})", false},
      {R"({"table": "EedbArpTable", "unit": {"fa": 1}})", false},
      {R"({"table": "EedbOutrif", "entry": {"key": 1}, "expect": {"util": "EedbOutrifUtil"}})",
       false},
      {R"({"entry": {"key": 1}, "table": "EedbOutrif"})", false},
      {R"({"table": "EedbOutrif", "entry": {"key": 1}} {})", false},
  };
  simdjson::ondemand::parser json;
  for (auto const& c : cases) {
    std::string padded(c.line);
    padded.append(simdjson::SIMDJSON_PADDING, ' ');
    LogLine line;
    EXPECT_EQ(eedb::replay::readLine(
                  json, std::string_view(padded.data(), padded.size() - simdjson::SIMDJSON_PADDING),
                  line),
              c.direct)
        << c.line;
  }
}

// A block's lines are the block reader's own while each holds one document (the last one aside);
// from the first line that does not (two values here), it gives up the rest of the block, read
// line by line.
TEST(DirectRead, TakesABlockOfUsualLinesUpToTheFirstUnusualOne) {
  std::string const usual = R"({"table": "EedbOutrif", "unitId": 1, "entry": {"key": 1}})";
  struct {
    std::vector<std::string> lines;
    std::vector<bool> taken;
  } const cases[] = {
      {{usual, usual, usual}, {true, true, false}},  // the last is readLine's
      {{usual, usual + " {}", usual}, {true, false, false}},
      {{usual, R"({"table": "EedbOutrif", "entry":)", R"({"key": 1}})", usual},
       {true, false, false, false}},
      {{usual, R"({"table": "EedbOutrif", "expect": {"refused": true}})", usual},
       {true, false, false}},
  };
  for (auto const& c : cases) {
    std::string block;
    std::vector<std::size_t> starts;
    for (auto const& line : c.lines) {
      starts.push_back(block.size());
      block += line + "\n";
    }
    std::size_t const size = block.size();
    block.append(simdjson::SIMDJSON_PADDING, ' ');
    eedb::replay::BlockReader reader;
    reader.start(std::string_view(block.data(), size));
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      LogLine line;
      EXPECT_EQ(reader.read(std::string_view(block.data() + starts[i], c.lines[i].size()), line),
                c.taken[i])
          << "line " << i + 1 << " of " << block;
    }
  }
}

}  // namespace
