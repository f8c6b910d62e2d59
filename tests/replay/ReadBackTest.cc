// What the replay reads back, held against the slower way that shows the system's interface: the
// shadow entry read straight from the hardware table equals the one that the table utility's
// reflected readShadowEntry answers (present, absent, direct tables, failed offers).

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "Input.h"
#include "ReplayFixture.h"
#include "Session.h"
#include "TraceCapture.h"

namespace {

using eedb::replay::LogLine;
using eedb::replay::OfferResult;
using eedb::replay::Session;
using eedb::replay::ShadowView;
using eedb::replay::TraceCapture;
using eedb::replay::testing::config;
using eedb::replay::testing::parseLine;

// Every offer's read-back of a stream, one text per offer.
std::vector<std::string> readBacks(std::vector<std::string> const& lines, bool traced) {
  Session session(config({0, 1, 2, 3}));
  std::optional<TraceCapture> capture;
  if (traced) {
    capture.emplace();
    session.traceCaptureIs(&*capture);
  }
  std::vector<std::string> shown;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    LogLine line;
    try {
      line = parseLine(lines[n]);
    } catch (ZuriErrm::InputError const&) {
      continue;  // refused lines are offered to nobody
    }
    if (session.utilsOf(*line.table).empty()) continue;
    for (OfferResult const& r : session.offer(line, true)) {
      std::string text = fmt::format("line {} {}: ", n + 1, r.name);
      if (!r.shadowRead) {
        shown.push_back(text + "not read");
        continue;
      }
      ShadowView const& s = r.shadow;
      text += fmt::format("fap {} instance {} key {} present {} format '{}'", s.fap, s.instance,
                          s.key, s.present, s.format);
      for (auto const& f : s.fields) {
        auto const& w = f.value.words();
        text += fmt::format(" {}={:x}.{:x}.{:x}.{:x}/{}", f.name, w[3], w[2], w[1], w[0],
                            static_cast<int>(f.kind));
      }
      shown.push_back(std::move(text));
    }
    if (capture) capture->clear();
  }
  return shown;
}

// Every example stream, replayed twice: once reading the shadow straight from the hardware
// table (the untraced path), once through the table utility's reflection (the path a traced
// replay takes, whose trace lines the report shows). The streams add, update, delete (absent
// entries read back as the key's blank entry), fail and refuse, on MDB and direct tables.
TEST(ReadBack, StraightFromTheShadowEqualsTheTableUtilitysAnswer) {
  std::size_t offers = 0;
  std::size_t absent = 0;
  for (auto const& file : std::filesystem::directory_iterator(EEDB_EXAMPLES_DIR)) {
    if (file.path().extension() != ".jsonl") continue;
    std::vector<std::string> lines;
    std::istringstream stream(eedb::replay::testing::slurp(file.path().string()));
    for (std::string text; std::getline(stream, text);) {
      if (!text.empty()) lines.push_back(text);
    }
    auto const straight = readBacks(lines, false);
    auto const reflected = readBacks(lines, true);
    ASSERT_EQ(straight.size(), reflected.size()) << file.path();
    for (std::size_t i = 0; i < straight.size(); ++i) {
      EXPECT_EQ(straight[i], reflected[i]) << file.path();
      absent += straight[i].find("present false") != std::string::npos ? 1 : 0;
    }
    offers += straight.size();
  }
  EXPECT_GT(offers, 200u);
  EXPECT_GT(absent, 10u);  // deletes and refusals read back blank entries
}

}  // namespace
