// The translation frame of every table utility: key mapping, translation of a log entry into the
// format its view selects (the translator's own fields, then the table's per-format hook), and
// revert. Each runs inside its guard (pipeline/Failure.h), which turns any failure into
// Asic::OrderedTableException with a context message whose text the host fixes. It reads the
// table's rules (frame/TableUtil.h lists them) and calls nothing else.
//
// kTraced: whether the steps have trace sites, as the pass that runs them (pipeline/Pass.h). The
// steps of one entry's pass are the members that take a key already mapped
// (pipeline/UtilAccessor.h); the others are the table utility's own operations of the same names,
// which it runs traced.
#pragma once

#include <cstdint>
#include <type_traits>

#include <fmt/format.h>

#include "asic/Types.h"
#include "pipeline/Failure.h"
#include "pipeline/Pass.h"
#include "pipeline/Unit.h"
#include "schan_accel/FapId.h"
#include "translate/ViewMap.h"

namespace eedb {

template <class Util, bool kTraced>
class Translation {
 public:
  using EntryKey = typename Util::EntryKey;
  using Entry = typename Util::Entry;
  using LogEntry = typename Util::LogEntry;
  using Wrapper = typename Util::WrapperType;

  // The key rule the view map names; a direct table's key is its log entry's key.
  static constexpr KeyRule kKeyRule = [] {
    if constexpr (Util::Family::kHasViews) {
      return Util::Views::kKeyRule;
    } else {
      return KeyRule::logKey;
    }
  }();

  // Whether a quiet pass runs the rules unguarded first (translateForWrite, translatedSize): for
  // the tables with hooks, whose guard would show the entry, and the direct tables; a table with
  // views but no hook packs its fields in registers under the translation guard already.
  static constexpr bool kUnguardedFirst = [] {
    if constexpr (Util::Family::kHasViews) {
      return Util::Views::kAnyHook;
    } else {
      return true;
    }
  }();

  // mapToHwKey: the hardware key of a log entry, under the key guard of the common rule.
  EEDB_INLINE_STAGE static EntryKey mapKey(LogEntry const& logEntry, Asic::UnitId unitId) {
    if constexpr (kKeyRule == KeyRule::hookKey) {
      return mapKeyUnguarded(logEntry);
    } else {
      return Asic::throwIfException([&] { return mapKeyUnguarded(logEntry); },
                                    [&] {
                                      return fmt::format("{}: [logEntry: {}], [unitId: {}]",
                                                         "mapToHwKey", logEntry, unitId);
                                    });
    }
  }

  // mapToHwKey_: the same without the guard.
  EEDB_INLINE_STAGE static EntryKey mapKeyUnguarded(LogEntry const& logEntry) {
    EntryKey key;
    if constexpr (kKeyRule == KeyRule::hookKey) {
      key.valueIs(logEntry.key().value() & kHookKeyMask);  // 20 bits: nothing can fail
    } else if constexpr (kKeyRule == KeyRule::ownKey) {
      key.valueIs(Util::swKeyValue(logEntry));
    } else {
      key.valueIs(logEntry.key().value());
    }
    traceKey(logEntry, key);
    return key;
  }

  // The traces of a key mapping; a step of the pass that takes the key already mapped shows them
  // too, so that the trace shows the mapping at every step that uses it.
  EEDB_INLINE_STAGE static void traceKey(LogEntry const& logEntry, EntryKey const& key) {
    if constexpr (kKeyRule == KeyRule::hookKey) {
      EEDB_ENTRY_TRACE(kTraced, Util, "userDefinedGetHwEntryKey", "",
                       " calling user specified getHwEntryKey function");
    }
    EEDB_ENTRY_TRACE(kTraced, Util, "mapToHwKey_", Util::kName, " swKey: {} hwKey: {}",
                     logEntry.key(), key);
  }

  // translateToHwFormat within a pass: the entry in its view's format, under the translation
  // guard, at a key already mapped.
  EEDB_INLINE_STAGE static Entry translate(Util const& util, Wrapper const& wrapper,
                                           EntryKey const& hwKey) {
    return guarded(
        [](Util const& u, Wrapper const& w, EntryKey const& k) {
          traceKey(w.logEntry(), k);
          return build(u, w, k);
        },
        util, wrapper, hwKey);
  }

