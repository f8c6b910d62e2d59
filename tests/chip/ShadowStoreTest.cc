// The shadow's look-ups against a plain map: the store remembers the key written or erased
// last and answers for it without a look-up, and a replace goes to the slot found before it.
// Random runs over few keys of two shadow keys make a remembered key go stale in every way:
// another key's insert that moves the slots, an erase, a table clear.
#include <cstdint>
#include <map>
#include <random>
#include <utility>

#include <gtest/gtest.h>

#include "chip26_a0/EedbHwMdb.h"

namespace chip26_a0 {
namespace {

using Key = EedbHwMdb::EntryKey;
using ZuriAsicUtils::HwShadowKey;

HwShadowKey shadowKeyOf(unsigned i) {
  return {SchanAccel::FapId(i == 0 ? 0 : 128), static_cast<ZuriAsicUtils::InstanceId>(i)};
}

EedbHwMdb::Entry rif(std::uint32_t key, unsigned mtu) {
  EedbHwMdb::EedbRifBasicEtpsEthRif60Entry e{Key(key)};
  e.handleInitialized();
  e.mtuProfileIs(U4(mtu));
  return e;
}

TEST(ShadowStore, LookUpsAgreeWithAMapThroughWritesReplacesErasesAndClears) {
  auto const table = Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
  std::map<std::pair<unsigned, std::uint32_t>, EedbHwMdb::Entry> model;
  std::mt19937 random(26);
  auto pick = [&](unsigned n) { return static_cast<unsigned>(random() % n); };

  for (int step = 0; step < 20000; ++step) {
    unsigned const s = pick(2);
    auto const shadowKey = shadowKeyOf(s);
    // Keys 0..39 (the slots move as the sets grow), now and then a far one.
    std::uint32_t const key = pick(10) == 0 ? 0xF0000 + pick(4) : pick(40);
    switch (pick(6)) {
      case 0: {
        auto const entry = rif(key, pick(16));
        table->setEntry(shadowKey, entry);
        model.insert_or_assign({s, key}, entry);
        break;
      }
      case 1: {
        auto* stored = table->entryToReplace(shadowKey, Key(key));
        auto const it = model.find({s, key});
        ASSERT_EQ(stored != nullptr, it != model.end()) << "key " << key;
        auto const entry = rif(key, pick(16));
        table->replaceEntry(shadowKey, stored, entry);
        model.insert_or_assign({s, key}, entry);
        break;
      }
      case 2:
        table->deleteEntry(shadowKey, Key(key), 60);
        model.erase({s, key});
        break;
      case 3:
        if (pick(50) == 0) {
          table->clearTable(SchanAccel::FapId::null);
          model.clear();
        }
        break;
      default:
        break;
    }
    // Every answer, the remembered key's first.
    for (unsigned probe = 0; probe < 3; ++probe) {
      unsigned const ps = probe == 0 ? s : pick(2);
      std::uint32_t const pk = probe == 0 ? key : pick(40);
      auto const* found = table->findEntry(shadowKeyOf(ps), Key(pk));
      auto const it = model.find({ps, pk});
      ASSERT_EQ(found != nullptr, it != model.end()) << "step " << step << " key " << pk;
      if (found != nullptr) {
        ASSERT_TRUE(found->isEq(it->second)) << "step " << step;
      }
      auto const cmds = table->schanCmds(shadowKeyOf(ps), Key(pk), 60, nullptr);
      ASSERT_EQ(cmds.size(), 1u);
      EXPECT_EQ(cmds[0].op, found != nullptr ? ZuriAsicUtils::SchanCmd::Op::write
                                             : ZuriAsicUtils::SchanCmd::Op::clear);
    }
  }
  EXPECT_EQ(table->entryCount(), model.size());
}

// A large slot array starts on a huge page boundary; a smaller one is allocated as usual. A store
// grown through that size keeps every entry.
TEST(ShadowStore, LargeSlotArraysStartOnAHugePage) {
  detail::SlotAllocator<std::uint64_t> allocator;
  std::size_t const large = detail::kHugePagedArrayBytes / sizeof(std::uint64_t);
  for (std::size_t const n : {large, large * 3 + 1}) {
    auto* p = allocator.allocate(n);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % detail::kHugePageBytes, 0u) << n;
    p[n - 1] = 1;
    allocator.deallocate(p, n);
  }
  auto* small = allocator.allocate(16);
  small[15] = 1;
  allocator.deallocate(small, 16);

  auto const table = Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
  std::uint32_t const entries = 2 * detail::kHugePagedArrayBytes / sizeof(EedbHwMdb::Entry);
  for (std::uint32_t key = 0; key < entries; ++key)
    table->setEntry(shadowKeyOf(0), rif(key, key % 16));
  ASSERT_EQ(table->entryCount(), entries);
  for (std::uint32_t key = 0; key < entries; ++key) {
    auto const* found = table->findEntry(shadowKeyOf(0), Key(key));
    ASSERT_NE(found, nullptr) << key;
    ASSERT_TRUE(found->isEq(rif(key, key % 16))) << key;
  }
}

// A null-FAP write at a key where single FAPs hold entries of their own: the null FAP's command,
// then each FAP's own entry again, in FAP order. Up to four such FAPs the list stays in its inline
// slots (its capacity is theirs: nothing went to the heap); a fifth moves it to the heap.
TEST(ShadowStore, NullFapCommandsOfUpToFourFapsStayInline) {
  auto const table = Pelix::make<EedbHwMdb>(
      "EedbHwMdb",
      ZuriAsicUtils::HwTableKey{"EedbHwMdb", Hardware::Zuri::FapRevision::fapRevGen3A0()},
      Pelix::make<ZuriAsicUtils::TableManager>(), Pelix::make<ZuriMdb::TableManager>());
  HwShadowKey const common{SchanAccel::FapId::null, 0};
  table->setEntry(common, rif(0x40, 15));
  for (unsigned faps = 0; faps <= 5; ++faps) {
    SCOPED_TRACE(faps);
    if (faps > 0) table->setEntry({SchanAccel::FapId(faps - 1), 0}, rif(0x40, faps));
    auto const cmds = table->schanCmds(common, Key(0x40), 60, nullptr);
    ASSERT_EQ(cmds.size(), faps + 1);
    EXPECT_EQ(cmds[0], EedbHwMdb::encode(common, rif(0x40, 15)));
    for (unsigned fap = 0; fap < faps; ++fap) {
      EXPECT_EQ(cmds[fap + 1], EedbHwMdb::encode({SchanAccel::FapId(fap), 0}, rif(0x40, fap + 1)));
    }
    if (faps <= 4) {
      EXPECT_EQ(cmds.capacity(), ZuriAsicUtils::kInlineSchanCmds);
    } else {
      EXPECT_GT(cmds.capacity(), ZuriAsicUtils::kInlineSchanCmds);
    }
  }
}

}  // namespace
}  // namespace chip26_a0
