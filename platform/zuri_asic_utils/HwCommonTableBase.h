// ZuriAsicUtils::HwCommonTableBase: base of every hardware table object (the chip's table
// access classes). A table enters its table manager's collection under its HwTableKey when it
// is built and leaves it when it goes.
//
// Threading. The agent calls the table utilities, and through them their hardware tables, from
// one thread at a time, and nothing here takes a lock: the path of a log entry stays lock-free.
//   - Different threads at different times are fine, when the agent orders the hand-over from
//     one to the next (a lock, a queue or a join between them does).
//   - A call made from inside another call on the same thread (a trace or log sink calling back,
//     say) is fine, whichever table utility it goes to.
//   - Two threads inside one hardware table at once, through one table utility or through two
//     that share the table (the MDB table utilities do), is a breach. Each table utility
//     operation that reads or changes the shadow stays inside its table while it runs
//     (TableEntry), and a second thread that enters meanwhile ends in a fatal assertion naming
//     both table utilities, before it touches the table. Two threads that enter within the few
//     nanoseconds a store takes to reach the other core both get in unseen, and what they do
//     to the shadow meanwhile (two inserts may reshape its hash table at once) is undefined; a
//     breach that goes on is caught at its next overlap. The check names a breach; it does not
//     make one safe.
// Table utilities of different hardware tables share their table manager's statistics, so the
// rule covers them too, although the check does not.
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

  // Enters the table for `util`, a table utility name of static storage. False for a nested
  // entry of the thread already inside: that one leaves nothing. While another thread is inside,
  // a fatal assertion that names both table utilities, the table as `table` and `operation`.
  [[gnu::always_inline]] bool enter(std::string_view const& util, std::string_view table,
                                    char const* operation) noexcept {
    auto const* inside = inside_.load(std::memory_order_acquire);
    if (inside != nullptr) [[unlikely]]
      return enterWhileInside(*inside, util, table, operation);
    insideThread_.store(currentThread(), std::memory_order_relaxed);
    inside_.store(&util, std::memory_order_release);  // whoever sees the name sees the thread
    return true;
  }
  // Leaves the table after an entry for which enter() answered true.
  [[gnu::always_inline]] void leave() noexcept {
    inside_.store(nullptr, std::memory_order_release);
  }
  // The table utility inside the table, empty when none is.
  std::string_view utilInside() const noexcept {
    auto const* inside = inside_.load(std::memory_order_acquire);
    return inside != nullptr ? *inside : std::string_view();
  }

 private:
  // An id of the calling thread, unique among the live threads: its thread pointer.
  [[gnu::always_inline]] static std::uintptr_t currentThread() noexcept {
    return reinterpret_cast<std::uintptr_t>(__builtin_thread_pointer());
  }
  // True (and nothing to leave) when the calling thread is the one inside; otherwise fatal.
  [[gnu::cold, gnu::noinline]] bool enterWhileInside(std::string_view const& inside,
                                                     std::string_view const& util,
                                                     std::string_view table,
                                                     char const* operation) const noexcept;

  Pelix::String name_;
  HwTableKey key_;
  Pelix::Ptr<TableManager> manager_;
  bool updateOnDelete_ = false;
  Kiv::AllocTrackTypeInfo* allocationTracker_ = nullptr;
  std::size_t allocationSize_ = 0;
  // The name of the table utility inside, and the thread that entered last, stored before the
  // name: a thread that finds a name finds the thread of that name's entry (or a later one), so
  // it finds its own id only while it is inside itself. A plain load and plain stores, and
  // no check as the table is left: a locked instruction cost a fifth of an entry's time in
  // cache, a check on leaving nine more instructions per entry.
  std::atomic<std::string_view const*> inside_{nullptr};
  std::atomic<std::uintptr_t> insideThread_{0};
};

// A table utility operation's stay inside its hardware table (none when no table is bound).
class TableEntry {
 public:
  [[gnu::always_inline]] TableEntry(HwCommonTableBase* table, std::string_view const& util,
                                    std::string_view tableName, char const* operation) noexcept
      : table_(table != nullptr && table->enter(util, tableName, operation) ? table : nullptr) {}
  [[gnu::always_inline]] ~TableEntry() {
    if (table_ != nullptr) table_->leave();
  }
  TableEntry(TableEntry const&) = delete;
  TableEntry& operator=(TableEntry const&) = delete;

 private:
  HwCommonTableBase* table_;  // the table to leave, if this is the outermost entry
};

}  // namespace ZuriAsicUtils
