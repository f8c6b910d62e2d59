// The agent's collection of hardware table objects and its SCHAN enqueue statistics.
#include "zuri_asic_utils/TableManager.h"

#include "kiv/HashHelper.h"
#include "zuri_asic_utils/HwCommonTableBase.h"

namespace ZuriAsicUtils {

std::uint64_t TableSchanEnqueueStats::entryEnqueueCnt(HwShadowKey key) const {
  auto it = counts_.find(key.packed());
  return it == counts_.end() ? 0 : it->second;
}

TableSchanEnqueueStats& TableManagerStats::recordIs(Asic::SwTableId id) {
  auto& record = records_[id.value()];
  if (!record) record = Pelix::make<TableSchanEnqueueStats>();
  last_ = record.get();
  lastId_ = id.value();
  return *record;
}

Pelix::Ptr<TableSchanEnqueueStats> TableManagerStats::record(Asic::SwTableId id) const {
  auto it = records_.find(id.value());
  if (it == records_.end()) return Pelix::Ptr<TableSchanEnqueueStats>();
  last_ = it->second.get();
  lastId_ = id.value();
  return it->second;
}

// The collection is searched with the process hash seed mixed with the table collection's salt.
TableManager::TableManager()
    : tables_(0, KeyHash{Kiv::HashHelper::hashSeed32() ^ 0x8117C374u}),
      stats_(Pelix::make<TableManagerStats>()) {}

TableManager::~TableManager() = default;

std::optional<HwCommonTableBase*> TableManager::findTable(HwTableKey const& key) const {
  auto it = tables_.find(key);
  if (it == tables_.end()) return std::nullopt;
  return it->second;
}

void TableManager::tableIs(HwTableKey const& key, HwCommonTableBase* table) {
  tables_.insert_or_assign(key, table);
}

void TableManager::tableDel(HwTableKey const& key, HwCommonTableBase const* table) {
  auto it = tables_.find(key);
  if (it != tables_.end() && it->second == table) tables_.erase(it);
}

HwCommonTableBase::HwCommonTableBase(Pelix::String name, HwTableKey key,
                                     Pelix::Ptr<TableManager> const& manager)
    : name_(std::move(name)),
      key_(std::move(key)),
      manager_(manager),
      occupancy_(manager_ ? &manager_->occupancy() : &ownOccupancy_) {
  if (manager_) manager_->tableIs(key_, this);
}

HwCommonTableBase::~HwCommonTableBase() {
  if (manager_) manager_->tableDel(key_, this);
  if (allocationTracker_ != nullptr) allocationTracker_->trackDeallocation(allocationSize_);
}

}  // namespace ZuriAsicUtils
