// ZuriAsicUtils::TableManager: the agent's collection of hardware table objects and its SCHAN
// enqueue statistics.
#pragma once

#include <cstdint>
#include <optional>

#include <absl/container/flat_hash_map.h>

#include "asic/Types.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "zuri_asic_utils/HwKeys.h"

namespace ZuriAsicUtils {

class HwCommonTableBase;

// SCHAN enqueue counts of one software table, per shadow key.
class TableSchanEnqueueStats : public Pelix::Node {
 public:
  void entryEnqueueCntInc(HwShadowKey key, unsigned count);
  std::uint64_t entryEnqueueCnt(HwShadowKey key) const;
  std::uint64_t totalEnqueueCnt() const noexcept { return total_; }

 private:
  absl::flat_hash_map<std::uint16_t, std::uint64_t> counts_;  // by HwShadowKey::packed()
  std::uint64_t total_ = 0;
};

class TableManagerStats : public Pelix::Node {
 public:
  // The record of a software table; created on first use and kept.
  Pelix::Ptr<TableSchanEnqueueStats> schanEnqueueStatsIs(Asic::SwTableId id);
  // The record, or an empty pointer when none was created.
  Pelix::Ptr<TableSchanEnqueueStats> schanEnqueueStats(Asic::SwTableId id) const;
  std::size_t recordCount() const noexcept { return records_.size(); }

 private:
  absl::flat_hash_map<std::uint32_t, Pelix::Ptr<TableSchanEnqueueStats>> records_;
};

class TableManager : public Pelix::Node {
 public:
  TableManager();
  ~TableManager() override;

  // The collection's entry for a key: nullopt when there is none; an entry may hold no table.
  std::optional<HwCommonTableBase*> findTable(HwTableKey const& key) const;
  // Puts an entry (possibly without a table) into the collection, replacing any other.
  void tableIs(HwTableKey const& key, HwCommonTableBase* table);
  // Removes the entry if it still refers to this table.
  void tableDel(HwTableKey const& key, HwCommonTableBase const* table);
  std::size_t tableCount() const noexcept { return tables_.size(); }

  TableManagerStats& stats() noexcept { return *stats_; }

 private:
  struct KeyHash {
    std::uint32_t seed;
    std::size_t operator()(HwTableKey const& k) const noexcept { return k.hash(seed); }
  };
  absl::flat_hash_map<HwTableKey, HwCommonTableBase*, KeyHash> tables_;
  Pelix::Ptr<TableManagerStats> stats_;
};

}  // namespace ZuriAsicUtils

namespace ZuriMdb {

// The MDB's table manager: passed through to the MDB-backed tables only.
class TableManager : public Pelix::Node {};

}  // namespace ZuriMdb
