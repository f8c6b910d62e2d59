// The class frame of every table utility: creation and allocation tracking, binding to the
// hardware table of its revision, the pipeline's virtual operations, the translation frame
// (guarded key mapping and translation, the per-format hook, revert) and readback.
//
// A table's source file derives its class from MdbTableUtil or DirectTableUtil and adds only its
// own rules:
//   kName, kShortName            the class name with and without namespaces
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
#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "asic/Types.h"
#include "chip26_a0/EedbHwMdb.h"
#include "frame/Export.h"
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
#include "translate/ViewMap.h"
#include "zuri_asic_utils/UtilBase.h"

namespace eedb {

enum class KeyMapping { common, hook };

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

// The runtime node flag that the host clears on every table utility it destroys.
inline constexpr std::uint32_t kHostNodeFlagOnDestroy = 0x20000000;

template <class Derived, class Family, class Wrapper, class Constants>
class TableUtil : public Family::Base {
 public:
  using HwTable = typename Family::HwTable;
  using EntryKey = typename HwTable::EntryKey;
  using Entry = typename HwTable::Entry;
  using LogEntry = std::remove_cvref_t<decltype(std::declval<Wrapper const&>().logEntry())>;
  using ThirdArg = typename Family::ThirdArg;
  using Accessor = ZuriAsicUtils::UtilAccessor<Derived>;
  using ConstAccessor = ZuriAsicUtils::UtilAccessor<Derived const>;
  using ConstantsType = Constants;
  using WrapperType = Wrapper;

  static constexpr KeyMapping kKeyMapping = KeyMapping::common;

  // Creation. The object is built in slab storage recorded with the class's tracker; the
  // constructor ends with handleInitialized().
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

  // The bound hardware table as the family's class; empty when none is bound or it is of
  // another class.
  Pelix::Ptr<HwTable> hwTable() const {
    return Pelix::Ptr<HwTable>(ZuriAsicUtils::detail::downcast<HwTable>(this->hwTableBase().get()));
  }

  // Binds the hardware table of the revision, creating it on first use, and creates the
  // statistics.
  void handleInitialized() {
    auto const& revision = this->utilKey().fapRevision;
    EEDB_TRACE(translationTrace(), 8, "handleInitialized", Derived::kName, "fapRevision: {}",
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
    EEDB_TRACE(translationTrace(), 8, "onDelete", Derived::kName, " utilKey: {}", this->utilKey());
  }

  ZuriAsicUtils::SchanCmds clearHwTable(Asic::UnitId unitId) override {
    EEDB_TRACE(translationTrace(), 8, "clearHwTable", Derived::kName, " unitId: {}", unitId);
    SchanAccel::FapId const fapId = fapIdOf(unitId);
    auto const inside = enterTable("clearHwTable");
    return boundHwTable().clearTable(fapId);
  }

  // ---- pipeline ----

  // The stages below, in one pass over the entry (see Pass): quiet while every trace level
  // of the pipeline is off.
  ZuriAsicUtils::SchanCmds processSwEntry(
      Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    auto const inside = enterTable("processSwEntry");
    // The caller's reference keeps the wrapper alive for the call: no count of its own is
    // taken, which would write to every entry the agent hands over.
    Wrapper const* const held = ZuriAsicUtils::detail::downcast<Wrapper const>(entry.get());
    if (pipelineTraced()) [[unlikely]]
      return process(entry, held, Pass<true>());
    return process(entry, held, Pass<false>());
  }

  bool utilApplicable(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    return applicableTo(ZuriAsicUtils::detail::requireWrapper<Wrapper>(entry));
  }

  std::uint32_t writeSwEntryToShadow(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) override {
    auto const inside = enterTable("writeSwEntryToShadow");
    if (!utilApplicable(entry)) return 0;
    return accessor().template writeSwEntryToShadow<Wrapper, HwTable, Entry>(entry);
  }

  ZuriAsicUtils::SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                                        std::uint32_t sizeBits) override {
    auto const inside = enterTable("getSchanCmds");
    return accessor().template getSchanCmds<Wrapper, HwTable>(entry, sizeBits);
  }

