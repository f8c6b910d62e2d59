// The two families of table utilities: what differs between the fourteen that share the MDB
// table of a revision and the two that own a direct table (their base class, hardware table,
// third constructor argument, whether they have views, and how the pass sizes, deletes and
// sends an entry: MDB entries have a format and a size in bits, direct entries neither).
#pragma once

#include <cstdint>
#include <string_view>

#include "asic/LogEntryWrapperBase.h"
#include "chip26_a0/EedbHwMdb.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"
#include "zuri_asic_utils/UtilBase.h"

namespace eedb {

// The MDB family: fourteen table utilities sharing one chip26_a0::EedbHwMdb per revision.
struct MdbFamily {
  using Base = ZuriAsicUtils::MdbUtilBase;
  using HwTable = chip26_a0::EedbHwMdb;
  using ThirdArg = Pelix::Ptr<ZuriMdb::TableManager>;
  static constexpr std::string_view kHwTableName = "EedbHwMdb";
  static constexpr std::string_view kHwTableType = "chip26_a0::EedbHwMdb";
  static constexpr bool kHasViews = true;

  // A delete translates the whole entry, as the system prescribes (its failures stand); the
  // delete's size is the translated entry's.
  static constexpr bool kDeleteTranslates = true;
  using Entry = HwTable::Entry;
  using EntryKey = HwTable::EntryKey;
  // The size of an entry the shadow holds (0 without a format): what a delete must clear.
  static std::uint32_t storedSize(HwTable& table, ZuriAsicUtils::HwShadowKey shadowKey,
                                  EntryKey const& key, std::uint32_t size) {
    auto const* stored = table.findEntry(shadowKey, key);
    return stored != nullptr && stored->hasFormat() ? stored->entrySizeBits() : size;
  }
  // Removes the entry; the stored entry's size where it had one, else the size given.
  static std::uint32_t erase(HwTable& table, ZuriAsicUtils::HwShadowKey shadowKey,
                             HwTable::HashedKey key, std::uint32_t size) {
    std::uint32_t const stored = table.deleteEntry(shadowKey, key, size);
    return stored != 0 ? stored : size;
  }
  // An entry without a format (a table-delete entry of a view this table does not write) has
  // nothing for the chip.
  static bool hasFormat(Entry const& entry) { return entry.hasFormat(); }
  // The commands of the change, given the shadow key's own entry at the key (nullptr: none).
  static ZuriAsicUtils::SchanCmds commands(HwTable const& table,
                                           ZuriAsicUtils::HwShadowKey shadowKey,
                                           EntryKey const& key, std::uint32_t sizeBits,
                                           Entry const* own) {
    return table.schanCmdsOf(shadowKey, key, sizeBits, own);
  }

  static ThirdArg const& pick(Pelix::Ptr<ZuriMdb::TableManager> const& mdbTableManager,
                              Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> const&) {
    return mdbTableManager;
  }
  static Pelix::Ptr<HwTable> makeTable(ZuriAsicUtils::HwTableKey const& key, Base const& util) {
    return Pelix::make<HwTable>(Pelix::String(kHwTableName), key, util.hwTableManager(),
                                util.mdbTableManager());
  }
};

// The direct family: a table utility with a direct table class of its own.
template <class Table>
struct DirectFamily {
  using Base = ZuriAsicUtils::NonMdbUtilBase;
  using HwTable = Table;
  using ThirdArg = Pelix::Ptr<ZuriAsicUtils::HwWriterStatus>;
  static constexpr std::string_view kHwTableType = Table::kTableType;
  // The class name without namespaces, e.g. "EedbAgMemTlmHwDirect".
  static constexpr std::string_view kHwTableName = kHwTableType.substr(kHwTableType.rfind(':') + 1);
  static constexpr bool kHasViews = false;

  // Direct entries have no size: a delete is not translated, and sizes are 0.
  static constexpr bool kDeleteTranslates = false;
  using Entry = typename HwTable::Entry;
  using EntryKey = typename HwTable::EntryKey;
  static std::uint32_t storedSize(HwTable&, ZuriAsicUtils::HwShadowKey, EntryKey const&,
                                  std::uint32_t size) {
    return size;
  }
  static std::uint32_t erase(HwTable& table, ZuriAsicUtils::HwShadowKey shadowKey,
                             typename HwTable::HashedKey key, std::uint32_t size) {
    table.deleteEntry(shadowKey, key);
    return size;
  }
  static bool hasFormat(Entry const&) { return true; }
  // The table takes no size; the size (0) is not passed on.
  static ZuriAsicUtils::SchanCmds commands(HwTable const& table,
                                           ZuriAsicUtils::HwShadowKey shadowKey,
                                           EntryKey const& key, std::uint32_t, Entry const* own) {
    return table.schanCmdsOf(shadowKey, key, own);
  }

  static ThirdArg const& pick(Pelix::Ptr<ZuriMdb::TableManager> const&,
                              Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> const& hwWriterStatus) {
    return hwWriterStatus;
  }
  static Pelix::Ptr<HwTable> makeTable(ZuriAsicUtils::HwTableKey const& key, Base const& util) {
    return Pelix::make<HwTable>(Pelix::String(kHwTableName), key, util.hwTableManager());
  }
};

}  // namespace eedb
