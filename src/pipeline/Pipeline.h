// What every table utility does with a log entry, top to bottom: process() is the whole path of
// one entry through processSwEntry; the stages below it are also the agent's separate calls
// (utilApplicable, writeSwEntryToShadow, getSchanCmds). Where the entry goes (its FAP id, shadow
// key, hardware table and hardware key) is found once per entry, in locate().
//
// The stages read the table utility's state (FAP mask, statistics, bound table) and its rules
// through the translation frame (translate/Translation.h); nothing calls back into them.
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "asic/Types.h"
#include "pipeline/EntryTrace.h"
#include "pipeline/Unit.h"
#include "schan_accel/FapId.h"
#include "translate/Translation.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace eedb {

// The host counts this fapmask mismatch under this exact text (two blanks): keep it.
inline constexpr char kFapmaskMismatchText[] = "Ignoring due to fapmask  mismatch";

template <class Util>
class Pipeline {
 public:
  using HwTable = typename Util::HwTable;
  using Entry = typename Util::Entry;
  using EntryKey = typename Util::EntryKey;
  using Wrapper = typename Util::WrapperType;
  using Flume = std::remove_cvref_t<decltype(std::declval<Wrapper const&>().flumeEntry())>;
  using Rules = Translation<Util>;

  // Where one entry goes, found once for every stage.
  struct Place {
    HwTable& table;
    SchanAccel::FapId fapId;
    ZuriAsicUtils::HwShadowKey shadowKey;
    EntryKey hwKey;
  };

  // One log entry, whole: applicability, the shadow, the commands.
  static ZuriAsicUtils::SchanCmds process(Util& util, Wrapper const& wrapper, bool traced) {
    auto const& flume = wrapper.flumeEntry();
    std::optional<SchanAccel::FapId> fapId;  // taken out of the unit id once, where first needed
    if (applicable(util, flume, traced, fapId)) [[likely]] {
      traceShadowWrite(flume, traced);
      Place const place = locate(util, flume, traced, fapId);
      Written const written = writeToShadow(util, wrapper, place, traced);
      traceCommands(flume, traced);
      Rules::traceKey(flume.logEntry(), place.hwKey, traced);
      return commands(util, place, written.sizeBits, traced, written.own);
    }
    // A refused entry is counted and its key mapped, but sends nothing: its place on the chip (a
    // FAP outside the mask, a view of a sibling) is another table utility's. Size 0 already says
    // so to an MDB table; a direct table takes no size and would clear the place.
    traceCommands(flume, traced);
    auto cmds = commands(util, locate(util, flume, traced, fapId), 0, traced);
    cmds.clear();
    return cmds;
  }

  // Stage 1. A table delete of a FAP in the FAP mask (or of the null FAP) is taken; otherwise
  // the table's own condition and the FAP mask filter decide.
  static bool applicable(Util& util, Flume const& flume, bool traced,
                         std::optional<SchanAccel::FapId>& fapId) {
    auto const takeFapId = [&] {
      if (!fapId) fapId = fapIdOf(flume.unitId());
      return *fapId;
    };
    if (flume.isTableDelete() && inFapmask(util, takeFapId())) {
      EEDB_ENTRY_TRACE(traced, Util, "utilApplicable", Util::kName,
                       " {} util is applicable for table delete", Util::shortName());
      return true;
    }
    if constexpr (Util::Family::kHasViews) {
      if (!Util::applicable(flume.logEntry())) {
        EEDB_ENTRY_TRACE(traced, Util, "utilApplicable", Util::kName, " {} util is not Applicable",
                         Util::shortName());
        return false;
      }
    }
    if (inFapmask(util, takeFapId())) return true;
    EEDB_ENTRY_TRACE(traced, Util, "isEntryHandled", "", kFapmaskMismatchText);
    util.stats()->fapmaskMismatchInc(1);
    return false;
  }

  // The bound table, the FAP id and the shadow key of the entry's unit, and its hardware key.
  static Place locate(Util const& util, Flume const& flume, bool traced,
                      std::optional<SchanAccel::FapId> fapId = {}) {
    Asic::UnitId const unitId = flume.unitId();
    SchanAccel::FapId const id = fapId ? *fapId : fapIdOf(unitId);
    HwTable& table = util.boundHwTable();
    return {table, id, ZuriAsicUtils::HwShadowKey(id, unitId.instanceId()),
            Rules::mapKey(flume.logEntry(), unitId, traced)};
  }

  // What stage 2 left in the shadow at the key, for stage 3.
  struct Written {
    std::uint32_t sizeBits = 0;  // 0 for direct tables
    Entry const* own = nullptr;  // the shadow key's entry at the key now; nullptr: none
  };

