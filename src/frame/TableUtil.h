// The class frame of every table utility: its lifecycle (creation in slab storage with
// allocation tracking, binding to the hardware table of its revision, statistics, destruction)
// and the operations the agent calls. The path of one log entry is pipeline/Pipeline.h; the
// translation frame (key mapping, translation, the per-format hook, revert) is
// translate/Translation.h.
//
// A table's source file derives its class from MdbTableUtil or DirectTableUtil and adds only its
// own rules:
//   kName                        the class name with namespaces (the trace handle and the
//                                assertion texts take the name without them)
//   Views                        (MDB) the view map: view type -> format entry class
//   applicable(logEntry)         (MDB, optional) the table's own condition; default: the view
//                                type is in the view map
//   kKeyMapping                  (optional) KeyMapping::hook for the tables whose key is the low
//                                20 bits of the software key, mapped without the key guard
//   swKeyValue(logEntry)         (optional) the software key value that becomes the hardware
//                                key; default: the log entry's key
//   setTranslatorFields(hw, sw)  (optional, per format) fields that the translator sets itself
//   doSetHwEntry(unit, sw, hw)   (optional, per format) the per-format hook, run under its guard
//   fillEntry(hw, sw)            (direct) the one field of the entry
//
// The agent calls a table utility from one thread at a time; the table utilities take no lock.
// Each operation below that reads or changes the shadow enters the hardware table first
// (enterTable), so that a second thread in the same table meanwhile is a fatal assertion naming
// both table utilities; see ZuriAsicUtils::HwCommonTableBase for the whole rule.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "asic/OrderedTableException.h"
#include "asic/Types.h"
#include "frame/Family.h"
#include "kiv/AllocTrack.h"
#include "kiv/Trace.h"
#include "pelix/Ptr.h"
#include "pelix/Slab.h"
#include "pelix/String.h"
#include "pipeline/CheckedCast.h"
#include "pipeline/Downcast.h"
#include "pipeline/Pipeline.h"
#include "pipeline/Unit.h"
#include "translate/FieldRules.h"
#include "translate/Translation.h"
#include "translate/ViewMap.h"
#include "zuri_asic_utils/UtilBase.h"

namespace eedb {

// The runtime node flag that the host clears on every table utility it destroys.
inline constexpr std::uint32_t kHostNodeFlagOnDestroy = 0x20000000;

// A table utility's class name without namespaces (or a kShortName of its own): the name of its
// trace handle, and of the table utility in the one-thread-at-a-time assertion, which keeps the
// address of this object.
template <class Util>
inline constexpr std::string_view shortNameOf = [] {
  if constexpr (requires { Util::kShortName; }) {
    return Util::kShortName;
  } else {
    return Util::kName.substr(Util::kName.rfind(':') + 1);
  }
}();

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

  static constexpr KeyMapping kKeyMapping = KeyMapping::common;

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

  // Binds the hardware table of the revision, creating it on first use, and creates the
  // statistics.
  void handleInitialized() {
    auto const& revision = this->utilKey().fapRevision;
    EEDB_TRACE(traceHandle(), 8, "handleInitialized", Derived::kName, "fapRevision: {}", revision);
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
    EEDB_TRACE(traceHandle(), 8, "onDelete", Derived::kName, " utilKey: {}", this->utilKey());
  }

  static Pelix::String tableName() { return Pelix::String(Derived::kName); }
  Pelix::String hwTableType() const override { return Pelix::String(Family::kHwTableType); }
  Pelix::TypeRecord const* typeData() const override;

  static constexpr std::string_view shortName() { return shortNameOf<Derived>; }

  // The table utility's trace handle, named after shortName(): per-entry progress at level 3,
  // table events at level 8.
  static Kiv::TraceHandle& traceHandle() {
    static Kiv::TraceHandle handle(std::string(shortName()), false);
    return handle;
  }

  // ---- the operations of the agent ----

  // One log entry: applicability, the shadow, the commands (pipeline/Pipeline.h).
  // The one inlining directive of the pipeline: the whole path of an entry, the table's rules and
  // hooks included, is flattened into this call, so that the entry's values stay in registers
  // across stages and the hooks pack the format's words in registers (callgrind, 4,096 keys:
  // Out-RIF update 505 -> 334 instructions, IP tunnel 661 -> 458).
  [[gnu::flatten]] ZuriAsicUtils::SchanCmds processSwEntry(
      Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    auto const inside = enterTable("processSwEntry");
    bool const traced = traceHandle().enabled(3);  // decided once for the whole entry
    EEDB_ENTRY_TRACE(traced, Derived, "processLogEntry", "", " calling getSchanCmds ");
    return Path::process(self(), requireEntry(entry, "processSwEntry"), traced);
  }

  bool utilApplicable(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    std::optional<SchanAccel::FapId> fapId;
    return Path::applicable(self(), requireEntry(entry, "utilApplicable").flumeEntry(),
                            traceHandle().enabled(3), fapId);
  }

  std::uint32_t writeSwEntryToShadow(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    auto const inside = enterTable("writeSwEntryToShadow");
    Wrapper const& wrapper = requireEntry(entry, "writeSwEntryToShadow");
    bool const traced = traceHandle().enabled(3);
    auto const& flume = wrapper.flumeEntry();
    std::optional<SchanAccel::FapId> fapId;
    if (!Path::applicable(self(), flume, traced, fapId)) return 0;
    Path::traceShadowWrite(flume, traced);
    return Path::writeToShadow(self(), wrapper, Path::locate(self(), flume, traced, fapId), traced)
        .sizeBits;
  }

