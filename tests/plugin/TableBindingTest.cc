// A table utility's pass works on the hardware table it is bound to now, whoever bound it: the
// class of the table is checked as it is bound (through the framework's base class too), not as
// each entry passes.
#include "PluginTestSupport.h"
#include "chip26_a0/EedbHwDirect.h"

namespace eedb::test {
namespace {

using ZuriAsicUtils::HwCommonTableBase;
using ZuriAsicUtils::HwTableKey;

TEST(TableBinding, ThePassFollowsEveryBindingOfTheBaseClass) {
  Managers const m;
  auto util = create(kOutrif, m);
  addFap(*util, 0);
  auto const own = mdbTable(*util);
  Managers const other;
  auto const foreign = mdbTable(*create(kOutrif, other));
  UtilBase& base = *util;

  // Another EedbHwMdb, bound through the base class: the entry goes there, and only there.
  base.hwTableBaseIs(foreign);
  EXPECT_EQ(util->processSwEntry(outrif(outrifEntry(7))).size(), 1u);
  EXPECT_NE(storedIn(*foreign, 7), nullptr);
  EXPECT_EQ(storedIn(*own, 7), nullptr);

  // A table of another class: the pass refuses it with its message, before it touches anything.
  auto direct = Pelix::make<chip26_a0::EedbAgMemTlmHwDirect>(
      "EedbAgMemTlmHwDirect", HwTableKey("EedbAgMemTlmHwDirect", kA0), m.hw);
  base.hwTableBaseIs(direct);
  EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>(
                {util.get()}, [&] { util->processSwEntry(outrif(outrifEntry(8))); }),
            "chip26_a0::ZuriErrmUtil::EedbOutrifUtil: no hardware table of class "
            "chip26_a0::EedbHwMdb is bound");
  EXPECT_EQ(direct->entryCount(), 0u);

  // No table at all, then the own one again.
  base.hwTableBaseIs(Pelix::Ptr<HwCommonTableBase>());
  EXPECT_THROW(util->processSwEntry(outrif(outrifEntry(9))), Asic::OrderedTableException);
  base.hwTableBaseIs(own);
  EXPECT_EQ(util->processSwEntry(outrif(outrifEntry(9))).size(), 1u);
  EXPECT_NE(storedIn(*own, 9), nullptr);
  EXPECT_EQ(storedIn(*foreign, 9), nullptr);
}

}  // namespace
}  // namespace eedb::test