  // translateToHwFormat within a pass that writes the entry (an add or an update), at a key
  // already mapped: the same entry, the same failures. A quiet pass first builds the entry where
  // no guard can see it, so that its fields are packed in registers and each word is stored
  // once; only when that build fails is the entry built again under the guards, which fail at the
  // same rule and show the entry as far as it was built (the rules read the log entry and the
  // table utility, and change neither).
  EEDB_INLINE_STAGE static Entry translateForWrite(Util const& util, Wrapper const& wrapper,
                                                   EntryKey const& hwKey) {
    if constexpr (kTraced || !kUnguardedFirst) {
      return translate(util, wrapper, hwKey);
    } else {
      try {
        return build<false>(util, wrapper, hwKey);
      } catch (...) {
      }
      return translateAgain(util, wrapper, hwKey);
    }
  }

  // The size in bits of the entry that translateToHwFormat builds at a key already mapped, with
  // its failures: what a delete needs of its translation. A quiet pass runs the rules on an entry
  // that nothing else sees, so that only their checks remain; after a failure, as above.
  EEDB_INLINE_STAGE static std::uint32_t translatedSize(Util const& util, Wrapper const& wrapper,
                                                        EntryKey const& hwKey) {
    if constexpr (kTraced || !kUnguardedFirst) {
      return translate(util, wrapper, hwKey).entrySizeBits();
    } else {
      try {
        return sizeUnguarded(util, wrapper, hwKey);
      } catch (...) {
      }
      return translateAgain(util, wrapper, hwKey).entrySizeBits();
    }
  }

  // translateToHwFormat_: the unit's FAP id (a unit beyond FAP 128 fails here) and the key are
  // taken first.
  static Entry translateUnguarded(Util const& util, Wrapper const& wrapper) {
    static_cast<void>(fapIdOf(wrapper.unitId()));
    return build(util, wrapper, mapKey(wrapper.logEntry(), wrapper.unitId()));
  }
  // translateToHwFormat: the same under the translation guard.
  static Entry translate(Util const& util, Wrapper const& wrapper) {
    return guarded(translateUnguarded, util, wrapper);
  }

  // revertHwEntry: what an entry turns into when it is deleted while the table updates on
  // delete. Every table reverts to the blank entry, so the hardware entry is deleted.
  static Entry revert(Wrapper const& wrapper, SchanAccel::FapId fapId, EntryKey const& hwKey) {
    EEDB_ENTRY_TRACE(kTraced, Util, "revertHwEntry", Util::kName,
                     " fapId: {} instanceId: {} hwKey: {} logEntry: {} ", fapId,
                     wrapper.unitId().instanceId(), hwKey, wrapper.logEntry());
    return Entry(EntryKey());
  }
  static Entry revert(Wrapper const& wrapper) {
    SchanAccel::FapId const fapId = fapIdOf(wrapper.unitId());
    EntryKey const hwKey = mapKey(wrapper.logEntry(), wrapper.unitId());
    return revert(wrapper, fapId, hwKey);
  }

  // The condition of a table with views: the view type is in its map.
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

  // The translation guard. Its body is the one part of a pass that the compiler may keep out of
  // line (pipeline/Pass.h): a large table's translation stays a call of its own. So the body takes
  // its arguments as parameters, not by capture: a closure written to the stack just before that
  // call and read back at its start stalls the read (MPLS tunnel deletes took 1.2 times as long);
  // parameters arrive in registers.
  template <class Body, class... Rest>
  EEDB_INLINE_STAGE static Entry guarded(Body&& body, Util const& util, Wrapper const& wrapper,
                                         Rest const&... rest) {
    return Asic::throwIfException(
        body,
        [&] {
          return fmt::format("{}: [logEntry: {}]", "translateToHwFormat", wrapper.logEntry());
        },
        util, wrapper, rest...);
  }

