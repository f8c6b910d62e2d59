// ESEM command items and their hardware values per revision.
#include <gtest/gtest.h>

#include "zuri_errm/Gen3EsemCmds.h"

namespace {

using Gen3EsemCmds::Item;
using Hardware::Zuri::FapRevision;

TEST(Gen3EsemCmdsTest, HwValuePerRevision) {
  FapRevision const a0 = FapRevision::fapRevGen3A0();
  FapRevision const b0(Hardware::ChipType{26}, 'B', 0);
  FapRevision const chip25(Hardware::ChipType{25}, 'A', 0);
  struct Case {
    std::uint8_t item;
    std::uint32_t onA0;
  };
  // Only 26:A0 renumbers items 1 to 4; item 4's value does not fit a 6-bit field.
  for (auto const c : {Case{0, 0}, Case{1, 21}, Case{2, 22}, Case{3, 42}, Case{4, 64}, Case{5, 5},
                       Case{63, 63}, Case{255, 255}}) {
    EXPECT_EQ(Gen3EsemCmds::hwValue(a0, Item{c.item}), c.onA0) << int(c.item);
    EXPECT_EQ(Gen3EsemCmds::hwValue(b0, Item{c.item}), c.item) << int(c.item);
    EXPECT_EQ(Gen3EsemCmds::hwValue(chip25, Item{c.item}), c.item) << int(c.item);
  }
}

TEST(Gen3EsemCmdsTest, ItemPrintsAsNumber) {
  EXPECT_EQ(fmt::format("{}", Item{42}), "42");
}

}  // namespace
