// The table-utility framework: registration keys, base classes, statistics and context.
#include "zuri_asic_utils/UtilBase.h"

#include <algorithm>

namespace ZuriAsicUtils {

UtilBase::UtilBase(UtilKey const& utilKey, Pelix::Ptr<TableManager> const& hwTableManager)
    : utilKey_(utilKey), hwTableManager_(hwTableManager) {}

UtilBase::~UtilBase() = default;

bool UtilBase::requiresEntryByEntryDeletion() const {
  return false;
}

// An empty pointer names no FAP and changes nothing.
void UtilBase::fapIdIs(Pelix::Ptr<FapControlData const> const& fap) {
  if (fap) fapmask_.set(fap->fapId());
}

void UtilBase::fapIdDel(SchanAccel::FapId fapId) {
  fapmask_.clear(fapId);
}

Pelix::Ptr<UtilStats> UtilBase::statsIs() {
  stats_ = Pelix::make<UtilStats>();
  return stats_;
}

MdbUtilBase::MdbUtilBase(UtilKey const& utilKey, Pelix::Ptr<TableManager> const& hwTableManager,
                         Pelix::Ptr<ZuriMdb::TableManager> const& mdbTableManager)
    : UtilBase(utilKey, hwTableManager), mdbTableManager_(mdbTableManager) {}

MdbUtilBase::~MdbUtilBase() = default;

// The MDB keeps no per-FAP state of its own here: the FAP mask is all there is to maintain.
void MdbUtilBase::fapIdIs(Pelix::Ptr<FapControlData const> const& fap) {
  UtilBase::fapIdIs(fap);
}

void MdbUtilBase::fapIdDel(SchanAccel::FapId fapId) {
  UtilBase::fapIdDel(fapId);
}

NonMdbUtilBase::NonMdbUtilBase(UtilKey const& utilKey,
                               Pelix::Ptr<TableManager> const& hwTableManager,
                               Pelix::Ptr<HwWriterStatus> const& hwWriterStatus)
    : UtilBase(utilKey, hwTableManager), hwWriterStatus_(hwWriterStatus) {}

NonMdbUtilBase::~NonMdbUtilBase() = default;

void UtilHolderContext::registerUtil(UtilKey const& key, UtilFactory const& factory) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&key](Registration const& r) { return r.key == key; });
  if (it != registrations_.end()) {
    it->factory = factory;
    return;
  }
  registrations_.push_back({key, factory});
}

UtilFactory const* UtilHolderContext::findFactory(UtilKey const& key) const {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&key](Registration const& r) { return r.key == key; });
  return it == registrations_.end() ? nullptr : &it->factory;
}

}  // namespace ZuriAsicUtils
