// The two families of table utilities: what differs between the fourteen that share the MDB
// table of a revision and the two that own a direct table (their base class, hardware table,
// third constructor argument and whether they have views).
#pragma once

#include <string_view>

#include "chip26_a0/EedbHwMdb.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
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

  static ThirdArg const& pick(Pelix::Ptr<ZuriMdb::TableManager> const&,
                              Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> const& hwWriterStatus) {
    return hwWriterStatus;
  }
  static Pelix::Ptr<HwTable> makeTable(ZuriAsicUtils::HwTableKey const& key, Base const& util) {
    return Pelix::make<HwTable>(Pelix::String(kHwTableName), key, util.hwTableManager());
  }
};

}  // namespace eedb
