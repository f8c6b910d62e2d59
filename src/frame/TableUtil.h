// The class frame of every table utility: its lifecycle (creation in slab storage with allocation
// tracking, binding to the hardware table of its revision, statistics, destruction) and the
// operations the agent calls, each a thin member that runs the pipeline (pipeline/UtilAccessor.h)
// or the translation frame (translate/Translation.h).
//
// A table's source file derives its class from MdbTableUtil or DirectTableUtil and adds only its
// own rules, which translate/TableContract.h checks when the class is complete:
//   kName                        the class name with namespaces (its trace handle and the
//                                one-thread assertion take the name without them)
//   Views                        (MDB) the view map (translate/ViewMap.h): the key rule, and per
//                                view type its format and the rules below that the format takes;
//                                a view type outside the map is not the table's
//   swKeyValue(logEntry)         (MDB, key rule ownKey) the software key value that becomes the
//                                hardware key
//   setTranslatorFields(hw, sw)  (MDB, per format, named in its view) the translator's own fields
//   doSetHwEntry(unit, sw, hw)   (MDB, per format, named in its view) the per-format hook, run
//                                under its guard
//   fillEntry(hw, sw)            (direct) the one field of the entry; the key is the log key
//
// The agent calls the table utilities of one table manager from one thread at a time; the table
// utilities take no lock. Each operation below that reads or changes the shadow enters the
// hardware table first (enterTable), so that a second thread in any hardware table of the same
// manager meanwhile is a fatal assertion naming both table utilities, and a call from inside the
// operation (a trace sink calling back) into the same hardware table is one naming both
// operations: the operation keeps the slot it found across translation and traces. See
// ZuriAsicUtils::HwCommonTableBase for the whole rule.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "asic/OrderedTableException.h"
#include "asic/Types.h"
#include "frame/Export.h"
#include "frame/Family.h"
#include "kiv/AllocTrack.h"
#include "kiv/Trace.h"
#include "pelix/Ptr.h"
#include "pelix/Slab.h"
#include "pelix/String.h"
#include "pipeline/CheckedCast.h"
#include "pipeline/Downcast.h"
#include "pipeline/Failure.h"
#include "pipeline/Unit.h"
#include "pipeline/UtilAccessor.h"
#include "translate/FieldRules.h"
#include "translate/Translation.h"
#include "translate/ViewMap.h"
#include "zuri_asic_utils/UtilBase.h"

namespace eedb {

// The runtime node flag that the host clears on every table utility it destroys.
inline constexpr std::uint32_t kHostNodeFlagOnDestroy = 0x20000000;

// A table utility's class name without namespaces: the name of its trace handle, and of the table
// utility in the one-thread-at-a-time assertion, which keeps the address of this object.
template <class Util>
inline constexpr std::string_view kShortNameOf = Util::kName.substr(Util::kName.rfind(':') + 1);

// The name of an operation that enters the hardware table, as a template argument.
template <std::size_t N>
struct OperationName {
  consteval OperationName(char const (&name)[N]) { std::copy_n(name, N, text); }
  char text[N];
};

template <class Derived, class FamilyT, class Wrapper, class Constants>
class TableUtil : public FamilyT::Base {
 public:
  using Family = FamilyT;
  using HwTable = typename Family::HwTable;
  using EntryKey = typename HwTable::EntryKey;
  using Entry = typename HwTable::Entry;
  using LogEntry = std::remove_cvref_t<decltype(std::declval<Wrapper const&>().logEntry())>;
  using ThirdArg = typename Family::ThirdArg;
  using ConstantsType = Constants;
  using WrapperType = Wrapper;

  // ---- lifecycle ----

  // The object is built in slab storage recorded with the class's tracker; the constructor ends
  // with handleInitialized(). create() is what the factory and the reflection record call.
  TableUtil(ZuriAsicUtils::UtilKey const& utilKey,
            Pelix::Ptr<ZuriAsicUtils::TableManager> const& hwTableManager, ThirdArg const& third)
      : Family::Base(utilKey, hwTableManager, third) {
    if (!hwTableManager) {
      throw Asic::OrderedTableException(
          fmt::format("{}: created without a hardware table manager", Derived::kName));
    }
    handleInitialized();
  }

  ~TableUtil() override {
    this->nodeFlagSet(kHostNodeFlagOnDestroy, false);
    onDelete();
  }

  static void* operator new(std::size_t size) {
    Kiv::AllocTrackTypeInfo::_trackAllocationNoOverhead(&memAllocationTracker_,
                                                        Derived::kName.data(), size);
    return Pelix::slabAlloc(size);
  }
  static void operator delete(void* p, std::size_t size) noexcept {
    memAllocationTracker_->trackDeallocation(size);
    Pelix::slabFree(p, size);
  }

  static Pelix::Ptr<Derived> create(ZuriAsicUtils::UtilKey const& utilKey,
                                    Pelix::Ptr<ZuriAsicUtils::TableManager> const& hwTableManager,
                                    ThirdArg const& third) {
    return Pelix::Ptr<Derived>(new Derived(utilKey, hwTableManager, third));
  }

