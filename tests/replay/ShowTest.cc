// What a replay shows of each line: an entry that a sibling table utility wrote is shown once,
// under the offer that wrote it.

#include <string>
#include <string_view>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ReplayFixture.h"
#include "Run.h"

namespace {

using namespace eedb::replay;
using ::testing::HasSubstr;

// A line as LineReader hands it out: followed by the JSON parser's padding.
LineOutcome const& feed(Run& run, std::string_view text, std::size_t number) {
  static std::string padded;
  padded.assign(text).append(simdjson::SIMDJSON_PADDING, ' ');
  return run.line(std::string_view(padded.data(), text.size()), number);
}

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// An IP tunnel line is offered to the four table utilities of its table, which share the EEDB:
// the one that wrote the entry shows it (with --bits its diagram), the siblings that were not
// applicable point to it; a sibling's delete is pointed to in the same way.
TEST(ReplayShow, AnEntryASiblingWroteIsShownOnceUnderItsOffer) {
  auto const printer = makePrinter(Form::text);
  printer->bitsIs(true);
  eedb::replay::Run run(eedb::replay::testing::config(), *printer, RunSettings{});
  LineOutcome const& written =
      feed(run,
           R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 4096, "dipOutlif": 0}, )"
           R"("viewType": 0, "dip": "10.1.2.3"}})",
           1);
  ASSERT_EQ(written.offers.size(), 4u);
  for (OfferResult const& offer : written.offers) {
    EXPECT_EQ(offer.shownUnder, offer.name == "EedbIpTunnelNonAiUtil" ? "EedbIpTunnelUtil" : "")
        << offer.name;
  }
  std::string const text(printer->text());
  EXPECT_EQ(count(text, "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry"), 1u) << text;
  EXPECT_EQ(count(text, "ipv4Dip=10.1.2.3"), 1u) << text;
  EXPECT_EQ(count(text, "bits 0-31  0x"), 1u) << text;  // one diagram
  EXPECT_THAT(text, HasSubstr("EedbIpTunnelNonAiUtil  not applicable: view 0 is not one of this "
                              "table utility's views (3)\n           shadow  fap 0 instance 0 key "
                              "4096: shown under EedbIpTunnelUtil\n"));

  // The IPv6 DIP entry of view 2, written, then deleted: the sibling of the other views reads
  // it back before the delete and points to the table utility that deletes it.
  std::string_view const v6 =
      R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 8192, "dipOutlif": 8193}, )"
      R"("viewType": 2, "dip": "2001:db8::1"}})";
  feed(run, v6, 2);
  std::string deleteLine(v6);
  deleteLine.insert(1, R"("delete": true, )");
  LineOutcome const& deleted = feed(run, deleteLine, 3);
  auto const* nonAi = eedb::replay::testing::resultOf(deleted.offers, "EedbIpv6TunnelDipNonAiUtil");
  ASSERT_NE(nonAi, nullptr);
  EXPECT_TRUE(nonAi->shadowRead);
  EXPECT_EQ(nonAi->shownUnder, "EedbIpv6TunnelDipUtil");
  auto const* writer = eedb::replay::testing::resultOf(deleted.offers, "EedbIpv6TunnelDipUtil");
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(writer->applicable);
  EXPECT_TRUE(writer->shownUnder.empty());

  // A key that no sibling of the line wrote: the entry read back is shown where it is read.
  LineOutcome const& other =
      feed(run,
           R"({"table": "EedbIpTunnel", "entry": {"key": {"outlif": 4096, "dipOutlif": 0}, )"
           R"("viewType": 4, "dip": "2001:db8::4"}})",
           4);
  for (OfferResult const& offer : other.offers) EXPECT_TRUE(offer.shownUnder.empty()) << offer.name;
  EXPECT_TRUE(run.finish(true).passed) << printer->text();
}

}  // namespace