  Entry readShadowEntry(SchanAccel::FapId fapId, ZuriAsicUtils::InstanceId instanceId,
                        EntryKey const& hwKey) const {
    ZuriAsicUtils::HwShadowKey const shadowKey(fapId, instanceId);
    // "insanceId": the host's spelling in this trace; its readers match it as it is.
    EEDB_TRACE(translationTrace(), 8, "readShadowEntry", Derived::kName,
               " fapId: {} insanceId: {} hwShadowKey: {} key: {}", fapId, instanceId, shadowKey,
               hwKey);
    auto const inside = enterTable("readShadowEntry");
    return boundHwTable().getEntry(shadowKey, hwKey);
  }

  // ---- translation frame ----

  // The key guard; the key hook tables forward to mapToHwKey_ without it. A quiet pass maps
  // without trace sites.
  template <bool kTraced = true>
  EntryKey mapToHwKey(LogEntry const& logEntry, Asic::UnitId unitId) const {
    if constexpr (Derived::kKeyMapping == KeyMapping::hook) {
      return mapToHwKey_<kTraced>(logEntry, unitId);
    } else {
      return Asic::throwIfException(
          [this](LogEntry const& e, Asic::UnitId u) { return mapToHwKey_<kTraced>(e, u); },
          [&] {
            return fmt::format("{}: [logEntry: {}], [unitId: {}]", "mapToHwKey", logEntry, unitId);
          },
          logEntry, unitId);
    }
  }

  template <bool kTraced = true>
  EntryKey mapToHwKey_(LogEntry const& logEntry, Asic::UnitId) const {
    EntryKey key;
    if constexpr (Derived::kKeyMapping == KeyMapping::hook) {
      key = ConstAccessor(self()).template userDefinedGetHwEntryKey<EntryKey, kTraced>(
          Derived::swKeyValue(logEntry));
    } else {
      key.valueIs(Derived::swKeyValue(logEntry));
    }
    EEDB_PASS_TRACE(ZuriAsicUtils::Traced<kTraced>, translationTrace(), 3, "mapToHwKey_",
                    Derived::kName, " swKey: {} hwKey: {}", logEntry.key(), key);
    return key;
  }

  Entry translateToHwFormat(Pelix::Ptr<Wrapper const> const& entry) const {
    return translate(requireEntry(entry));
  }
  Entry translateToHwFormat_(Pelix::Ptr<Wrapper const> const& entry) const {
    Pass<true> pass;
    return translateBody(requireEntry(entry), pass);
  }
  // Every table reverts an entry to the blank entry: the hardware entry is deleted.
  Entry revertHwEntry(Pelix::Ptr<Wrapper const> const& entry) const {
    return revert(requireEntry(entry));
  }

  // ---- used by the pipeline ----

  // The stay of one operation inside the bound hardware table (one thread at a time).
  [[gnu::always_inline]] ZuriAsicUtils::TableEntry enterTable(char const* operation) const {
    return ZuriAsicUtils::TableEntry(this->hwTableBase().get(), Derived::kShortName,
                                     HwTable::kMemory, operation);
  }

  [[gnu::always_inline]] HwTable& boundHwTable() const {
    HwTable* table = ZuriAsicUtils::detail::downcast<HwTable>(this->hwTableBase().get());
    if (table == nullptr) [[unlikely]]
      throwNoTableBound();
    return *table;
  }

  // One log entry's pass through the pipeline. Its hardware table and its hardware key are
  // found once for all stages, the key mapping being a function of the log entry and the unit.
  // A traced pass tests the level at every trace site and, while the translation trace is on,
  // maps the key again in each stage, so that the trace shows every mapping where it happens;
  // a quiet pass, taken while every level the pipeline traces at is off, has no trace site.
  template <bool kTracedPass>
  struct Pass : ZuriAsicUtils::Traced<kTracedPass> {
    HwTable* table = nullptr;
    EntryKey key;
    bool mapped = false;
  };

