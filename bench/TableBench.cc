// Throughput of the table utilities: processSwEntry per table utility and view (adds of new
// keys, updates of existing keys, deletes) on log entry wrappers built in advance, with every
// trace level off, next to the floor: the same translated entries stored under the same
// (shadow key, hardware key) pairs in an absl::flat_hash_map and read back once. Also the heap
// allocations per entry and the bytes of heap per stored shadow entry at one million entries.
//
// The plug-in is loaded through the platform's plug-in loader (dlopen) and its table utilities
// are created through their registered factories, as the agent does.
//
//   eedb-bench [--plugin PATH] [--keys N] [--memory-entries N] [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <fmt/format.h>

#include "HeapCounter.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "hardware/FapRevision.h"
#include "kiv/Trace.h"
#include "plugin/Library.h"
#include "zuri_asic_utils/TableManager.h"
#include "zuri_asic_utils/UtilBase.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"
#include "zuri_errm/Catalog.h"

namespace eedb::bench {
namespace {

using Pelix::Ptr;
using Wrappers = std::vector<Ptr<Asic::LogEntryWrapperBase>>;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::UtilBase;
using ZuriErrm::Value;

// Every entry goes to FAP 0, instance 0.
constexpr Asic::UnitId kUnit = Asic::UnitId::of(0, 0);
inline HwShadowKey const kShadowKey(SchanAccel::FapId(0), 0);
constexpr std::uint8_t kDeleteFlag = ZuriErrm::LogFlumeFlags::kDelete;

struct Options {
  std::string plugin = EEDB_PLUGIN_PATH;
  std::uint32_t keys = 1u << 16;  // per batch; all keys fit the 16-bit keys of the direct tables
  std::uint32_t memoryEntries = 1'000'000;
};
Options gOptions;

// The i-th key of a batch: the 16-bit keys in a scattered order (odd multiplier: a bijection).
std::uint32_t keyAt(std::uint32_t i) {
  return i < 0x10000 ? (i * 40503u) & 0xFFFFu : i;
}

// ---- the table utilities and views ----

struct Case {
  ZuriAsicUtils::UtilKey key;
  ZuriAsicUtils::UtilFactory factory;
  ZuriErrm::TableInfo const* table;
  std::optional<unsigned> viewType;  // none for tables without views
  std::string label;                 // "EedbOutrifUtil/view:1"
};

struct Managers {
  Ptr<ZuriAsicUtils::TableManager> hw = Pelix::make<ZuriAsicUtils::TableManager>();
  Ptr<ZuriMdb::TableManager> mdb = Pelix::make<ZuriMdb::TableManager>();
  Ptr<ZuriAsicUtils::HwWriterStatus> writer = Pelix::make<ZuriAsicUtils::HwWriterStatus>();
  Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig> bulk =
      Pelix::make<ZuriAsicUtils::HwBulkDownloadErrConfig>();
};

Ptr<UtilBase> createUtil(Case const& c, Managers const& m) {
  auto util = c.factory(c.key, m.hw, m.mdb, m.writer, m.bulk);
  util->fapIdIs(Pelix::make<ZuriAsicUtils::FapControlData const>(SchanAccel::FapId(0)));
  return util;
}

// A log entry of the case's table and view under `key`; every other plain field holds `fill`
// (cut to its width), MAC addresses a fixed address, the rest stays 0.
ZuriErrm::AnyLogEntry makeEntry(Case const& c, std::uint32_t key, std::uint64_t fill) {
  auto const& table = *c.table;
  auto entry = table.newEntry();
  for (auto const& field : table.fields) {
    using ZuriErrm::FieldKind;
    if (field.name == "key") {
      if (field.kind == FieldKind::object) {
        std::vector<Value::Member> members;
        for (auto const& m : field.members)
          members.push_back({std::string(m.name), Value::number(key)});
        field.set(entry, Value::object(std::move(members)));
      } else {
        field.set(entry, Value::number(key));
      }
    } else if (field.name == "viewType") {
      field.set(entry, Value::number(c.viewType.value_or(0)));
    } else if (field.kind == FieldKind::number || field.kind == FieldKind::bounded ||
               field.kind == FieldKind::outlif) {
      field.set(entry, Value::number(std::min(fill, field.max())));
    } else if (field.kind == FieldKind::mac && fill != 0) {
      field.set(entry, Value::text("02:00:00:aa:bb:cc"));
    }
  }
  return entry;
}

Wrappers makeWrappers(Case const& c, std::uint32_t count, std::uint64_t fill, std::uint8_t flags) {
  Wrappers out;
  out.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    out.push_back(c.table->makeWrapper(makeEntry(c, keyAt(i), fill), kUnit, flags));
  }
  return out;
}

// Every table utility registered for 26:A0 with every view it takes, in registration order:
// the views are found by offering an entry of each view type to a scratch table utility.
std::vector<Case> discoverCases() {
  static ZuriAsicUtils::UtilHolderContext context;
  ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader()->initPlugins(&context);
  std::vector<Case> cases;
  for (auto const& r : context.registrations()) {
    if (!(r.key.fapRevision == Hardware::Zuri::FapRevision::fapRevGen3A0())) continue;
    std::string_view shortName = r.key.utilName;
    shortName.remove_prefix(shortName.rfind(':') + 1);
    for (auto const& table : ZuriErrm::tables()) {
      if (!(table.swTableId == r.key.swTableId)) continue;
      bool const hasViews = table.field("viewType") != nullptr;
      for (unsigned view = 0; view < (hasViews ? 256u : 1u); ++view) {
        Case c{r.key, r.factory, &table, std::nullopt, {}};
        if (hasViews) c.viewType = view;
        Managers m;
        auto util = createUtil(c, m);
        auto probe = makeWrappers(c, 1, 1, 0);
        if (!util->utilApplicable(probe[0])) continue;
        util->processSwEntry(probe[0]);  // a view that fails here is a fault worth seeing
        c.label = hasViews ? fmt::format("{}/view:{}", shortName, view)
                           : fmt::format("{}/view:-", shortName);
        cases.push_back(std::move(c));
      }
    }
  }
  return cases;
}

// ---- the table utility under test ----

// A table utility with the wrappers of one batch: adds (fill 1), updates (fill 0) and deletes.
struct Fixture {
  explicit Fixture(Case const& c)
      : util(createUtil(c, managers)),
        adds(makeWrappers(c, gOptions.keys, 1, 0)),
        updates(makeWrappers(c, gOptions.keys, 0, 0)),
        deletes(makeWrappers(c, gOptions.keys, 1, kDeleteFlag)) {}

