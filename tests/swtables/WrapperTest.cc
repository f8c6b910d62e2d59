// Wrappers, log Flume entries and constants of the software tables.
#include <gtest/gtest.h>

#include <tuple>

#include "pelix/Ptr.h"
#include "zuri_errm/SwTables.h"

namespace {

using namespace ZuriErrm;
using ZuriErrmArp::EedbArpTableLogEntryWrapper;

using AllWrappers =
    ::testing::Types<EedbOutrifLogEntryWrapper, EedbMplsTunnelTableLogEntryWrapper,
                     EedbSrv6LogEntryWrapper, EedbIpTunnelLogEntryWrapper,
                     EedbVxlanTunnelLogEntryWrapper, EedbArpTableLogEntryWrapper,
                     EedbSubIntfOutAcTableLogEntryWrapper, EedbTapAggTableLogEntryWrapper,
                     EedbSflowTableLogEntryWrapper, EedbStatTableLogEntryWrapper,
                     EedbAgMemTlmLogEntryWrapper, EedbDataByLocalOutlifMsbsLogEntryWrapper>;

template <class W>
class WrapperTest : public ::testing::Test {};
TYPED_TEST_SUITE(WrapperTest, AllWrappers);

// Another table's wrapper: the Out-RIF one, or the MPLS one for the Out-RIF table itself.
template <class W>
using OtherWrapper =
    std::conditional_t<std::is_same_v<W, EedbOutrifLogEntryWrapper>,
                       EedbMplsTunnelTableLogEntryWrapper, EedbOutrifLogEntryWrapper>;

TYPED_TEST(WrapperTest, DowncastFindsOwnTableOnly) {
  using W = TypeParam;
  Pelix::Ptr<Asic::LogEntryWrapperBase> base =
      Pelix::make<W>(typename W::LogEntry{}, Asic::UnitId::of(3, 4), LogFlumeFlags::kDelete);
  auto const own = Pelix::dynamic_pointer_cast<W>(base);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->unitId(), Asic::UnitId(0x0304));
  EXPECT_TRUE(own->isDelete());
  EXPECT_FALSE(Pelix::dynamic_pointer_cast<OtherWrapper<W>>(base));
  EXPECT_EQ(base->refCount(), 2u);
}

TYPED_TEST(WrapperTest, CarriesFlumeEntryUnchanged) {
  using W = TypeParam;
  typename W::FlumeEntry flume(typename W::LogEntry{}, Asic::UnitId(0x80ff), 0xfe,
                               LogFlumeHeader{0x1122334455667788});
  auto const w = Pelix::make<W>(flume);
  EXPECT_EQ(w->flumeEntry(), flume);
  EXPECT_EQ(w->flumeEntry().header().sequence, 0x1122334455667788u);
  EXPECT_EQ(w->flags(), 0xfe);
  EXPECT_FALSE(w->isDelete());
  EXPECT_TRUE(w->isTableDelete());
}

TEST(LogFlumeEntryTest, FlagBits) {
  struct Case {
    std::uint8_t flags;
    bool del;
    bool tableDel;
  };
  for (auto const c : {Case{0x00, false, false}, Case{0x01, true, false}, Case{0x02, false, true},
                       Case{0x03, true, true}, Case{0xfc, false, false}, Case{0xfd, true, false}}) {
    EedbOutrifLogFlumeEntry const f({}, Asic::UnitId(), c.flags);
    EXPECT_EQ(f.isDelete(), c.del) << int(c.flags);
    EXPECT_EQ(f.isTableDelete(), c.tableDel) << int(c.flags);
  }
}

TEST(LogFlumeEntryTest, FlagSettersTouchOnlyTheirBit) {
  EedbOutrifLogFlumeEntry f({}, Asic::UnitId(), 0xf0);
  f.deleteIs(true);
  EXPECT_EQ(f.flags(), 0xf1);
  f.tableDeleteIs(true);
  EXPECT_EQ(f.flags(), 0xf3);
  f.deleteIs(false);
  EXPECT_EQ(f.flags(), 0xf2);
  f.tableDeleteIs(false);
  EXPECT_EQ(f.flags(), 0xf0);
}

TEST(ConstantsTest, SwTableIds) {
  EXPECT_EQ(EedbOutrifConstants::swTableId.value(), 0x03010C07u);
  EXPECT_EQ(EedbOutrifConstants::swTableId.value(), 50400263u);
  EXPECT_EQ(EedbMplsTunnelTableConstants::swTableId.value(), 0x03010C06u);
  EXPECT_EQ(EedbSrv6Constants::swTableId.value(), 0x03010C09u);
  EXPECT_EQ(EedbIpTunnelConstants::swTableId.value(), 50400260u);
  EXPECT_EQ(EedbVxlanTunnelConstants::swTableId.value(), 0x03010C0Du);
  EXPECT_EQ(ZuriErrmArp::EedbArpTableConstants::swTableId.value(), 0x03011001u);
  EXPECT_EQ(EedbSubIntfOutAcTableConstants::swTableId.value(), 0x03010C0Bu);
  EXPECT_EQ(EedbTapAggTableConstants::swTableId.value(), 0x03010C0Cu);
  EXPECT_EQ(EedbSflowTableConstants::swTableId.value(), 0x03010C08u);
  EXPECT_EQ(EedbStatTableConstants::swTableId.value(), 0x03010C0Au);
  EXPECT_EQ(EedbAgMemTlmConstants::swTableId.value(), 0x03010C01u);
  EXPECT_EQ(EedbDataByLocalOutlifMsbsConstants::swTableId.value(), 0x03010C03u);
}

TEST(KeyTest, CompoundKeysKeepTheirWords) {
  EedbIpTunnelEntryKey const ip(0x11, 0x22);
  EXPECT_EQ(ip.outlif(), 0x11u);
  EXPECT_EQ(ip.dipOutlif(), 0x22u);
  EedbSflowTableEntryKey sflow(1, 2, 3);
  sflow.dataOutlifIs(0xffffffff);
  EXPECT_EQ(sflow, EedbSflowTableEntryKey(1, 0xffffffff, 3));
  // Direct tables key on 16 bits: the top value stays unsigned.
  EXPECT_EQ(EedbAgMemTlmEntryKey(0xffff).value(), 0xffffu);
  static_assert(sizeof(EedbDataByLocalOutlifMsbsEntryKey) == 2);
}

}  // namespace