  // Level 3 of any handle the pipeline traces with. Inlined into processSwEntry, where a call
  // would cost more than the three tests.
  [[gnu::always_inline]] static bool pipelineTraced() noexcept {
    return Accessor::_defaultTraceHandle().enabled(3) ||
           ConstAccessor::_defaultTraceHandle().enabled(3) || translationTrace().enabled(3);
  }

  template <class P>
  [[gnu::always_inline]] HwTable& boundHwTable(P& pass) const {
    if (pass.table == nullptr) pass.table = &boundHwTable();
    return *pass.table;
  }

  template <class P>
  [[gnu::always_inline]] EntryKey mapKeyOnce(LogEntry const& logEntry, Asic::UnitId unitId,
                                             P& pass) const {
    if (!pass.mapped || (P::kTraced && translationTrace().enabled(3))) {
      pass.key = mapToHwKey<P::kTraced>(logEntry, unitId);
      pass.mapped = true;
    }
    return pass.key;
  }

  Entry translate(Wrapper const& wrapper) const {
    Pass<true> pass;
    return translate(wrapper, pass);
  }
  template <class P>
  [[gnu::always_inline]] Entry translate(Wrapper const& wrapper, P& pass) const {
    return Asic::throwIfException(
        [this, &pass](Wrapper const& w) { return translateBody(w, pass); },
        [&] {
          return fmt::format("{}: [logEntry: {}]", "translateToHwFormat", wrapper.logEntry());
        },
        wrapper);
  }

  Entry revert(Wrapper const& wrapper) const {
    Asic::UnitId const unitId = wrapper.unitId();
    SchanAccel::FapId const fapId = fapIdOf(unitId);
    EntryKey const hwKey = mapToHwKey(wrapper.logEntry(), unitId);
    EEDB_TRACE(translationTrace(), 3, "revertHwEntry", Derived::kName,
               " fapId: {} instanceId: {} hwKey: {} logEntry: {} ", fapId, unitId.instanceId(),
               hwKey, wrapper.logEntry());
    return Entry(EntryKey());
  }

  // The table utility's translation trace handle, named after its class; inlined like the
  // accessor's handle.
  [[gnu::always_inline]] static Kiv::TraceHandle& translationTrace() {
    static Kiv::TraceHandle handle(std::string(Derived::kShortName), false);
    return handle;
  }

  // Defaults of the table rules.
  static bool applicable(LogEntry const& logEntry) {
    return Derived::Views::contains(viewTypeOf(logEntry));
  }
  static std::uint32_t swKeyValue(LogEntry const& logEntry) { return logEntry.key().value(); }

  static inline Kiv::AllocTrackTypeInfo* memAllocationTracker_ = nullptr;

 private:
  static unsigned viewTypeOf(LogEntry const& logEntry) {
    if constexpr (requires { logEntry.viewType().value(); }) {
      return static_cast<unsigned>(logEntry.viewType().value());
    } else {
      return static_cast<unsigned>(logEntry.viewType());
    }
  }

  Derived const* self() const noexcept { return static_cast<Derived const*>(this); }
  Accessor accessor() noexcept { return Accessor(static_cast<Derived*>(this)); }

  [[noreturn, gnu::cold, gnu::noinline]] static void throwNoTableBound() {
    throw Asic::OrderedTableException(fmt::format("{}: no hardware table of class {} is bound",
                                                  Derived::kName, Family::kHwTableType));
  }

  static Wrapper const& requireEntry(Pelix::Ptr<Wrapper const> const& entry) {
    return ZuriAsicUtils::detail::requireWrapper<Wrapper>(entry);
  }