  // The registered factory; each family ignores the arguments it does not use.
  static Pelix::Ptr<ZuriAsicUtils::UtilBase> factory(
      ZuriAsicUtils::UtilKey const& utilKey,
      Pelix::Ptr<ZuriAsicUtils::TableManager> const& hwTableManager,
      Pelix::Ptr<ZuriMdb::TableManager> const& mdbTableManager,
      Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> const& hwWriterStatus,
      Pelix::Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig> const&) {
    return create(utilKey, hwTableManager, Family::pick(mdbTableManager, hwWriterStatus));
  }

  static Pelix::String tableName() { return Pelix::String(Derived::kName); }
  Pelix::String hwTableType() const override { return Pelix::String(Family::kHwTableType); }
  Pelix::TypeRecord const* typeData() const override;

  // Binds the hardware table of the revision, creating it on first use, and creates the
  // statistics.
  void handleInitialized() {
    auto const& revision = this->utilKey().fapRevision;
    EEDB_TRACE(_defaultTraceHandle(), 8, "handleInitialized", Derived::kName, "fapRevision: {}",
               revision);
    ZuriAsicUtils::HwTableKey const key(Pelix::String(Family::kHwTableName), revision);
    if (auto const found = this->hwTableManager()->findTable(key)) {
      this->hwTableBaseIs(Pelix::Ptr<ZuriAsicUtils::HwCommonTableBase>(*found));
    } else {
      Kiv::AllocTrackTypeInfo::_trackAllocation(&hwTableTracker_, Family::kHwTableType.data(),
                                                sizeof(HwTable));
      Pelix::Ptr<HwTable> table;
      try {
        table = Family::makeTable(key, *this);
      } catch (...) {
        hwTableTracker_->trackDeallocation(sizeof(HwTable));
        throw;
      }
      table->allocationTrackerIs(hwTableTracker_, sizeof(HwTable));
      this->hwTableBaseIs(std::move(table));
    }
    this->statsIs();
  }

  void onDelete() {
    EEDB_TRACE(_defaultTraceHandle(), 8, "onDelete", Derived::kName, " utilKey: {}",
               this->utilKey());
  }

  // The table utility's trace handle, named after its class without namespaces: each entry's
  // pass at level 3, the table utility's own events at level 8.
  [[gnu::always_inline]] static Kiv::TraceHandle& _defaultTraceHandle() {
    static Kiv::TraceHandle handle(std::string(shortName()), false);
    return handle;
  }
  static constexpr std::string_view shortName() { return kShortNameOf<Derived>; }

  // ---- the pipeline: the agent's operations on log entries (pipeline/UtilAccessor.h) ----

  // One log entry, whole. A pass is quiet while the trace handle's level 3 is off.
  ZuriAsicUtils::SchanCmds processSwEntry(
      Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    auto const inside = enterTable<"processSwEntry">();
    // The caller's reference keeps the wrapper alive for the call: no count of its own is
    // taken, which would write to every entry the agent hands over.
    Wrapper const& wrapper = requireEntry(entry, "processSwEntry");
    if (_defaultTraceHandle().enabled(3)) [[unlikely]]
      return accessor<true>().process(wrapper);
    return accessor<false>().process(wrapper);
  }

  bool utilApplicable(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    std::optional<SchanAccel::FapId> fapId;
    return accessor().applicable(requireEntry(entry, "utilApplicable").flumeEntry(), fapId);
  }

  std::uint32_t writeSwEntryToShadow(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    auto const inside = enterTable<"writeSwEntryToShadow">();
    Wrapper const& wrapper = requireEntry(entry, "writeSwEntryToShadow");
    auto const& flume = wrapper.flumeEntry();
    std::optional<SchanAccel::FapId> fapId;
    if (!accessor().applicable(flume, fapId)) return 0;
    Accessor<true>::traceShadowStage(flume);
    return accessor().writeToShadow(wrapper, accessor().locate(flume, fapId)).sizeBits;
  }

  ZuriAsicUtils::SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                                        std::uint32_t sizeBits) override {
    auto const inside = enterTable<"getSchanCmds">();
    auto const& flume = requireEntry(entry, "getSchanCmds").flumeEntry();
    Accessor<true>::traceCommandStage(flume);
    return accessor().commands(accessor().locate(flume), sizeBits);
  }

  ZuriAsicUtils::SchanCmds clearHwTable(Asic::UnitId unitId) override {
    EEDB_TRACE(_defaultTraceHandle(), 8, "clearHwTable", Derived::kName, " unitId: {}", unitId);
    SchanAccel::FapId const fapId = fapIdOf(unitId);
    auto const inside = enterTable<"clearHwTable">();
    return boundHwTable().clearTable(fapId);
  }

  // ---- the translation frame (translate/Translation.h) ----

