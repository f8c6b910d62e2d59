// The translation frame of every table utility: key mapping, translation of a log entry into the
// format its view selects (the translator's own fields, then the table's per-format hook), and
// revert. Each runs inside its guard (pipeline/Failure.h), which turns any failure into
// Asic::OrderedTableException with a context message; the texts of those messages are fixed by
// the host. It reads the table's rules (see frame/TableUtil.h) and calls nothing else back.
#pragma once

#include <cstdint>
#include <type_traits>

#include <fmt/format.h>

#include "asic/Types.h"
#include "pipeline/EntryTrace.h"
#include "pipeline/Failure.h"
#include "pipeline/Unit.h"

namespace eedb {

// How a table's software key becomes its hardware key: the common rule copies swKeyValue under
// the key guard; the hook rule keeps its low 20 bits through the table's key hook, unguarded.
enum class KeyMapping { common, hook };

template <class Util>
class Translation {
 public:
  using EntryKey = typename Util::EntryKey;
  using Entry = typename Util::Entry;
  using LogEntry = typename Util::LogEntry;
  using Wrapper = typename Util::WrapperType;

  // The hardware key of a log entry: computed once per entry, traced where each stage takes it.
  static EntryKey mapKey(LogEntry const& logEntry, Asic::UnitId unitId, bool traced) {
    EntryKey key;
    if constexpr (Util::kKeyMapping == KeyMapping::hook) {
      key.valueIs(Util::swKeyValue(logEntry) & kHookKeyMask);
    } else {
      Asic::throwIfException([&] { key.valueIs(Util::swKeyValue(logEntry)); },
                             [&] {
                               return fmt::format("{}: [logEntry: {}], [unitId: {}]", "mapToHwKey",
                                                  logEntry, unitId);
                             });
    }
    traceKey(logEntry, key, traced);
    return key;
  }

  // The trace lines of one key mapping: a stage that takes the key shows it as if it mapped it.
  static void traceKey(LogEntry const& logEntry, EntryKey const& key, bool traced) {
    if constexpr (Util::kKeyMapping == KeyMapping::hook) {
      EEDB_ENTRY_TRACE(traced, Util, "userDefinedGetHwEntryKey", "",
                       " calling user specified getHwEntryKey function");
    }
    EEDB_ENTRY_TRACE(traced, Util, "mapToHwKey_", Util::kName, " swKey: {} hwKey: {}",
                     logEntry.key(), key);
  }

  // The entry in the format of its view (the key-only entry for a view outside the table's map),
  // under the translation guard, for a key already mapped.
  static Entry translate(Util const& util, Wrapper const& wrapper, EntryKey const& hwKey,
                         bool traced) {
    return guarded(wrapper, [&] {
      traceKey(wrapper.logEntry(), hwKey, traced);
      return translateUnguarded(util, wrapper, hwKey, traced);
    });
  }
  // The same for a call of the agent's own: the FAP id and the key are taken inside the guard.
  static Entry translate(Util const& util, Wrapper const& wrapper, bool traced) {
    return guarded(wrapper, [&] {
      static_cast<void>(fapIdOf(wrapper.unitId()));  // a unit beyond FAP 128 fails here
      return translateUnguarded(util, wrapper, mapKey(wrapper.logEntry(), wrapper.unitId(), traced),
                                traced);
    });
  }

  // What an entry turns into when it is deleted while the table updates on delete: every table
  // reverts to the blank entry, so the hardware entry is deleted.
  static Entry revert(Wrapper const& wrapper, SchanAccel::FapId fapId, EntryKey const& hwKey,
                      bool traced) {
    EEDB_ENTRY_TRACE(traced, Util, "revertHwEntry", Util::kName,
                     " fapId: {} instanceId: {} hwKey: {} logEntry: {} ", fapId,
                     wrapper.unitId().instanceId(), hwKey, wrapper.logEntry());
    return Entry(EntryKey());
  }

  // The default condition of a table with views: the view type is in its map.
  static bool viewInMap(LogEntry const& logEntry) {
    return Util::Views::contains(viewTypeOf(logEntry));
  }

 private:
  static constexpr std::uint32_t kHookKeyMask = 0xFFFFFu;  // the key hook keeps 20 bits

  static unsigned viewTypeOf(LogEntry const& logEntry) {
    if constexpr (requires { logEntry.viewType().value(); }) {
      return static_cast<unsigned>(logEntry.viewType().value());
    } else {
      return static_cast<unsigned>(logEntry.viewType());
    }
  }

  template <class Body>
  static Entry guarded(Wrapper const& wrapper, Body&& body) {
    return Asic::throwIfException(body, [&] {
      return fmt::format("{}: [logEntry: {}]", "translateToHwFormat", wrapper.logEntry());
    });
  }

  static Entry translateUnguarded(Util const& util, Wrapper const& wrapper, EntryKey const& hwKey,
                                  bool traced) {
    // A copy: the hooks take the log entry by reference, and a local one cannot alias the format
    // entry being built, so its fields stay in registers.
    LogEntry logEntry = wrapper.logEntry();
    Asic::UnitId const unitId = wrapper.unitId();
    EEDB_ENTRY_TRACE(traced, Util, "translateToHwFormat_", Util::kName,
                     " fapId: {} instanceId: {} hwKey: {} logEntry: {}", fapIdOf(unitId),
                     unitId.instanceId(), hwKey, logEntry);
    if constexpr (Util::Family::kHasViews) {
      return Util::Views::dispatch(
          viewTypeOf(logEntry),
          [&]<class Format>(std::type_identity<Format>) -> Entry {
            Format hwEntry(hwKey);
            hwEntry.handleInitialized();
            if constexpr (requires { util.setTranslatorFields(hwEntry, logEntry); }) {
              util.setTranslatorFields(hwEntry, logEntry);
            }
            if constexpr (requires { util.doSetHwEntry(unitId, logEntry, hwEntry); }) {
              runHook(util, unitId, logEntry, hwEntry, traced);
            }
            return hwEntry;
          },
          [&] { return Entry(hwKey); });
    } else {
      Entry hwEntry(hwKey);
      Util::fillEntry(hwEntry, logEntry);
      return hwEntry;
    }
  }

  // The table's per-format hook, under its own guard.
  template <class Format>
  static void runHook(Util const& util, Asic::UnitId unitId, LogEntry& swEntry, Format& hwEntry,
                      bool traced) {
    EEDB_ENTRY_TRACE(traced, Util, "userDefinedDoSetHwEntry", "",
                     " calling user specified util function");
    Asic::throwIfException([&] { util.doSetHwEntry(unitId, swEntry, hwEntry); },
                           [&] {
                             return fmt::format("{}: [unitId: {}], [logEntry: {}], [hwEntry: {}]",
                                                "userDefinedDoSetHwEntry", unitId, swEntry,
                                                hwEntry);
                           });
    EEDB_ENTRY_TRACE(traced, Util, "userDefinedDoSetHwEntry", "",
                     " after user function hwEntry: {}", hwEntry);
  }
};

}  // namespace eedb
