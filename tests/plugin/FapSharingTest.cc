// Several FAPs at one hardware key, through the plug-in loaded with dlopen: a table utility that
// refuses an entry of a FAP outside its mask sends nothing there (a sibling that owns the FAP
// wrote it), and mixed null-FAP (128) and single-FAP streams leave the chip model reading what
// the shadow means: a FAP's own entry, else the null FAP's.
#include "PluginTestSupport.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbAgMemTlmHwDirect;
using chip26_a0::EedbDataByLocalOutlifMsbsHwDirect;
using chip26_a0::EedbHwMdb;
using ZuriErrm::AnyLogEntry;
using ZuriErrm::TableInfo;
using ZuriErrm::Value;

std::vector<std::string> texts(ZuriAsicUtils::SchanCmds const& cmds) {
  std::vector<std::string> out;
  for (auto const& c : cmds) out.push_back(fmt::format("{}", c));
  return out;
}

// One table utility of each family, and how to build its entry at key 0x10 with a value that
// tells entries apart (the direct tables' one bit: 0 or 1).
struct Kind {
  std::string_view util;
  std::string_view table;
  std::string_view field;
  std::string_view memory;
};
constexpr Kind kKinds[] = {
    {"chip26_a0::ZuriErrmUtil::EedbAgMemTlmUtil", "EedbAgMemTlm", "agFieldTlm",
     EedbAgMemTlmHwDirect::kMemory},
    {"chip26_a0::ZuriErrmUtil::EedbDataByLocalOutlifMsbsUtil", "EedbDataByLocalOutlifMsbs",
     "eesIsDataEntryapped", EedbDataByLocalOutlifMsbsHwDirect::kMemory},
    {"chip26_a0::ZuriErrmUtil::EedbOutrifUtil", "EedbOutrif", "mtuProfile", EedbHwMdb::kMemory},
};

class FapSharing : public ::testing::TestWithParam<Kind> {
 protected:
  TableInfo const& table() const { return *ZuriErrm::findTable(GetParam().table); }

  AnyLogEntry entry(unsigned value) const {
    AnyLogEntry e = table().newEntry();
    table().field("key")->set(e, Value::number(0x10));
    if (auto const* view = table().field("viewType")) view->set(e, Value::number(1));
    table().field(GetParam().field)->set(e, Value::number(value));
    return e;
  }

  // Offers the entry to the table utility and runs its commands on the chip model.
  ZuriAsicUtils::SchanCmds offer(UtilBase& util, unsigned fap, unsigned value, std::uint8_t flags) {
    auto const cmds = util.processSwEntry(table().makeWrapper(
        entry(value), Asic::UnitId::of(static_cast<std::uint8_t>(fap), 0), flags));
    chip_.execute(cmds);
    return cmds;
  }

  void expectChipAsShadow(UtilBase const& util) {
    auto const differences = chipAgainst(chip_, *util.hwTableBase());
    EXPECT_TRUE(differences.empty()) << fmt::format("{}", differences.front());
  }

  // What FAP `fap` reads at the key on the chip: word 0 of the data (a direct table's bit, the
  // low word of an Out-RIF entry), 0 when empty.
  std::uint32_t chipWord(unsigned fap) const {
    return chip_.read(GetParam().memory, static_cast<std::uint8_t>(fap), 0, 0x10).data[0];
  }

  Managers m_;
  chip26_a0::ChipMemory chip_;
};

