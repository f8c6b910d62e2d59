// ZuriAsicUtils::TableManager: the agent's collection of hardware table objects and its SCHAN
// enqueue statistics. The statistics are shared by every hardware table of the manager and take
// no lock: one thread at a time in the tables of one manager, which the one-thread check guards
// (see Threading in HwCommonTableBase.h; its words are the manager's TableOccupancy).
#pragma once

#include <cstdint>
#include <optional>

#include <absl/container/flat_hash_map.h>

#include "asic/Types.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/TableOccupancy.h"

namespace ZuriAsicUtils {

class HwCommonTableBase;

// SCHAN enqueue counts of one software table, per shadow key.
class TableSchanEnqueueStats : public Pelix::Node {
 public:
  // Counted for every entry: the count of the last shadow key is kept at hand.
  void entryEnqueueCntInc(HwShadowKey key, unsigned count) {
    if (lastCount_ == nullptr || lastKey_ != key.packed()) {
      lastKey_ = key.packed();
      lastCount_ = &counts_[lastKey_];  // the only insertion: no other pointer to re-take
    }
    *lastCount_ += count;
    total_ += count;
  }
  std::uint64_t entryEnqueueCnt(HwShadowKey key) const;
  std::uint64_t totalEnqueueCnt() const noexcept { return total_; }

 private:
  absl::flat_hash_map<std::uint16_t, std::uint64_t> counts_;  // by HwShadowKey::packed()
  std::uint64_t total_ = 0;
  std::uint64_t* lastCount_ = nullptr;
  std::uint16_t lastKey_ = 0;
};

class TableManagerStats : public Pelix::Node {
 public:
  // The record of a software table; created on first use and kept as long as the statistics,
  // so the reference stays valid. Both look-ups run for every entry, so the record of the last
  // software table asked for is kept at hand.
  TableSchanEnqueueStats& schanEnqueueStatsIs(Asic::SwTableId id) {
    if (last_ != nullptr && lastId_ == id.value()) return *last_;
    return recordIs(id);
  }
  // The record, or an empty pointer when none was created.
  Pelix::Ptr<TableSchanEnqueueStats> schanEnqueueStats(Asic::SwTableId id) const {
    if (last_ != nullptr && lastId_ == id.value()) return Pelix::Ptr<TableSchanEnqueueStats>(last_);
    return record(id);
  }
  std::size_t recordCount() const noexcept { return records_.size(); }

 private:
  TableSchanEnqueueStats& recordIs(Asic::SwTableId id);
  Pelix::Ptr<TableSchanEnqueueStats> record(Asic::SwTableId id) const;

  // Records are never removed, so the kept pointer stays valid.
  absl::flat_hash_map<std::uint32_t, Pelix::Ptr<TableSchanEnqueueStats>> records_;
  mutable TableSchanEnqueueStats* last_ = nullptr;
  mutable std::uint32_t lastId_ = 0;
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
  // Which operation is inside the manager's hardware tables (the one-thread check).
  TableOccupancy& occupancy() noexcept { return occupancy_; }

 private:
  struct KeyHash {
    std::uint32_t seed;
    std::size_t operator()(HwTableKey const& k) const noexcept { return k.hash(seed); }
  };
  absl::flat_hash_map<HwTableKey, HwCommonTableBase*, KeyHash> tables_;
  Pelix::Ptr<TableManagerStats> stats_;
  TableOccupancy occupancy_;
};

}  // namespace ZuriAsicUtils

namespace ZuriMdb {

// The MDB's table manager: passed through to the MDB-backed tables only.
class TableManager : public Pelix::Node {};

}  // namespace ZuriMdb
