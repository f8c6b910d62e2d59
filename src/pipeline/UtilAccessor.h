// ZuriAsicUtils::UtilAccessor<Util>: the log-entry pipeline that every table utility runs,
// written once and instantiated per table utility: applicability checks, shadow writing and
// SCHAN command generation, and the user hooks of translation.
//
// An accessor lives for one call and holds only the table utility. It reads the utility's FAP
// mask, statistics, hardware table, software table id and table manager, and calls its
// table-specific members (key mapping, translation, revert).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "asic/Types.h"
#include "kiv/Trace.h"
#include "pelix/Ptr.h"
#include "pipeline/Downcast.h"
#include "pipeline/Failure.h"
#include "pipeline/Unit.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"

// A trace site of a pipeline pass (a class with a constant kTraced): a quiet pass has none.
#define EEDB_PASS_TRACE(PassType, ...)                        \
  do {                                                        \
    if constexpr (PassType::kTraced) EEDB_TRACE(__VA_ARGS__); \
  } while (false)

namespace ZuriAsicUtils {

// The pass kind of the members that take only whether they are traced.
template <bool kTracedPass>
struct Traced {
  static constexpr bool kTraced = kTracedPass;
};

// MDB tables take entry sizes in bits (deleteEntry, schanCmds); direct tables do not.
template <class HwTable>
concept SizedHwTable = requires(HwTable& table, HwShadowKey shadowKey,
                                typename HwTable::EntryKey const& key) {
  table.deleteEntry(shadowKey, key, 0u);
};

template <class Util>
class UtilAccessor {
 public:
  explicit UtilAccessor(Util* util) noexcept : util_(util) {}

  // Named after the table utility's class without namespaces; the instantiation on a const
  // table utility is a second handle of the same name. Inlined: every trace site tests a level
  // on it, and a call per test would cost more than the test.
  [[gnu::always_inline]] static Kiv::TraceHandle& _defaultTraceHandle() {
    static Kiv::TraceHandle handle(std::string(std::remove_const_t<Util>::kShortName), false);
    return handle;
  }

  // True for a table-delete entry of a FAP in the FAP mask, or of the null FAP id.
  template <class Wrapper>
  bool isTableDeleteEntry(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) const {
    return isTableDeleteEntry(detail::requireWrapper<Wrapper>(entry));
  }
  template <class Wrapper>
  bool isTableDeleteEntry(Wrapper const& wrapper) const {
    auto const& flume = wrapper.flumeEntry();
    if (!flume.isTableDelete()) return false;
    return inFapmask(eedb::fapIdOf(flume.unitId()));
  }

  // The FAP mask filter.
  template <class Wrapper>
  bool isEntryHandled(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) const {
    return isEntryHandled(detail::requireWrapper<Wrapper>(entry));
  }
  template <class Wrapper, bool kTraced = true>
  bool isEntryHandled(Wrapper const& wrapper) const {
    auto const& flume = wrapper.flumeEntry();
    if (inFapmask(eedb::fapIdOf(flume.unitId()))) return true;
    // The host counts this text as it is, two blanks included.
    EEDB_PASS_TRACE(Traced<kTraced>, _defaultTraceHandle(), 3, "isEntryHandled", "",
                    "Ignoring due to fapmask  mismatch");
    util_->stats()->fapmaskMismatchInc(1);
    return false;
  }

  // Sets or deletes the entry's hardware entry in the shadow; returns its size in bits (0 for
  // direct tables).
  template <class Wrapper, class HwTable, class DefaultEntry>
  std::uint32_t writeSwEntryToShadow(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) const {
    typename Util::template Pass<true> pass;
    return writeSwEntryToShadow<Wrapper, HwTable, DefaultEntry>(
        detail::requireWrapper<Wrapper>(entry), pass);
  }
  // The same for a wrapper at hand, in a pass over the entry (the table utility's Pass).
  template <class Wrapper, class HwTable, class DefaultEntry, class Pass>
  [[gnu::always_inline]] std::uint32_t writeSwEntryToShadow(Wrapper const& wrapper,
                                                            Pass& pass) const {
    auto const& flume = wrapper.flumeEntry();
    SchanAccel::FapId const fapId = eedb::fapIdOf(flume.unitId());
    InstanceId const instanceId = flume.unitId().instanceId();
    EEDB_PASS_TRACE(Pass, _defaultTraceHandle(), 3, "writeSwEntryToShadow", "",
                    " fapId: {} instanceId {} logEntry: {}", fapId, instanceId, flume);
    HwTable& table = util_->boundHwTable(pass);
    auto const hwKey = util_->mapKeyOnce(flume.logEntry(), flume.unitId(), pass);
    HwShadowKey const shadowKey(fapId, instanceId);
    constexpr bool kSized = SizedHwTable<HwTable>;

    // The shadow's memory of the key is asked for before the entry is translated, so that the
    // translation overlaps its cache misses.
    if (flume.isDelete()) {
      table.prefetchEntry(shadowKey, hwKey);
      std::uint32_t size = 0;
      if constexpr (kSized) {
        size = util_->translate(wrapper, pass).entrySizeBits();
        // The chip holds the entry in the format it was added with; a delete of another view
        // (a table delete that carries only its key) must still clear all of it.
        if (auto const* stored = table.findEntry(shadowKey, hwKey);
            stored != nullptr && stored->hasFormat()) {
          size = stored->entrySizeBits();
        }
      }
      if (table.updateOnDelete()) {
        auto const reverted = util_->revert(wrapper);
        if (!reverted.isEq(DefaultEntry(typename HwTable::EntryKey()))) {
          table.setEntry(shadowKey, reverted);
          util_->stats()->updateOnDelCntInc(1);
          return size;
        }
      }
      if constexpr (kSized) {
        table.deleteEntry(shadowKey, hwKey, size);
      } else {
        table.deleteEntry(shadowKey, hwKey);
      }
      util_->stats()->deleteCntInc(1);
      return size;
    }

    auto* const stored = table.entryToReplace(shadowKey, hwKey);  // replaced in place below
    auto const hwEntry = util_->translate(wrapper, pass);
    EEDB_PASS_TRACE(Pass, _defaultTraceHandle(), 3, "writeSwEntryToShadow", "",
                    " fapId: {} hwEntry: {}", fapId, hwEntry);
    if constexpr (kSized) {
      // An entry without a format (a table-delete entry of a view this table does not write)
      // has nothing for the chip, and must not replace what another table utility stored
      // under the same key: the add is counted, the shadow keeps what it holds.
      if (!hwEntry.hasFormat()) {
        util_->stats()->addCntInc(1);
        return 0;
      }
    }
    table.replaceEntry(shadowKey, stored, hwEntry);
    std::uint32_t size = 0;
    if constexpr (kSized) size = hwEntry.entrySizeBits();
    util_->stats()->addCntInc(1);
    return size;
  }

