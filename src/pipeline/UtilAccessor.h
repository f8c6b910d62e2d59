// ZuriAsicUtils::UtilAccessor<Util>: what every table utility does with a log entry, written once
// and instantiated per table utility. process() is the whole path of one entry through
// processSwEntry, top to bottom; its stages are also the agent's separate calls (utilApplicable,
// writeSwEntryToShadow, getSchanCmds), which the table utility's operations of those names run.
// Where the entry goes (its FAP id, shadow key, hardware table and hardware key) is found once
// per entry, in locate().
//
// An accessor lives for one call and holds only the table utility. It reads the utility's FAP
// mask, statistics, bound hardware table, software table id and table manager, and translates
// through the translation frame (translate/Translation.h).
//
// kTraced: whether the pass has trace sites (pipeline/Pass.h says what that is worth).
// processSwEntry picks the instance once per entry; the agent's separate calls take the traced
// one.
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>

#include "asic/Types.h"
#include "pipeline/Pass.h"
#include "pipeline/Unit.h"
#include "schan_accel/FapId.h"
#include "translate/Translation.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace ZuriAsicUtils {

// The host counts this fapmask mismatch under this exact text (two blanks): keep it.
inline constexpr char kFapmaskMismatchText[] = "Ignoring due to fapmask  mismatch";

template <class Util, bool kTraced>
class UtilAccessor {
 public:
  using Family = typename Util::Family;
  using HwTable = typename Util::HwTable;
  using Entry = typename Util::Entry;
  using EntryKey = typename Util::EntryKey;
  using Wrapper = typename Util::WrapperType;
  using Flume = std::remove_cvref_t<decltype(std::declval<Wrapper const&>().flumeEntry())>;
  using Rules = eedb::Translation<Util, kTraced>;

  explicit UtilAccessor(Util& util) noexcept : util_(&util) {}

  // Where one entry goes, found once for every stage.
  struct Place {
    HwTable& table;
    SchanAccel::FapId fapId;
    HwShadowKey shadowKey;
    EntryKey hwKey;
  };

  // One log entry, whole: applicability, the shadow, the commands.
  SchanCmds process(Wrapper const& wrapper) const {
    auto const& flume = wrapper.flumeEntry();
    EEDB_ENTRY_TRACE(kTraced, Util, "processLogEntry", "", " calling getSchanCmds ");
    std::optional<SchanAccel::FapId> fapId;  // taken out of the unit id where first needed
    if (applicable(flume, fapId)) [[likely]] {
      traceShadowStage(flume);
      Place const place = locate(flume, fapId);
      Written const written = writeToShadow(wrapper, place);
      traceCommandStage(flume);
      Rules::traceKey(flume.logEntry(), place.hwKey);
      return commands(place, written);
    }
    return refused(flume, fapId);
  }

  // A refused entry is counted and its key mapped, but sends nothing: its place on the chip (a
  // FAP outside the mask, a view of a sibling) is another table utility's. Kept out of line, off
  // the straight path of the entries the table utility takes.
  [[gnu::noinline]] SchanCmds refused(Flume const& flume,
                                      std::optional<SchanAccel::FapId> fapId) const {
    traceCommandStage(flume);
    countEnqueue(locate(flume, fapId));
    return {};
  }

  // ---- stage 1: utilApplicable ----

  // A table delete of a FAP in the FAP mask (or of the null FAP) is taken; otherwise the table's
  // view map (a view type in it) and the FAP mask filter decide.
  EEDB_INLINE_STAGE bool applicable(Flume const& flume,
                                    std::optional<SchanAccel::FapId>& fapId) const {
    if (isTableDeleteEntry(flume, fapId)) {
      EEDB_ENTRY_TRACE(kTraced, Util, "utilApplicable", Util::kName,
                       " {} util is applicable for table delete", Util::shortName());
      return true;
    }
    if constexpr (Util::Family::kHasViews) {
      if (!Rules::viewInMap(flume.logEntry())) {
        EEDB_ENTRY_TRACE(kTraced, Util, "utilApplicable", Util::kName, " {} util is not Applicable",
                         Util::shortName());
        return false;
      }
    }
    return isEntryHandled(flume, fapId);
  }

  // True for a table-delete entry of a FAP in the FAP mask, or of the null FAP id.
  EEDB_INLINE_STAGE bool isTableDeleteEntry(Flume const& flume,
                                            std::optional<SchanAccel::FapId>& fapId) const {
    return flume.isTableDelete() && inFapmask(fapIdOnce(flume, fapId));
  }

  // The FAP mask filter.
  EEDB_INLINE_STAGE bool isEntryHandled(Flume const& flume,
                                        std::optional<SchanAccel::FapId>& fapId) const {
    if (inFapmask(fapIdOnce(flume, fapId))) return true;
    EEDB_ENTRY_TRACE(kTraced, Util, "isEntryHandled", "", kFapmaskMismatchText);
    util_->stats()->fapmaskMismatchInc(1);
    return false;
  }

  // The bound table, the FAP id and the shadow key of the entry's unit, and its hardware key.
  EEDB_INLINE_STAGE Place locate(Flume const& flume,
                                 std::optional<SchanAccel::FapId> fapId = {}) const {
    Asic::UnitId const unitId = flume.unitId();
    SchanAccel::FapId const id = fapIdOnce(flume, fapId);
    HwTable& table = util_->boundHwTable();
    return {table, id, HwShadowKey(id, unitId.instanceId()),
            Rules::mapKey(flume.logEntry(), unitId)};
  }

  // ---- stage 2: writeSwEntryToShadow ----