  // The entry in the format its view selects, by the rules the view names; the key-only entry for
  // a view outside the map.
  //
  // The table's rules (the translator's fields, then the hook) run in lambdas marked flatten: all
  // they call is inlined into them, where the format entry is a local; the fields are then packed
  // in registers and each word of the entry is stored once, instead of once per field. Without them
  // a pass costs up to 72 instructions more per entry (IPv6 tunnel DIP updates, through the hook;
  // sub-interface deletes 43 more, through the fields), though MPLS and TAP aggregation views would
  // take up to 47 fewer: no view may rise, so both stay.
  //
  // kGuarded false (translateForWrite): the hook runs without its guard, so that nothing but the
  // rules sees the format entry before it is returned.
  template <bool kGuarded = true>
  EEDB_INLINE_STAGE static Entry build(Util const& util, Wrapper const& wrapper,
                                       EntryKey const& hwKey) {
    // The wrapper's own log entry, not a copy. The hooks take it by reference, as the agent's
    // hooks do, and write none of its fields; the wrapper is the agent's object, never const.
    LogEntry& logEntry = const_cast<LogEntry&>(wrapper.logEntry());
    Asic::UnitId const unitId = wrapper.unitId();
    EEDB_ENTRY_TRACE(kTraced, Util, "translateToHwFormat_", Util::kName,
                     " fapId: {} instanceId: {} hwKey: {} logEntry: {}", fapIdOf(unitId),
                     unitId.instanceId(), hwKey, logEntry);
    if constexpr (Util::Family::kHasViews) {
      return Util::Views::dispatch(
          viewTypeOf(logEntry),
          [&]<class View>(std::type_identity<View>) -> Entry {
            typename View::FormatType hwEntry(hwKey);
            hwEntry.handleInitialized();
            if constexpr (View::kSetsFields) {
              // Generic, so that a table without field rules is never asked for them.
              [&](auto const& rules) __attribute__((flatten)) {
                rules.setTranslatorFields(hwEntry, logEntry);
              }
              (util);
            }
            if constexpr (View::kHasHook && kGuarded) {
              userDefinedDoSetHwEntry(util, unitId, logEntry, hwEntry);
            } else if constexpr (View::kHasHook) {
              [&](auto const& rules) __attribute__((flatten)) {
                rules.doSetHwEntry(unitId, logEntry, hwEntry);
              }
              (util);
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

  // The guarded build of an entry whose unguarded build failed: its failure, as translate()
  // raises it.
  [[gnu::cold, gnu::noinline]] static Entry translateAgain(Util const& util, Wrapper const& wrapper,
                                                           EntryKey const& hwKey) {
    return translate(util, wrapper, hwKey);
  }

  // The size of the entry in the format its view selects, its rules run unguarded on a format
  // entry of their own (flattened, so that the entry stays a local and its packing falls away).
  EEDB_INLINE_STAGE static std::uint32_t sizeUnguarded(Util const& util, Wrapper const& wrapper,
                                                       EntryKey const& hwKey) {
    LogEntry& logEntry = const_cast<LogEntry&>(wrapper.logEntry());
    Asic::UnitId const unitId = wrapper.unitId();
    return Util::Views::dispatch(
        viewTypeOf(logEntry),
        [&]<class View>(std::type_identity<View>) __attribute__((flatten))->std::uint32_t {
          typename View::FormatType hwEntry(hwKey);
          hwEntry.handleInitialized();
          // Generic, as in build(), so that a table is never asked for rules it lacks.
          if constexpr (View::kSetsFields) {
            [&](auto const& rules) { rules.setTranslatorFields(hwEntry, logEntry); }(util);
          }
          if constexpr (View::kHasHook) {
            [&](auto const& rules) { rules.doSetHwEntry(unitId, logEntry, hwEntry); }(util);
          }
          return View::FormatType::kSpec.sizeBits;
        },
        [] { return std::uint32_t{0}; });
  }

  // The table's per-format hook, under its own guard.
  template <class Format>
  EEDB_INLINE_STAGE static void userDefinedDoSetHwEntry(Util const& util, Asic::UnitId unitId,
                                                        LogEntry& swEntry, Format& hwEntry) {
    EEDB_ENTRY_TRACE(kTraced, Util, "userDefinedDoSetHwEntry", "",
                     " calling user specified util function");
    // Flattened, as the translator's fields are (build says why).
    Asic::throwIfException(
        [&]() __attribute__((flatten)) { util.doSetHwEntry(unitId, swEntry, hwEntry); },
        [&] {
          return fmt::format("{}: [unitId: {}], [logEntry: {}], [hwEntry: {}]",
                             "userDefinedDoSetHwEntry", unitId, swEntry, hwEntry);
        });
    EEDB_ENTRY_TRACE(kTraced, Util, "userDefinedDoSetHwEntry", "",
                     " after user function hwEntry: {}", hwEntry);
  }
};

}  // namespace eedb