  // Stage 2. Sets or deletes the entry's hardware entry in the shadow; the key is looked up
  // once. Nothing is written for an entry whose translation fails.
  static Written writeToShadow(Util& util, Wrapper const& wrapper, Place const& place,
                               bool traced) {
    HwTable& table = place.table;
    auto& stats = *util.stats();
    auto const slot = table.slotOf(place.shadowKey, place.hwKey);
    Entry const* const stored = slot.stored();
    if (wrapper.flumeEntry().isDelete()) {
      std::uint32_t size = 0;
      if constexpr (kSized) {
        // A delete translates the whole entry, as the system prescribes (its failures stand).
        size = Rules::translate(util, wrapper, place.hwKey, traced).entrySizeBits();
        // The chip holds the entry in the format it was added with; a delete of another view (a
        // table delete that carries only its key) must still clear all of it.
        if (stored != nullptr && stored->hasFormat()) size = stored->entrySizeBits();
      }
      if (table.updateOnDelete()) {
        Rules::traceKey(wrapper.logEntry(), place.hwKey, traced);
        auto const reverted = Rules::revert(wrapper, place.fapId, place.hwKey, traced);
        if (!reverted.isEq(Entry(EntryKey()))) {
          Entry const* own = table.setEntry(place.shadowKey, reverted);
          stats.updateOnDelCntInc(1);
          return {size, own};
        }
      }
      table.eraseEntry(slot);
      stats.deleteCntInc(1);
      return {size, nullptr};
    }

    auto const hwEntry = Rules::translate(util, wrapper, place.hwKey, traced);
    EEDB_ENTRY_TRACE(traced, Util, "writeSwEntryToShadow", "", " fapId: {} hwEntry: {}",
                     place.fapId, hwEntry);
    if constexpr (kSized) {
      // An entry without a format (a table-delete entry of a view this table does not write) has
      // nothing for the chip, and must not replace what another table utility stored under the
      // same key: the add is counted, the shadow keeps what it holds.
      if (!hwEntry.hasFormat()) {
        stats.addCntInc(1);
        return {0, stored};
      }
    }
    Entry const* const own = table.replaceEntry(place.shadowKey, slot, hwEntry);
    stats.addCntInc(1);
    if constexpr (kSized) return {hwEntry.entrySizeBits(), own};
    return {0, own};
  }

  // Stage 3, for every entry: counts one SCHAN enqueue for the shadow key and returns the
  // hardware table's commands for it. `own` is the entry stage 2 left at the key, when it ran.
  static ZuriAsicUtils::SchanCmds commands(Util const& util, Place const& place,
                                           std::uint32_t sizeBits, bool traced,
                                           std::optional<Entry const*> own = std::nullopt) {
    Asic::SwTableId const swTableId = util.utilKey().swTableId;
    // "schanEnqeueuStats": the host's spelling of this trace, kept as it is.
    EEDB_ENTRY_TRACE(traced, Util, "getSchanCmds", "",
                     " Created schanEnqeueuStats for SwTableId {} ", swTableId);
    // The record created (or found) here is the one the count goes to.
    auto& enqueueStats = util.hwTableManager()->stats().schanEnqueueStatsIs(swTableId);
    EEDB_ENTRY_TRACE(traced, Util, "getSchanCmds", "",
                     " Incrementing EnqueueStats for shadowKey {}", place.shadowKey.toString());
    enqueueStats.entryEnqueueCntInc(place.shadowKey, 1);
    HwTable const& table = place.table;
    if constexpr (kSized) {
      if (own) return table.schanCmdsOver(place.shadowKey, place.hwKey, sizeBits, *own);
      return table.schanCmds(place.shadowKey, place.hwKey, sizeBits, {});
    } else {
      if (own) return table.schanCmdsOver(place.shadowKey, place.hwKey, *own);
      return table.schanCmds(place.shadowKey, place.hwKey, {});
    }
  }

  // The traces with which the shadow and command stages begin.
  static void traceShadowWrite(Flume const& flume, bool traced) {
    EEDB_ENTRY_TRACE(traced, Util, "writeSwEntryToShadow", "",
                     " fapId: {} instanceId {} logEntry: {}", fapIdOf(flume.unitId()),
                     flume.unitId().instanceId(), flume);
  }
  static void traceCommands(Flume const& flume, bool traced) {
    EEDB_ENTRY_TRACE(traced, Util, "getSchanCmds", "", " fapId: {} instanceId {} swEntry: {}",
                     fapIdOf(flume.unitId()), flume.unitId().instanceId(), flume.logEntry());
  }

 private:
  // MDB tables take entry sizes in bits (deleteEntry, schanCmds); direct tables do not.
  static constexpr bool kSized = HwTable::kEntriesHaveSize;

  static bool inFapmask(Util const& util, SchanAccel::FapId fapId) noexcept {
    return fapId.isNull() || util.fapmask().test(fapId);
  }
};

}  // namespace eedb