  template <bool kTraced = true>
  bool applicableTo(Wrapper const& wrapper) {
    if (accessor().isTableDeleteEntry(wrapper)) {
      EEDB_PASS_TRACE(ZuriAsicUtils::Traced<kTraced>, translationTrace(), 3, "utilApplicable",
                      Derived::kName, " {} util is applicable for table delete",
                      Derived::kShortName);
      return true;
    }
    if constexpr (Family::kHasViews) {
      if (!Derived::applicable(wrapper.logEntry())) {
        EEDB_PASS_TRACE(ZuriAsicUtils::Traced<kTraced>, translationTrace(), 3, "utilApplicable",
                        Derived::kName, " {} util is not Applicable", Derived::kShortName);
        return false;
      }
    }
    return accessor().template isEntryHandled<Wrapper, kTraced>(wrapper);
  }

  template <class P>
  ZuriAsicUtils::SchanCmds process(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                                   Wrapper const* held, P pass) {
    EEDB_PASS_TRACE(P, Accessor::_defaultTraceHandle(), 3, "processLogEntry", "",
                    " calling getSchanCmds ");
    Wrapper const& wrapper =
        held != nullptr ? *held : ZuriAsicUtils::detail::requireWrapper<Wrapper>(entry);
    bool const taken = applicableTo<P::kTraced>(wrapper);
    std::uint32_t const size =
        taken ? accessor().template writeSwEntryToShadow<Wrapper, HwTable, Entry>(wrapper, pass)
              : 0;
    auto cmds = accessor().template getSchanCmds<Wrapper, HwTable>(wrapper, size, pass);
    // A refused entry is counted and its key mapped, but sends nothing: its place on the chip
    // (a FAP outside the mask, a view of a sibling) is another table utility's. Size 0 already
    // says so to an MDB table; a direct table takes no size and would clear the place.
    if (!taken) [[unlikely]]
      cmds.clear();
    return cmds;
  }

  template <class P>
  Entry translateBody(Wrapper const& wrapper, P& pass) const {
    LogEntry logEntry = wrapper.logEntry();
    Asic::UnitId const unitId = wrapper.unitId();
    SchanAccel::FapId const fapId = fapIdOf(unitId);
    EntryKey const hwKey = mapKeyOnce(logEntry, unitId, pass);
    EEDB_PASS_TRACE(P, translationTrace(), 3, "translateToHwFormat_", Derived::kName,
                    " fapId: {} instanceId: {} hwKey: {} logEntry: {}", fapId, unitId.instanceId(),
                    hwKey, logEntry);
    if constexpr (Family::kHasViews) {
      return Derived::Views::dispatch(
          viewTypeOf(logEntry),
          [&]<class Format>(std::type_identity<Format>) -> Entry {
            Format hwEntry(hwKey);
            hwEntry.handleInitialized();
            if constexpr (requires { self()->setTranslatorFields(hwEntry, logEntry); }) {
              // Inlined like the hook (see userDefinedDoSetHwEntry).
              auto const setOwnFields = [&]() __attribute__((flatten)) {
                self()->setTranslatorFields(hwEntry, logEntry);
              };
              setOwnFields();
            }
            if constexpr (requires { self()->doSetHwEntry(unitId, logEntry, hwEntry); }) {
              ConstAccessor(self()).template userDefinedDoSetHwEntry<P::kTraced>(unitId, logEntry,
                                                                                 hwEntry);
            }
            return hwEntry;
          },
          [&] { return Entry(hwKey); });
    } else {
      Entry hwEntry(hwKey);
      Derived::fillEntry(hwEntry, logEntry);
      return hwEntry;
    }
  }

  static inline Kiv::AllocTrackTypeInfo* hwTableTracker_ = nullptr;
};

template <class Derived, class Wrapper, class Constants>
using MdbTableUtil = TableUtil<Derived, MdbFamily, Wrapper, Constants>;

template <class Derived, class HwTable, class Wrapper, class Constants>
using DirectTableUtil = TableUtil<Derived, DirectFamily<HwTable>, Wrapper, Constants>;

}  // namespace eedb