  EntryKey mapToHwKey(LogEntry const& logEntry, Asic::UnitId unitId) const {
    return Rules::mapKey(logEntry, unitId);
  }
  EntryKey mapToHwKey_(LogEntry const& logEntry, Asic::UnitId) const {
    return Rules::mapKeyUnguarded(logEntry);
  }
  Entry translateToHwFormat(Pelix::Ptr<Wrapper const> const& entry) const {
    return Rules::translate(self(), requireEntry(entry, "translateToHwFormat"));
  }
  Entry translateToHwFormat_(Pelix::Ptr<Wrapper const> const& entry) const {
    return Rules::translateUnguarded(self(), requireEntry(entry, "translateToHwFormat_"));
  }
  Entry revertHwEntry(Pelix::Ptr<Wrapper const> const& entry) const {
    return Rules::revert(requireEntry(entry, "revertHwEntry"));
  }

  // ---- inspection ----

  // The bound hardware table as the family's class; empty when none is bound or it is of
  // another class.
  Pelix::Ptr<HwTable> hwTable() const {
    return Pelix::Ptr<HwTable>(ZuriAsicUtils::detail::downcast<HwTable>(this->hwTableBase().get()));
  }

  Entry readShadowEntry(SchanAccel::FapId fapId, ZuriAsicUtils::InstanceId instanceId,
                        EntryKey const& hwKey) const {
    ZuriAsicUtils::HwShadowKey const shadowKey(fapId, instanceId);
    // "insanceId": the host's spelling in this trace; its readers match it as it is.
    EEDB_TRACE(_defaultTraceHandle(), 8, "readShadowEntry", Derived::kName,
               " fapId: {} insanceId: {} hwShadowKey: {} key: {}", fapId, instanceId, shadowKey,
               hwKey);
    auto const inside = enterTable<"readShadowEntry">();
    return boundHwTable().getEntry(shadowKey, hwKey);
  }

  // ---- used by the pipeline ----

  // The stay of one operation inside the bound hardware table (one thread at a time), under the
  // operation's one visit record.
  template <OperationName kOperation>
  EEDB_INLINE_STAGE ZuriAsicUtils::TableEntry enterTable() const {
    return ZuriAsicUtils::TableEntry(this->hwTableBase().get(), kVisitOf<kOperation>);
  }
  template <OperationName kOperation>
  static constexpr ZuriAsicUtils::TableVisit kVisitOf{kShortNameOf<Derived>, HwTable::kMemory,
                                                      kOperation.text};

  // The bound hardware table as the family's class; raises Asic::OrderedTableException when none
  // is bound or it is of another class. The class is checked once, as the table is bound.
  EEDB_INLINE_STAGE HwTable& boundHwTable() const {
    if (boundTable_ == nullptr) [[unlikely]]
      throwNoTableBound();
    return *boundTable_;
  }

  // Binds the hardware table (the operations enter it) and keeps it as the family's class,
  // where it is one.
  void hwTableBaseIs(Pelix::Ptr<ZuriAsicUtils::HwCommonTableBase> table) noexcept final {
    boundTable_ = ZuriAsicUtils::detail::downcast<HwTable>(table.get());
    Family::Base::hwTableBaseIs(std::move(table));
  }

  static inline Kiv::AllocTrackTypeInfo* memAllocationTracker_ = nullptr;

 private:
  // The pass with trace sites or without (pipeline/Pass.h); every operation but processSwEntry
  // takes the traced one.
  template <bool kTraced>
  using Accessor = ZuriAsicUtils::UtilAccessor<Derived, kTraced>;
  using Rules = Translation<Derived, true>;

  Derived const& self() const noexcept { return static_cast<Derived const&>(*this); }
  template <bool kTraced = true>
  Accessor<kTraced> accessor() noexcept {
    return Accessor<kTraced>(static_cast<Derived&>(*this));
  }

  // The table's wrapper of the entry; another class is a precondition violation of the agent,
  // reported with the operation's full name.
  template <class Base>
  EEDB_INLINE_STAGE static Wrapper const& requireEntry(Pelix::Ptr<Base> const& entry,
                                                       char const* operation) {
    return ZuriAsicUtils::detail::requireWrapper<Wrapper>(entry, Derived::kName, operation);
  }

  [[noreturn, gnu::cold, gnu::noinline]] static void throwNoTableBound() {
    throw Asic::OrderedTableException(fmt::format("{}: no hardware table of class {} is bound",
                                                  Derived::kName, Family::kHwTableType));
  }

  static inline Kiv::AllocTrackTypeInfo* hwTableTracker_ = nullptr;

  HwTable* boundTable_ = nullptr;  // the bound table as the family's class, or nullptr
};

template <class Derived, class Wrapper, class Constants>
using MdbTableUtil = TableUtil<Derived, MdbFamily, Wrapper, Constants>;

template <class Derived, class HwTable, class Wrapper, class Constants>
using DirectTableUtil = TableUtil<Derived, DirectFamily<HwTable>, Wrapper, Constants>;

}  // namespace eedb
