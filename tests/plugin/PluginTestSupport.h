// Support of the plug-in tests: the plug-in loaded once through the real dlopen path, table
// utilities made by their registered factories, reflection, log entries, captured traces, a
// snapshot of everything an entry may change (shadow, counters, enqueue statistics) and the
// chip memory model's view of a shadow.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "asic/OrderedTableException.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "kiv/Trace.h"
#include "pelix/Ptr.h"
#include "pelix/RangeException.h"
#include "pelix/Reflection.h"
#include "plugin/Library.h"
#include "plugin/Loader.h"
#include "replay_support/Catalog.h"
#include "replay_support/ChipMemory.h"
#include "zuri_asic_utils/TableManager.h"
#include "zuri_asic_utils/UtilBase.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"
#include "zuri_errm/SwTables.h"

namespace eedb::test {

using Hardware::ChipType;
using Hardware::Zuri::FapRevision;
using ZuriAsicUtils::UtilBase;

inline constexpr FapRevision kA0{ChipType{26}, 'A', 0};
inline constexpr FapRevision kB0{ChipType{26}, 'B', 0};
inline constexpr std::string_view kOutrif = "chip26_a0::ZuriErrmUtil::EedbOutrifUtil";
inline constexpr std::size_t kTableCount = 16;
inline constexpr char const* kFapRange =
    "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null not allowed";

// The sixteen table utilities in the order in which the plug-in constructs their registration
// objects at load: software table id, the view types taken (bit n: view n; none: every entry)
// and the class of the hardware table, in namespace chip26_a0.
struct ExpectedUtil {
  std::string_view name;
  std::uint32_t swTableId;
  std::uint16_t views;
  std::string_view hwTable;
};
inline constexpr ExpectedUtil kExpectedUtils[kTableCount] = {
    {"chip26_a0::ZuriErrmUtil::EedbAgMemTlmUtil", 0x03010C01, 0, "EedbAgMemTlmHwDirect"},
    {"chip26_a0::ZuriErrmUtil::EedbVxlanTunnelUtil", 0x03010C0D, 0x1, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbSflowDataTableUtil", 0x03010C08, 0x1, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbIpTunnelUtil", 0x03010C04, 0x7, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbDataByLocalOutlifMsbsUtil", 0x03010C03, 0,
     "EedbDataByLocalOutlifMsbsHwDirect"},
    {"chip26_a0::ZuriErrmUtil::EedbOutrifUtil", 0x03010C07, 0x2, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbMplsTunnelTableUtil", 0x03010C06, 0xFFE, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipNonAiUtil", 0x03010C04, 0x8, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbSrv6TunnelUtil", 0x03010C09, 0x7, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbIpv6TunnelDipUtil", 0x03010C04, 0x4, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbTapAggTableUtil", 0x03010C0C, 0x1E, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbSflowTableUtil", 0x03010C08, 0x1, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbStatTableUtil", 0x03010C0A, 0x2, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmArpUtil::EedbArpTableUtil", 0x03011001, 0x3E, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbSubIntfOutAcTableUtil", 0x03010C0B, 0x2, "EedbHwMdb"},
    {"chip26_a0::ZuriErrmUtil::EedbIpTunnelNonAiUtil", 0x03010C04, 0x8, "EedbHwMdb"},
};

// The plug-in, loaded on first use; it stays loaded for the rest of the process.
inline Plugin::Library const& plugin() {
  static Plugin::Library const library = Plugin::loadLibrary(EEDB_PLUGIN_PATH);
  return library;
}

// A context for which the loader has initialised every plug-in of the process.
inline ZuriAsicUtils::UtilHolderContext const& registrations() {
  static ZuriAsicUtils::UtilHolderContext const context = [] {
    plugin();
    ZuriAsicUtils::UtilHolderContext c;
    ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader()->initPlugins(&c);
    return c;
  }();
  return context;
}

inline auto const& registrationOf(std::string_view utilName, FapRevision rev) {
  for (auto const& r : registrations().registrations()) {
    if (r.key.utilName == utilName && r.key.fapRevision == rev) return r;
  }
  throw std::runtime_error(fmt::format("nothing registered for {} at {}", utilName, rev));
}
inline ZuriAsicUtils::UtilFactory const& factoryOf(std::string_view utilName, FapRevision rev) {
  return registrationOf(utilName, rev).factory;
}
inline ZuriAsicUtils::UtilKey const& keyOf(std::string_view utilName, FapRevision rev) {
  return registrationOf(utilName, rev).key;
}

// The table managers and the optional arguments that a factory takes.
struct Managers {
  Pelix::Ptr<ZuriAsicUtils::TableManager> hw = Pelix::make<ZuriAsicUtils::TableManager>();
  Pelix::Ptr<ZuriMdb::TableManager> mdb = Pelix::make<ZuriMdb::TableManager>();
  Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> writer = Pelix::make<ZuriAsicUtils::HwWriterStatus>();
  Pelix::Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig> bulk =
      Pelix::make<ZuriAsicUtils::HwBulkDownloadErrConfig>();
};

inline Pelix::Ptr<UtilBase> create(std::string_view utilName, Managers const& m,
                                   FapRevision rev = kA0) {
  return factoryOf(utilName, rev)(keyOf(utilName, rev), m.hw, m.mdb, m.writer, m.bulk);
}

inline void addFap(UtilBase& util, unsigned fapId) {
  util.fapIdIs(Pelix::make<ZuriAsicUtils::FapControlData const>(SchanAccel::FapId(fapId)));
}

// The catalogue's description of the utility's software table.
inline ZuriErrm::TableInfo const& tableInfoOf(UtilBase const& util) {
  for (auto const& t : ZuriErrm::tables()) {
    if (t.swTableId == util.utilKey().swTableId) return t;
  }
  throw std::runtime_error("no catalogue table for the utility's software table");
}

// ---- reflection ----

inline int reflect(UtilBase& util, std::string_view member, Pelix::Access access,
                   std::vector<std::any> const& args = {}, std::any* result = nullptr) {
  return Pelix::inspect(util, *util.typeData(), member, access, args, result);
}

inline std::any callAny(UtilBase& util, std::string_view member,
                        std::vector<std::any> const& args = {}) {
  std::any result;
  int const answer = reflect(util, member, Pelix::Access::call, args, &result);
  if (answer != Pelix::kInspectDone) {
    throw std::runtime_error(fmt::format("{} answered {}", member, answer));
  }
  return result;
}
template <class T>
T call(UtilBase& util, std::string_view member, std::vector<std::any> const& args = {}) {
  return std::any_cast<T>(callAny(util, member, args));
}

inline Pelix::Ptr<chip26_a0::EedbHwMdb> mdbTable(UtilBase& util) {
  std::any result;
  EXPECT_EQ(reflect(util, "hwTable", Pelix::Access::read, {}, &result), Pelix::kInspectDone);
  return std::any_cast<Pelix::Ptr<chip26_a0::EedbHwMdb>>(result);
}

// The entry stored under the key for FAP 0, instance 0, or null.
inline chip26_a0::EedbHwMdb::Entry const* storedIn(chip26_a0::EedbHwMdb const& table,
                                                   std::uint32_t key) {
  return table.findEntry({SchanAccel::FapId(0), 0}, chip26_a0::EedbHwMdb::EntryKey(key));
}

// ---- log entries ----

inline constexpr std::uint8_t kDelete = ZuriErrm::LogFlumeFlags::kDelete;
inline constexpr std::uint8_t kTableDelete = ZuriErrm::LogFlumeFlags::kTableDelete;

inline ZuriErrm::EedbOutrifLogEntry outrifEntry(std::uint32_t key, std::uint8_t viewType = 1) {
  ZuriErrm::EedbOutrifLogEntry e;
  e.keyIs(ZuriErrm::EedbOutrifEntryKey(key));
  e.viewTypeIs(viewType);
  e.forwardQosModelIs(1);
  e.mtuProfileIs(2);
  e.remarkProfileIs(3);
  e.fodoIs(100);
  return e;
}

template <class Wrapper, class LogEntry>
Pelix::Ptr<Asic::LogEntryWrapperBase> wrap(LogEntry const& logEntry, std::uint16_t unitId,
                                           std::uint8_t flags = 0) {
  return Pelix::make<Wrapper>(logEntry, Asic::UnitId(unitId), flags);
}

inline Pelix::Ptr<Asic::LogEntryWrapperBase> outrif(ZuriErrm::EedbOutrifLogEntry const& e,
                                                    std::uint16_t unitId = 0,
                                                    std::uint8_t flags = 0) {
  return wrap<ZuriErrm::EedbOutrifLogEntryWrapper>(e, unitId, flags);
}

// ---- traces ----

// Captures the trace lines written while it lives, with the given configuration, each as
// "HANDLE LEVEL FUNCTION [CLASS] MESSAGE": the source position left out.
class TraceCapture {
 public:
  explicit TraceCapture(std::string_view config) {
    Kiv::traceConfigIs(config);
    Kiv::traceSinkIs([this](std::string_view line) {
      auto const file = line.find(' ', line.find(' ') + 1);
      lines_.push_back(std::string(line.substr(0, file)) +
                       std::string(line.substr(line.find(' ', file + 1))));
    });
  }
  ~TraceCapture() {
    Kiv::traceSinkIs({});
    Kiv::traceConfigIs("");
  }

  std::vector<std::string> const& lines() const noexcept { return lines_; }
  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    for (auto const& l : lines_) out.push_back(l.substr(l.find("] ") + 2));
    return out;
  }

 private:
  std::vector<std::string> lines_;
};

// ---- shadow and snapshot ----

// Every entry of a hardware table of any class, printed and keyed by (packed shadow key,
// hardware key), so that whole shadows compare before and after, or against a reference.
using TableImage = std::map<std::pair<std::uint16_t, std::uint32_t>, std::string>;

inline TableImage imageOf(ZuriAsicUtils::HwCommonTableBase const& base) {
  TableImage image;
  auto add = [&](auto const& table) {
    table.forEachEntry([&](ZuriAsicUtils::HwShadowKey k, auto const& e) {
      image[{k.packed(), e.key().value()}] = fmt::format("{}", e);
    });
  };
  if (auto const* t = dynamic_cast<chip26_a0::EedbHwMdb const*>(&base)) add(*t);
  if (auto const* t = dynamic_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(&base)) add(*t);
  if (auto const* t = dynamic_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(&base)) {
    add(*t);
  }
  return image;
}

// The chip memory model against the shadow of a hardware table of any of the three classes.
inline std::vector<chip26_a0::MemoryDifference> chipAgainst(
    chip26_a0::ChipMemory const& chip, ZuriAsicUtils::HwCommonTableBase const& base) {
  using namespace chip26_a0;
  if (auto const* t = dynamic_cast<EedbHwMdb const*>(&base)) return compareWithShadow(chip, *t);
  if (auto const* t = dynamic_cast<EedbAgMemTlmHwDirect const*>(&base)) {
    return compareWithShadow(chip, *t);
  }
  return compareWithShadow(chip, dynamic_cast<EedbDataByLocalOutlifMsbsHwDirect const&>(base));
}

// Everything an entry may change: the utility's hardware table, its counters and the table
// manager's enqueue statistics.
struct Snapshot {
  TableImage shadow;
  std::uint64_t add = 0, del = 0, updateOnDel = 0, mismatch = 0;
  std::size_t enqueueRecords = 0;
  std::uint64_t enqueueTotal = 0;
  bool operator==(Snapshot const&) const = default;
};

inline Snapshot snapshot(UtilBase& util) {
  auto const& stats = *util.stats();
  auto& manager = util.hwTableManager()->stats();
  auto const record = manager.schanEnqueueStats(util.utilKey().swTableId);
  return {util.hwTableBase() ? imageOf(*util.hwTableBase()) : TableImage{},
          stats.addCnt(),
          stats.deleteCnt(),
          stats.updateOnDelCnt(),
          stats.fapmaskMismatch(),
          manager.recordCount(),
          record ? record->totalEnqueueCnt() : 0};
}

// Runs fn, which must raise E; returns the exception's text.
template <class E>
std::string raises(std::function<void()> const& fn) {
  try {
    fn();
  } catch (E const& e) {
    return e.what();
  }
  ADD_FAILURE() << "no exception";
  return {};
}

// As raises; the shadow, the counters and the enqueue statistics of every given table utility
// stay exactly as they were.
template <class E>
std::string raisesUntouched(std::initializer_list<UtilBase*> utils,
                            std::function<void()> const& fn) {
  std::vector<Snapshot> before;
  for (UtilBase* u : utils) before.push_back(snapshot(*u));
  std::string const text = raises<E>(fn);
  std::vector<Snapshot> after;
  for (UtilBase* u : utils) after.push_back(snapshot(*u));
  EXPECT_TRUE(after == before) << "a failure changed the table's state";
  return text;
}

}  // namespace eedb::test