  void run(Wrappers const& batch) {
    for (auto const& w : batch) benchmark::DoNotOptimize(util->processSwEntry(w));
  }
  void clear() { benchmark::DoNotOptimize(util->clearHwTable(kUnit)); }

  Managers managers;
  Ptr<UtilBase> util;
  Wrappers adds, updates, deletes;
};

void finish(benchmark::State& state, AllocationWindow const& allocs) {
  auto const items = static_cast<double>(state.iterations()) * gOptions.keys;
  state.SetItemsProcessed(static_cast<std::int64_t>(items));
  state.counters["allocs_per_item"] =
      benchmark::Counter(static_cast<double>(allocs.total()) / items);
}

enum class Op { add, update, del };

constexpr std::string_view opName(Op op) {
  return op == Op::add ? "add" : op == Op::update ? "update" : "delete";
}

// One iteration is one batch. Adds go into an empty shadow (the store grows as it would),
// updates rewrite every key of a full one, deletes empty a full one.
void benchUtil(benchmark::State& state, Case const& c, Op op) {
  Fixture f(c);
  AllocationWindow allocs;
  if (op != Op::add) f.run(f.adds);
  bool even = true;
  for (auto _ : state) {
    if (op == Op::add) {
      state.PauseTiming();
      f.clear();
      state.ResumeTiming();
    }
    allocs.open();
    f.run(op == Op::add ? f.adds : op == Op::del ? f.deletes : even ? f.updates : f.adds);
    allocs.close();
    even = !even;
    if (op == Op::del) {
      state.PauseTiming();
      f.run(f.adds);
      state.ResumeTiming();
    }
  }
  finish(state, allocs);
}

// ---- the floor ----

// The entries that the table utility stores for the adds and the updates of a batch, read back
// from its hardware table.
template <class Table>
struct FloorData {
  using Entry = typename Table::Entry;
  std::vector<std::uint64_t> keys;  // shadow key << 32 | hardware key
  std::vector<Entry> added, updated;