  // Counts one SCHAN enqueue for the entry's shadow key and returns the hardware table's
  // commands for it. Runs for every entry, applicable or not.
  template <class Wrapper, class HwTable>
  SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                         std::uint32_t sizeBits) const {
    typename Util::template Pass<true> pass;
    return getSchanCmds<Wrapper, HwTable>(detail::requireWrapper<Wrapper>(entry), sizeBits, pass);
  }
  template <class Wrapper, class HwTable, class Pass>
  SchanCmds getSchanCmds(Wrapper const& wrapper, std::uint32_t sizeBits, Pass& pass) const {
    auto const& flume = wrapper.flumeEntry();
    SchanAccel::FapId const fapId = eedb::fapIdOf(flume.unitId());
    InstanceId const instanceId = flume.unitId().instanceId();
    EEDB_PASS_TRACE(Pass, _defaultTraceHandle(), 3, "getSchanCmds", "",
                    " fapId: {} instanceId {} swEntry: {}", fapId, instanceId, flume.logEntry());
    HwTable const& table = util_->boundHwTable(pass);
    auto const hwKey = util_->mapKeyOnce(flume.logEntry(), flume.unitId(), pass);
    HwShadowKey const shadowKey(fapId, instanceId);
    Asic::SwTableId const swTableId = util_->utilKey().swTableId;

    // "schanEnqeueuStats": the host's spelling of this trace, kept as it is.
    EEDB_PASS_TRACE(Pass, _defaultTraceHandle(), 3, "getSchanCmds", "",
                    " Created schanEnqeueuStats for SwTableId {} ", swTableId);
    // The record created (or found) here is the one the count goes to.
    auto& enqueueStats = util_->hwTableManager()->stats().schanEnqueueStatsIs(swTableId);
    EEDB_PASS_TRACE(Pass, _defaultTraceHandle(), 3, "getSchanCmds", "",
                    " Incrementing EnqueueStats for shadowKey {}", shadowKey.toString());
    enqueueStats.entryEnqueueCntInc(shadowKey, 1);

    if constexpr (SizedHwTable<HwTable>) {
      return table.schanCmds(shadowKey, hwKey, sizeBits, Pelix::Ptr<Asic::LogEntryWrapperBase>());
    } else {
      return table.schanCmds(shadowKey, hwKey, Pelix::Ptr<Asic::LogEntryWrapperBase>());
    }
  }

  // Runs the table's per-format hook under its guard; traced unless in a quiet pass.
  template <bool kTraced = true, class LogEntry, class Format>
  [[gnu::always_inline]] void userDefinedDoSetHwEntry(Asic::UnitId unitId, LogEntry& swEntry,
                                                      Format& hwEntry) const {
    EEDB_PASS_TRACE(Traced<kTraced>, _defaultTraceHandle(), 3, "userDefinedDoSetHwEntry", "",
                    " calling user specified util function");
    // The hook is inlined into the translation, where the log entry copy and the format entry
    // are locals known not to overlap: the fields are then packed in registers and each word
    // is stored once, instead of once per field (byte-wide software fields may alias anything
    // behind a reference).
    Asic::throwIfException(
        [&]() __attribute__((flatten)) { util_->doSetHwEntry(unitId, swEntry, hwEntry); },
        [&] {
          return fmt::format("{}: [unitId: {}], [logEntry: {}], [hwEntry: {}]",
                             "userDefinedDoSetHwEntry", unitId, swEntry, hwEntry);
        });
    EEDB_PASS_TRACE(Traced<kTraced>, _defaultTraceHandle(), 3, "userDefinedDoSetHwEntry", "",
                    " after user function hwEntry: {}", hwEntry);
  }

  // The key hook of the tables that keep the low 20 bits of the software key.
  template <class HwEntryKey, bool kTraced = true>
  HwEntryKey userDefinedGetHwEntryKey(std::uint32_t swKey) const {
    EEDB_PASS_TRACE(Traced<kTraced>, _defaultTraceHandle(), 3, "userDefinedGetHwEntryKey", "",
                    " calling user specified getHwEntryKey function");
    HwEntryKey key;
    key.valueIs(swKey & 0xFFFFFu);
    return key;
  }

 private:
  bool inFapmask(SchanAccel::FapId fapId) const noexcept {
    return fapId.isNull() || util_->fapmask().test(fapId);
  }

  Util* util_;
};

}  // namespace ZuriAsicUtils
