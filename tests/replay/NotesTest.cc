// What an entry programmed other than its line asked, though it succeeded: input values that a
// cut does not keep whole, entries of another software table overwritten or deleted in the shared
// EEDB. How the report shows them (--strict failing on them, --quiet still showing every failure,
// the summary saying whether the stream did what it expects) is pinned by golden.text.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Session.h"

namespace {

using eedb::replay::Session;
using namespace eedb::replay::testing;

// Every lossy note of an offer, as "field input->programmed/bits", in order.
std::string notesOf(Session& session, std::string const& text) {
  std::string out;
  for (auto const& r : session.offer(parseLine(text), false)) {
    EXPECT_FALSE(r.error) << text << "\n" << r.error->message;
    for (auto const& n : r.lossy) {
      out += fmt::format("{}{} {} {}->{}/{}", out.empty() ? "" : "; ", shortUtil(r.util), n.field,
                         n.input, n.programmed, n.lowBits);
    }
  }
  return out;
}

// Cut rules, at the bits they keep and one beyond; a copy of the same field in another view, a
// delete and a checked field never note anything.
TEST(LossyNotes, EveryCutThatDropsBitsAndNothingElse) {
  struct Case {
    char const* line;
    char const* notes;
  } const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 40000}})",
       "EedbOutrifUtil fodo 40000->7232/15"},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 32767}})", ""},
      {R"({"table": "EedbOutrif", "entry": {"key": 1, "viewType": 1, "fodo": 32768}})",
       "EedbOutrifUtil fodo 32768->0/15"},
      {R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 1, "viewType": 1, "fodo": 40000}})",
       ""},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 2, "viewType": 1, "label1": 1048677}})",
       "EedbMplsTunnelTableUtil label1 1048677->101/20"},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 2, "viewType": 1, "label1": 1048575}})",
       ""},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 3}, "viewType": 0, "lifAhp": 13, "dip": "10.1.2.3"}})",
       "EedbIpTunnelUtil lifAhp 13->1/2"},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 3}, "viewType": 1, "lifAhp": 13, "dip": "10.1.2.3"}})",
       ""},
      {R"({"table": "EedbArpTable", "entry": {"key": 1048581, "viewType": 2}})",
       "EedbArpTableUtil key 1048581->5/20"},
  };
  Session session(config());
  for (auto const& c : cases) EXPECT_EQ(notesOf(session, c.line), c.notes) << c.line;
}

// Tables share the EEDB: an entry of another software table overwritten or deleted under its
// key is noted with the table utility that wrote it; the utilities of one software table take
// turns on a key without a note.
TEST(OverwriteNotes, AnotherSoftwareTablesEntryButNotASiblings) {
  Session session(config());
  auto const overwrites = [&](std::string const& text) {
    std::string out;
    for (auto const& r : session.offer(parseLine(text), false)) {
      if (r.overwrites) {
        out += fmt::format("{} {} {} ({})", shortUtil(r.util),
                           r.overwrites->deleted ? "deletes" : "overwrites", r.overwrites->name,
                           r.overwrites->format);
      }
    }
    return out;
  };
  struct Case {
    char const* line;
    char const* note;
  } const cases[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1}})", ""},
      {R"({"table": "EedbOutrif", "entry": {"key": 4096, "viewType": 1, "fodo": 3}})", ""},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 4096, "viewType": 1}})",
       "EedbMplsTunnelTableUtil overwrites EedbOutrifUtil (EedbRifBasicEtpsEthRif60Entry)"},
      {R"({"table": "EedbOutrif", "delete": true, "entry": {"key": 4096, "viewType": 1}})",
       "EedbOutrifUtil deletes EedbMplsTunnelTableUtil (EedbMplsTunnelEtpsMpls190Entry)"},
      {R"({"table": "EedbMplsTunnelTable", "entry": {"key": 4096, "viewType": 1}})", ""},
      // Other FAPs and instances are other places.
      {R"({"table": "EedbOutrif", "unit": {"fap": 0, "instance": 1}, "entry": {"key": 4096, "viewType": 1}})",
       ""},
      // An IP tunnel key that changes view moves to the sibling table utility.
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 8192}, "viewType": 0, "dip": "10.1.2.3"}})",
       ""},
      {R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, "viewType": 3, "dip": "2001:db8::1"}})",
       ""},
      {R"({"table": "EedbIpTunnel", "delete": true, "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, "viewType": 3}})",
       ""},
  };
  for (auto const& c : cases) EXPECT_EQ(overwrites(c.line), c.note) << c.line;
}

}  // namespace
