// Bit diagrams: the data words beside an entry's rows equal to the words of the SCHAN command
// that writes it (for every entry of every example stream), and every format's diagram naming
// every field. (The exact drawing of an entry, with its values, letters and data words, is
// golden.text's: --bits.)

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Bits.h"
#include "ReplayFixture.h"
#include "chip26_a0/EedbEntry.h"

namespace {

using eedb::replay::BitLayout;
using eedb::replay::Session;
using namespace eedb::replay::testing;

std::string text(fmt::memory_buffer const& out) {
  return std::string(out.data(), out.size());
}

// The words rebuilt from the decoded fields are the words the chip is sent.
TEST(Bits, DataWordsAreTheCommandsWordsForEveryExampleEntry) {
  Session session(config());
  std::size_t checked = 0;
  for (auto const& file : std::filesystem::directory_iterator(EEDB_EXAMPLES_DIR)) {
    std::ifstream in(file.path());
    for (std::string line; std::getline(in, line);) {
      eedb::replay::LogLine parsed;
      try {
        parsed = parseLine(line);
      } catch (ZuriErrm::InputError const&) {
        continue;  // the streams show rejected lines too
      }
      for (auto const& r : session.offer(parsed, true)) {
        if (r.error || !r.shadowRead || !r.shadow.present || r.cmds.empty()) continue;
        auto const layout = eedb::replay::layoutOf(r.shadow);
        ASSERT_TRUE(layout) << line;
        auto const words = eedb::replay::wordsOf(r.shadow, *layout);
        // The write of the entry's own FAP (an entry for every FAP is followed by the writes
        // that keep single FAPs' own entries).
        auto const own = std::find_if(r.cmds.begin(), r.cmds.end(), [&](auto const& c) {
          return c.fapId == r.shadow.fap && c.index == r.shadow.key;
        });
        ASSERT_NE(own, r.cmds.end()) << line;
        auto const& cmd = *own;
        ASSERT_EQ(words.size(), std::max(cmd.wordCount(), 1u)) << line;
        for (std::size_t w = 0; w < words.size(); ++w) {
          EXPECT_EQ(words[w], cmd.data[w]) << line << " word " << w;
        }
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 30u);
}

// Every row of every format is as wide as a row of 32 bits; every field is named in a cell or,
// when its name does not fit, in the legend under its letter.
TEST(Bits, EveryFormatsDiagramNamesEveryField) {
  auto const layouts = eedb::replay::allLayouts();
  EXPECT_EQ(layouts.size(), chip26_a0::mdb::kFormatSpecs.size() + 2);
  for (BitLayout const& layout : layouts) {
    fmt::memory_buffer out;
    eedb::replay::drawBits(out, layout, {}, 0);
    std::string const drawing = text(out);
    for (auto const& field : layout.fields) {
      EXPECT_THAT(drawing, ::testing::HasSubstr(std::string(field.name))) << layout.name;
    }
    std::size_t start = 0;
    while (start < drawing.size()) {
      std::size_t const end = drawing.find('\n', start);
      std::string_view const line(drawing.data() + start, end - start);
      if (line.starts_with('|') || (line.starts_with(' ') && line.find('|') != line.npos)) {
        EXPECT_EQ(line.rfind('|'), 64u) << layout.name << ": " << line;
      }
      start = end + 1;
    }
  }
}

}  // namespace