// Two table utilities of one hardware table: one owns FAPs 0 to 3, the other FAP 9. The first,
// offered FAP 9's entries, counts the mismatch and sends nothing, so FAP 9 keeps what its owner
// wrote and the chip stays equal to the shadow.
TEST_P(FapSharing, ARefusedEntrySendsNothingToAFapOutsideTheMask) {
  auto const low = create(GetParam().util, m_);
  auto const owner = create(GetParam().util, m_);
  ASSERT_EQ(low->hwTableBase().get(), owner->hwTableBase().get());
  for (unsigned fap : {0u, 1u, 2u, 3u}) addFap(*low, fap);
  addFap(*owner, 9);
  EXPECT_EQ(offer(*owner, 9, 1, 0).size(), 1u);
  auto const written = chipWord(9);
  ASSERT_NE(written, 0u);
  auto const before = snapshot(*low);
  for (std::uint8_t flags : {std::uint8_t{0}, kDelete}) {
    SCOPED_TRACE(fmt::format("flags {}", flags));
    EXPECT_THAT(texts(offer(*low, 9, 0, flags)), ::testing::IsEmpty());
  }
  auto after = snapshot(*low);
  EXPECT_EQ(after.mismatch, before.mismatch + 2);
  EXPECT_EQ(after.enqueueTotal, before.enqueueTotal + 2);  // still counted, as before
  after.mismatch = before.mismatch;
  after.enqueueTotal = before.enqueueTotal;
  EXPECT_TRUE(after == before) << "the refused entries changed the shadow";
  EXPECT_EQ(chipWord(9), written);
  expectChipAsShadow(*low);
}

// Every order of a null-FAP entry and single-FAP entries at one key, in one stream: after each
// step the chip reads what the shadow means, FAP 2 (no entry of its own) the null FAP's entry.
TEST_P(FapSharing, NullFapAndSingleFapsAtOneKeyKeepChipAndShadowEqual) {
  auto const util = create(GetParam().util, m_);
  for (unsigned fap : {0u, 1u, 2u}) addFap(*util, fap);
  struct Step {
    unsigned fap, value;
    std::uint8_t flags;
    std::uint32_t fap0, fap1, fap2;  // what FAPs 0 to 2 read afterwards, as the value written
  };
  // A direct table's values are bits: 1 and 0 stand for the null FAP's and a single FAP's.
  bool const direct = GetParam().field != "mtuProfile";
  unsigned const common = direct ? 1 : 9, own = direct ? 0 : 2;
  Step const steps[] = {
      {128, common, 0, common, common, common},   // every FAP
      {0, own, 0, own, common, common},           // FAP 0 overrides
      {0, own, kDelete, common, common, common},  // and gives the common entry back
      {1, own, 0, common, own, common},
      {128, common, 0, common, own, common},  // a null-FAP write keeps FAP 1's own entry
      {128, common, kDelete, 0, own, 0},      // so does a null-FAP delete
      {1, own, kDelete, 0, 0, 0},
      {0, own, 0, own, 0, 0},
      {128, common, 0, own, common, common},
      {0, own, kDelete | kTableDelete, common, common, common},
  };
  auto const valueOf = [&](std::uint32_t word) {
    if (direct) return word;
    return (word >> 1) & 0xF;  // mtuProfile sits at bits 1 to 4 of the Out-RIF entry
  };
  for (auto const& s : steps) {
    SCOPED_TRACE(fmt::format("fap {} value {} flags {}", s.fap, s.value, s.flags));
    offer(*util, s.fap, s.value, s.flags);
    expectChipAsShadow(*util);
    EXPECT_EQ(valueOf(chipWord(0)), s.fap0);
    EXPECT_EQ(valueOf(chipWord(1)), s.fap1);
    EXPECT_EQ(valueOf(chipWord(2)), s.fap2);
  }
  // A single FAP's table clear gives it the null FAP's entry back; the null FAP's clears all.
  offer(*util, 1, own, 0);
  chip_.execute(util->clearHwTable(Asic::UnitId::of(1, 0)));
  expectChipAsShadow(*util);
  EXPECT_EQ(valueOf(chipWord(1)), common);
  chip_.execute(util->clearHwTable(Asic::UnitId::of(128, 0)));
  expectChipAsShadow(*util);
  EXPECT_EQ(chipWord(0) | chipWord(1) | chipWord(2), 0u);
}

INSTANTIATE_TEST_SUITE_P(Tables, FapSharing, ::testing::ValuesIn(kKinds),
                         [](auto const& info) { return std::string(info.param.table); });

}  // namespace
}  // namespace eedb::test