  explicit FloorData(Case const& c) {
    Fixture f(c);
    auto const& table = dynamic_cast<Table const&>(*f.util->hwTableBase());
    auto readBack = [&](std::vector<Entry>& out) {
      for (std::uint32_t i = 0; i < gOptions.keys; ++i) {
        auto const* stored = table.findEntry(kShadowKey, typename Table::EntryKey(keyAt(i)));
        if (stored == nullptr) throw std::logic_error(c.label + ": an added entry is not stored");
        out.push_back(*stored);
      }
    };
    f.run(f.adds);
    readBack(added);
    f.run(f.updates);
    readBack(updated);
    for (auto const& e : added) {
      keys.push_back(std::uint64_t{kShadowKey.packed()} << 32 | e.key().value());
    }
  }
};

template <class Table>
void benchFloor(benchmark::State& state, Case const& c, Op op) {
  FloorData<Table> const data(c);
  using Entry = typename Table::Entry;
  absl::flat_hash_map<std::uint64_t, Entry> map;
  auto const n = data.keys.size();
  auto store = [&](std::vector<Entry> const& entries) {
    for (std::size_t i = 0; i < n; ++i) {
      map.insert_or_assign(data.keys[i], entries[i]);
      benchmark::DoNotOptimize(map.find(data.keys[i])->second);
    }
  };
  AllocationWindow allocs;
  if (op != Op::add) store(data.added);
  bool even = true;
  for (auto _ : state) {
    if (op == Op::add) {
      state.PauseTiming();
      map.clear();
      state.ResumeTiming();
    }
    allocs.open();
    if (op == Op::del) {
      for (std::size_t i = 0; i < n; ++i) {
        map.erase(data.keys[i]);
        benchmark::DoNotOptimize(map.find(data.keys[i]) == map.end());
      }
    } else {
      store(op == Op::update && even ? data.updated : data.added);
    }
    allocs.close();
    even = !even;
    if (op == Op::del) {
      state.PauseTiming();
      store(data.added);
      state.ResumeTiming();
    }
  }
  finish(state, allocs);
}

// ---- memory ----

// Heap bytes per stored shadow entry: one Out-RIF entry per key under one shadow key, measured
// as the growth of the live heap while the entries are processed. The floor's map is measured
// the same way for comparison.
void benchMemory(benchmark::State& state, Case const& c) {
  std::uint32_t const n = gOptions.memoryEntries;
  for (auto _ : state) {
    Managers managers;
    auto util = createUtil(c, managers);
    Wrappers wrappers;
    wrappers.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      wrappers.push_back(c.table->makeWrapper(makeEntry(c, i, 1), kUnit, 0));
    }
    auto const before = heapLiveBytes();
    for (auto const& w : wrappers) benchmark::DoNotOptimize(util->processSwEntry(w));
    auto const after = heapLiveBytes();
    auto const& table = dynamic_cast<chip26_a0::EedbHwMdb const&>(*util->hwTableBase());
    if (table.entryCount() != n) throw std::logic_error("memory: not every entry is stored");

    absl::flat_hash_map<std::uint64_t, chip26_a0::EedbHwMdb::Entry> floor;
    auto const floorBefore = heapLiveBytes();
    table.forEachEntry([&](HwShadowKey k, chip26_a0::EedbHwMdb::Entry const& e) {
      floor.emplace(std::uint64_t{k.packed()} << 32 | e.key().value(), e);
    });
    auto const floorAfter = heapLiveBytes();

    state.counters["entries"] = n;
    state.counters["bytes_per_entry"] = static_cast<double>(after - before) / n;
    state.counters["floor_bytes_per_entry"] = static_cast<double>(floorAfter - floorBefore) / n;
  }
}

// ---- set-up ----

void parseOwnOptions(int& argc, char** argv) {
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view const arg = argv[i];
    auto value = [&](std::string_view name) -> std::optional<std::string_view> {
      if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=') {
        return arg.substr(name.size() + 1);
      }
      return std::nullopt;
    };
    if (auto v = value("--plugin")) {
      gOptions.plugin = std::string(*v);
    } else if (auto v = value("--keys")) {
      gOptions.keys = static_cast<std::uint32_t>(std::stoul(std::string(*v)));
    } else if (auto v = value("--memory-entries")) {
      gOptions.memoryEntries = static_cast<std::uint32_t>(std::stoul(std::string(*v)));
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  if (gOptions.keys == 0 || gOptions.keys > 0x10000) {
    throw std::invalid_argument("--keys must be 1 to 65536");
  }
}

template <class Table>
void registerFloor(Case const& c) {
  for (Op op : {Op::add, Op::update, Op::del}) {
    benchmark::RegisterBenchmark(fmt::format("{}/{}/floor", c.label, opName(op)).c_str(),
                                 [&c, op](benchmark::State& s) { benchFloor<Table>(s, c, op); });
  }
}

void registerAll(std::vector<Case> const& cases) {
  for (auto const& c : cases) {
    for (Op op : {Op::add, Op::update, Op::del}) {
      benchmark::RegisterBenchmark(fmt::format("{}/{}/processSwEntry", c.label, opName(op)).c_str(),
                                   [&c, op](benchmark::State& s) { benchUtil(s, c, op); });
    }
    Managers m;
    auto const util = createUtil(c, m);
    auto const& hwTable = *util->hwTableBase();
    if (dynamic_cast<chip26_a0::EedbHwMdb const*>(&hwTable)) {
      registerFloor<chip26_a0::EedbHwMdb>(c);
    } else if (dynamic_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(&hwTable)) {
      registerFloor<chip26_a0::EedbAgMemTlmHwDirect>(c);
    } else if (dynamic_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(&hwTable)) {
      registerFloor<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect>(c);
    }
    if (c.label == "EedbOutrifUtil/view:1") {
      benchmark::RegisterBenchmark("memory/EedbOutrifUtil/view:1", [&c](benchmark::State& s) {
        benchMemory(s, c);
      })->Iterations(1);
    }
  }
}

}  // namespace
}  // namespace eedb::bench

int main(int argc, char** argv) {
  using namespace eedb::bench;
  try {
    parseOwnOptions(argc, argv);
    Kiv::traceConfigIs("");  // every trace level off, whatever ZURI_TRACE says
    static Plugin::Library const library = Plugin::loadLibrary(gOptions.plugin);
    static std::vector<Case> const cases = discoverCases();
    if (cases.empty()) throw std::runtime_error("the plug-in registers no table utility for 26:A0");
    registerAll(cases);
  } catch (std::exception const& e) {
    fmt::print(stderr, "eedb-bench: {}\n", e.what());
    return 2;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
