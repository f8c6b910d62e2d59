// The FAP revisions a table utility supports: by default chip types 25 and 26 at their revisions.
#include <algorithm>

#include "zuri_asic_utils/UtilBase.h"

namespace ZuriAsicUtils {

namespace {

using Hardware::ChipType;
using Hardware::Zuri::FapRevision;

std::vector<FapRevision> defaultRevisions() {
  return {FapRevision(ChipType{25}, 'A', 0), FapRevision(ChipType{26}, 'A', 0),
          FapRevision(ChipType{26}, 'B', 0)};
}

}  // namespace

SupportedFapRevList::SupportedFapRevList() : revs_(defaultRevisions()) {}

// One list per process. Its own reference is never dropped, so plug-ins may still walk it
// from their static destructors.
Pelix::Ptr<SupportedFapRevList> SupportedFapRevList::fapRevisionList() {
  static SupportedFapRevList* const list = [] {
    auto* l = new SupportedFapRevList();
    l->incUse();
    return l;
  }();
  return Pelix::Ptr<SupportedFapRevList>(list);
}

std::optional<FapRevision> SupportedFapRevList::first() const {
  if (revs_.empty()) return std::nullopt;
  return revs_.front();
}

std::optional<FapRevision> SupportedFapRevList::next(FapRevision after) const {
  auto it = std::upper_bound(revs_.begin(), revs_.end(), after);
  if (it == revs_.end()) return std::nullopt;
  return *it;
}

// Only a change of the content counts as a modification.
bool SupportedFapRevList::insert(FapRevision rev) {
  auto it = std::lower_bound(revs_.begin(), revs_.end(), rev);
  if (it != revs_.end() && it->isEq(rev)) return false;
  revs_.insert(it, rev);
  ++modCount_;
  return true;
}

bool SupportedFapRevList::erase(FapRevision rev) {
  auto it = std::lower_bound(revs_.begin(), revs_.end(), rev);
  if (it == revs_.end() || !it->isEq(rev)) return false;
  revs_.erase(it);
  ++modCount_;
  return true;
}

void SupportedFapRevList::reset() {
  revs_ = defaultRevisions();
  ++modCount_;
}

std::vector<FapRevision> SupportedFapRevList::revisions() const {
  return revs_;
}

}  // namespace ZuriAsicUtils