  // What a write left: its size in bits (0 for direct tables), and the entry the shadow key holds
  // at the key now (nullptr: none), which the commands are made of.
  struct Written {
    std::uint32_t sizeBits;
    Entry const* stored;
  };

  // Sets or deletes the entry's hardware entry in the shadow. Nothing is written for an entry
  // whose translation fails. What differs between MDB and direct tables is the family's
  // (frame/Family.h).
  EEDB_INLINE_STAGE Written writeToShadow(Wrapper const& wrapper, Place const& place) const {
    HwTable& table = place.table;
    auto& stats = *util_->stats();
    // The key's one hash: its prefetch, look-up and insertion or removal take it.
    auto const key = HwTable::hashedKey(place.hwKey);
    // The shadow's memory of the key is asked for before the entry is translated, so that the
    // translation overlaps its cache misses.
    if (wrapper.flumeEntry().isDelete()) {
      table.prefetchEntry(place.shadowKey, key);
      std::uint32_t size = 0;
      if constexpr (Family::kDeleteTranslates) {
        size = Rules::translatedSize(*util_, wrapper, place.hwKey);
      }
      // The chip holds the entry in the format it was added with; a delete of another view (a
      // table delete that carries only its key) must still clear all of it: the stored entry's
      // size, where it has one, is the size of the delete.
      if (table.updateOnDelete()) {
        Rules::traceKey(wrapper.logEntry(), place.hwKey);
        auto const reverted = Rules::revert(wrapper, place.fapId, place.hwKey);
        if (!reverted.isEq(Entry(EntryKey()))) {
          size = Family::storedSize(table, place.shadowKey, place.hwKey, size);
          table.setEntry(place.shadowKey, reverted);
          stats.updateOnDelCntInc(1);
          return {size, table.findEntry(place.shadowKey, place.hwKey)};
        }
      }
      size = Family::erase(table, place.shadowKey, key, size);
      stats.deleteCntInc(1);
      return {size, nullptr};
    }

    auto* const stored = table.entryToReplace(place.shadowKey, key);  // replaced below
    auto const hwEntry = Rules::translateForWrite(*util_, wrapper, place.hwKey);
    EEDB_ENTRY_TRACE(kTraced, Util, "writeSwEntryToShadow", "", " fapId: {} hwEntry: {}",
                     place.fapId, hwEntry);
    // An entry without a format must not replace what another table utility stored under the
    // same key: the add is counted, the shadow keeps what it holds.
    if (!Family::hasFormat(hwEntry)) {
      stats.addCntInc(1);
      return {0, stored};
    }
    Entry const* const now = table.replaceEntry(place.shadowKey, key, stored, hwEntry);
    stats.addCntInc(1);
    return {hwEntry.entrySizeBits(), now};
  }

  // ---- stage 3: getSchanCmds ----

  // Counts one SCHAN enqueue for the shadow key and returns the hardware table's commands for
  // it. Runs for every entry, applicable or not. The pass hands over what its write left; a
  // separate call finds it in the shadow.
  EEDB_INLINE_STAGE SchanCmds commands(Place const& place, Written const& written) const {
    countEnqueue(place);
    return Family::commands(place.table, place.shadowKey, place.hwKey, written.sizeBits,
                            written.stored);
  }
  EEDB_INLINE_STAGE SchanCmds commands(Place const& place, std::uint32_t sizeBits) const {
    return commands(place, {sizeBits, place.table.findEntry(place.shadowKey, place.hwKey)});
  }

  // The SCHAN enqueue count of the shadow key, in the record of the table utility's software
  // table.
  EEDB_INLINE_STAGE void countEnqueue(Place const& place) const {
    Asic::SwTableId const swTableId = util_->utilKey().swTableId;
    // "schanEnqeueuStats": the host's spelling of this trace, kept as it is.
    EEDB_ENTRY_TRACE(kTraced, Util, "getSchanCmds", "",
                     " Created schanEnqeueuStats for SwTableId {} ", swTableId);
    // The record created (or found) here is the one the count goes to.
    auto& enqueueStats = util_->hwTableManager()->stats().schanEnqueueStatsIs(swTableId);
    EEDB_ENTRY_TRACE(kTraced, Util, "getSchanCmds", "",
                     " Incrementing EnqueueStats for shadowKey {}", place.shadowKey.toString());
    enqueueStats.entryEnqueueCntInc(place.shadowKey, 1);
  }

  // The traces with which stages 2 and 3 begin.
  static void traceShadowStage(Flume const& flume) {
    EEDB_ENTRY_TRACE(kTraced, Util, "writeSwEntryToShadow", "",
                     " fapId: {} instanceId {} logEntry: {}", eedb::fapIdOf(flume.unitId()),
                     flume.unitId().instanceId(), flume);
  }
  static void traceCommandStage(Flume const& flume) {
    EEDB_ENTRY_TRACE(kTraced, Util, "getSchanCmds", "", " fapId: {} instanceId {} swEntry: {}",
                     eedb::fapIdOf(flume.unitId()), flume.unitId().instanceId(), flume.logEntry());
  }

 private:
  EEDB_INLINE_STAGE static SchanAccel::FapId fapIdOnce(Flume const& flume,
                                                       std::optional<SchanAccel::FapId>& fapId) {
    if (!fapId) fapId = eedb::fapIdOf(flume.unitId());
    return *fapId;
  }

  EEDB_INLINE_STAGE bool inFapmask(SchanAccel::FapId fapId) const noexcept {
    return fapId.isNull() || util_->fapmask().test(fapId);
  }

  Util* util_;
};

}  // namespace ZuriAsicUtils
