// ZuriAsicUtils::HwCommonTableBase: base of every hardware table object (the chip's table
// access classes). A table enters its table manager's collection under its HwTableKey when it
// is built and leaves it when it goes.
//
// Threading. The agent calls the table utilities, and through them the hardware tables of a
// table manager, from one thread at a time, and nothing here takes a lock: the path of a log
// entry stays lock-free.
//   - Different threads at different times are fine, when the agent orders the hand-over from
//     one to the next (a lock, a queue or a join between them does).
//   - A call made from inside another call on the same thread (a trace or log sink calling back,
//     say) runs when it goes to another hardware table. A call into the hardware table that the
//     outer operation is inside ends in a fatal assertion naming both operations, before it
//     touches the table: the outer operation keeps what it found in the shadow (the slot of its
//     key, the entry it replaces) across its translation and traces, and a nested delete or a
//     nested insert that rehashes the table would leave that stale.
//   - Two threads inside the hardware tables of one table manager at once are a breach: in one
//     table, through one table utility or through two that share it (the MDB table utilities
//     do), or in two tables of the manager (Out-RIF on the EEDB and AgMemTlm on its direct
//     table), which share the manager's SCHAN enqueue statistics. Each table utility operation
//     that reads or changes the shadow stays inside its table while it runs (TableEntry), and a
//     second thread that enters any table of the manager meanwhile ends in a fatal assertion
//     naming both table utilities, before it touches the table. Two threads that enter within
//     the few nanoseconds a store takes to reach the other core both get in unseen, and what
//     they do to the shadow meanwhile (two inserts may reshape its hash table at once) is
//     undefined; a breach that goes on is caught at its next overlap. The check names a breach;
//     it does not make one safe.
// The words of the check are the manager's (TableOccupancy); a table built without a manager
// keeps its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kiv/AllocTrack.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"
#include "zuri_asic_utils/TableOccupancy.h"

namespace ZuriAsicUtils {

class TableManager;

class HwCommonTableBase : public Pelix::Node {
 public:
  HwCommonTableBase(Pelix::String name, HwTableKey key, Pelix::Ptr<TableManager> const& manager);
  ~HwCommonTableBase() override;

  Pelix::String const& name() const noexcept { return name_; }
  HwTableKey const& key() const noexcept { return key_; }
  // The full class name of the table, e.g. "chip26_a0::EedbHwMdb".
  virtual Pelix::String tableType() const = 0;

  // Clears the entries of every shadow key of this FAP (the null FAP id clears every FAP) and
  // returns the commands that clear their places on the chip, in shadow order.
  virtual SchanCmds clearTable(SchanAccel::FapId fapId) = 0;

  // The tracker that recorded this table's allocation, told of its release when the table goes.
  void allocationTrackerIs(Kiv::AllocTrackTypeInfo* tracker, std::size_t size) noexcept {
    allocationTracker_ = tracker;
    allocationSize_ = size;
  }

  // When set, a delete writes the reverted entry back instead of removing the entry.
  bool updateOnDelete() const noexcept { return updateOnDelete_; }
  void updateOnDeleteIs(bool on) noexcept { updateOnDelete_ = on; }

  // ---- one thread at a time (see Threading above) ----

  // Enters the table for `visit`: a table utility, the table's memory name and the operation.
  // False for an entry of the thread already inside another table of the manager: that one
  // leaves nothing. A fatal assertion naming both table utilities, the table as its memory and
  // the operation while another thread is inside a table of the manager, or while this thread is
  // inside this table (naming both operations then).
  [[gnu::always_inline]] bool enter(TableVisit const& visit) noexcept {
    TableOccupancy& occupancy = *occupancy_;
    auto const* inside = occupancy.visit.load(std::memory_order_acquire);
    if (inside != nullptr) [[unlikely]]
      return enterWhileInside(*inside, visit);
    occupancy.thread.store(currentThread(), std::memory_order_relaxed);
    occupancy.table.store(this, std::memory_order_relaxed);
    occupancy.visit.store(&visit, std::memory_order_release);  // whoever sees it sees the rest
    return true;
  }
  // Leaves the table after an entry for which enter() answered true.
  [[gnu::always_inline]] void leave() noexcept {
    occupancy_->visit.store(nullptr, std::memory_order_release);
  }
  // The table utility inside this table, empty when none is.
  std::string_view utilInside() const noexcept {
    auto const* inside = occupancy_->visit.load(std::memory_order_acquire);
    if (inside == nullptr || occupancy_->table.load(std::memory_order_relaxed) != this) return {};
    return inside->util;
  }

 private:
  // An id of the calling thread, unique among the live threads: its thread pointer.
  [[gnu::always_inline]] static std::uintptr_t currentThread() noexcept {
    return reinterpret_cast<std::uintptr_t>(__builtin_thread_pointer());
  }
  // False (and nothing to leave) when the calling thread is the one inside and in another table;
  // otherwise fatal.
  [[gnu::cold, gnu::noinline]] bool enterWhileInside(TableVisit const& inside,
                                                     TableVisit const& visit) const noexcept;

  Pelix::String name_;
  HwTableKey key_;
  Pelix::Ptr<TableManager> manager_;
  bool updateOnDelete_ = false;
  Kiv::AllocTrackTypeInfo* allocationTracker_ = nullptr;
  std::size_t allocationSize_ = 0;
  // Where the check's words are: the manager's, or ownOccupancy_ without a manager. Plain loads
  // and plain stores, and no check as the table is left: a locked instruction cost a fifth of an
  // entry's time in cache, a check on leaving nine more instructions per entry. An entry stores
  // three words (the names of what enters are one static TableVisit).
  TableOccupancy ownOccupancy_;
  TableOccupancy* occupancy_;
};

// A table utility operation's stay inside its hardware table (none when no table is bound).
class TableEntry {
 public:
  // `visit` of static storage.
  [[gnu::always_inline]] TableEntry(HwCommonTableBase* table, TableVisit const& visit) noexcept
      : table_(table != nullptr && table->enter(visit) ? table : nullptr) {}
  [[gnu::always_inline]] ~TableEntry() {
    if (table_ != nullptr) table_->leave();
  }
  TableEntry(TableEntry const&) = delete;
  TableEntry& operator=(TableEntry const&) = delete;

 private:
  HwCommonTableBase* table_;  // the table to leave, if this is the outermost entry
};

}  // namespace ZuriAsicUtils