  ZuriAsicUtils::SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                                        std::uint32_t sizeBits) override {
    auto const inside = enterTable("getSchanCmds");
    auto const& flume = requireEntry(entry, "getSchanCmds").flumeEntry();
    bool const traced = traceHandle().enabled(3);
    Path::traceCommands(flume, traced);
    return Path::commands(self(), Path::locate(self(), flume, traced), sizeBits, traced);
  }

  ZuriAsicUtils::SchanCmds clearHwTable(Asic::UnitId unitId) override {
    EEDB_TRACE(traceHandle(), 8, "clearHwTable", Derived::kName, " unitId: {}", unitId);
    SchanAccel::FapId const fapId = fapIdOf(unitId);
    auto const inside = enterTable("clearHwTable");
    return boundHwTable().clearTable(fapId);
  }

  // ---- inspection (the reflection record's operations) ----

  // The bound hardware table as the family's class; empty when none is bound or it is of
  // another class.
  Pelix::Ptr<HwTable> hwTable() const {
    return Pelix::Ptr<HwTable>(ZuriAsicUtils::detail::downcast<HwTable>(this->hwTableBase().get()));
  }

  Entry readShadowEntry(SchanAccel::FapId fapId, ZuriAsicUtils::InstanceId instanceId,
                        EntryKey const& hwKey) const {
    ZuriAsicUtils::HwShadowKey const shadowKey(fapId, instanceId);
    // "insanceId": the host's spelling of this trace, kept as it is.
    EEDB_TRACE(traceHandle(), 8, "readShadowEntry", Derived::kName,
               " fapId: {} insanceId: {} hwShadowKey: {} key: {}", fapId, instanceId, shadowKey,
               hwKey);
    auto const inside = enterTable("readShadowEntry");
    return boundHwTable().getEntry(shadowKey, hwKey);
  }

  EntryKey mapToHwKey(LogEntry const& logEntry, Asic::UnitId unitId) const {
    return Rules::mapKey(logEntry, unitId, traceHandle().enabled(3));
  }
  Entry translateToHwFormat(Pelix::Ptr<Wrapper const> const& entry) const {
    return Rules::translate(self(), requireEntry(entry, "translateToHwFormat"),
                            traceHandle().enabled(3));
  }
  Entry revertHwEntry(Pelix::Ptr<Wrapper const> const& entry) const {
    Wrapper const& wrapper = requireEntry(entry, "revertHwEntry");
    bool const traced = traceHandle().enabled(3);
    SchanAccel::FapId const fapId = fapIdOf(wrapper.unitId());
    EntryKey const hwKey = Rules::mapKey(wrapper.logEntry(), wrapper.unitId(), traced);
    return Rules::revert(wrapper, fapId, hwKey, traced);
  }

  // ---- used by the pipeline ----

  // The stay of one operation inside the bound hardware table (one thread at a time).
  ZuriAsicUtils::TableEntry enterTable(char const* operation) const {
    return ZuriAsicUtils::TableEntry(this->hwTableBase().get(), shortNameOf<Derived>,
                                     HwTable::kMemory, operation);
  }

  HwTable& boundHwTable() const {
    HwTable* table = ZuriAsicUtils::detail::downcast<HwTable>(this->hwTableBase().get());
    if (table == nullptr) [[unlikely]]
      throwNoTableBound();
    return *table;
  }

  // Defaults of the table rules.
  static bool applicable(LogEntry const& logEntry) { return Rules::viewInMap(logEntry); }
  static std::uint32_t swKeyValue(LogEntry const& logEntry) { return logEntry.key().value(); }

  static inline Kiv::AllocTrackTypeInfo* memAllocationTracker_ = nullptr;

 private:
  using Path = Pipeline<Derived>;
  using Rules = Translation<Derived>;

  Derived& self() noexcept { return static_cast<Derived&>(*this); }
  Derived const& self() const noexcept { return static_cast<Derived const&>(*this); }

  // The table's wrapper of the entry; another class is a precondition violation of the agent,
  // reported with the operation's full name.
  template <class Base>
  static Wrapper const& requireEntry(Pelix::Ptr<Base> const& entry, char const* operation) {
    return ZuriAsicUtils::detail::requireWrapper<Wrapper>(entry, Derived::kName, operation);
  }

  [[noreturn, gnu::cold, gnu::noinline]] static void throwNoTableBound() {
    throw Asic::OrderedTableException(fmt::format("{}: no hardware table of class {} is bound",
                                                  Derived::kName, Family::kHwTableType));
  }

  static inline Kiv::AllocTrackTypeInfo* hwTableTracker_ = nullptr;
};

template <class Derived, class Wrapper, class Constants>
using MdbTableUtil = TableUtil<Derived, MdbFamily, Wrapper, Constants>;

template <class Derived, class HwTable, class Wrapper, class Constants>
using DirectTableUtil = TableUtil<Derived, DirectFamily<HwTable>, Wrapper, Constants>;

}  // namespace eedb
