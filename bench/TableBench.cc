// Throughput of the table utilities: processSwEntry per table utility and view (adds of new
// keys, updates of existing keys, deletes) on log entry wrappers built in advance, with every
// trace level off, next to the floor: the same translated entries stored under the same
// (shadow key, hardware key) pairs in an absl::flat_hash_map, read back once (and, as a second
// reading, not read back). Also the heap allocations per entry and the bytes of heap per stored
// shadow entry at one million entries; ScalingBench.cc and MixedBench.cc add the scaling and the
// mixed stream, Instructions.cc the instruction counts.
//
// The plug-in is loaded through the platform's plug-in loader (dlopen) and its table utilities
// are created through their registered factories, as the agent does.
//
//   eedb-bench [--plugin=PATH] [--keys=N] [--memory-entries=N] [--scaling-keys=N,N,...]
//              [--mixed-keys=N] [--memory-curve=FILE] [--instructions=table|mixed|all]
//              [--fence-entries] [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <fmt/format.h>

#include "Bench.h"
#include "HeapCounter.h"
#include "chip26_a0/EedbHwMdb.h"
#include "kiv/Trace.h"
#include "plugin/Library.h"

namespace eedb::bench {
namespace {

using ZuriAsicUtils::HwShadowKey;

void finish(benchmark::State& state, AllocationWindow const& allocs) {
  auto const items = static_cast<double>(state.iterations()) * gOptions.keys;
  state.SetItemsProcessed(static_cast<std::int64_t>(items));
  state.counters["allocs_per_item"] =
      benchmark::Counter(static_cast<double>(allocs.total()) / items);
}

// One iteration is one batch (see Subject).
void benchSubject(benchmark::State& state, Subject& s, Op op) {
  AllocationWindow allocs;
  if (op != Op::add) s.fill();
  bool even = true;
  for (auto _ : state) {
    if (op == Op::add) {
      state.PauseTiming();
      s.clear();
      state.ResumeTiming();
    }
    allocs.open();
    s.pass(op, even);
    allocs.close();
    even = !even;
    if (op == Op::del) {
      state.PauseTiming();
      s.fill();
      state.ResumeTiming();
    }
  }
  finish(state, allocs);
}

// Heap bytes per stored shadow entry: one entry per key under one shadow key, measured as the
// growth of the live heap while the entries are processed. The floor's map is measured the same
// way for comparison.
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

std::uint32_t count(std::string_view name, std::string_view text) {
  std::uint32_t n = 0;
  auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n == 0) {
    throw std::invalid_argument(fmt::format("--{}: '{}' is not a positive count", name, text));
  }
  return n;
}

void parseOwnOptions(int& argc, char** argv) {
  gOptions.plugin = EEDB_PLUGIN_PATH;
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view const arg = argv[i];
    auto value = [&](std::string_view name) -> std::optional<std::string_view> {
      if (arg.starts_with("--") && arg.substr(2).starts_with(name) &&
          arg.size() > name.size() + 2 && arg[name.size() + 2] == '=') {
        return arg.substr(name.size() + 3);
      }
      return std::nullopt;
    };
    if (auto v = value("plugin")) {
      gOptions.plugin = std::string(*v);
    } else if (auto v = value("keys")) {
      gOptions.keys = count("keys", *v);
    } else if (auto v = value("memory-entries")) {
      gOptions.memoryEntries = count("memory-entries", *v);
    } else if (auto v = value("scaling-keys")) {
      gOptions.scalingKeys.clear();
      for (std::string_view rest = *v;;) {
        auto const comma = rest.find(',');
        gOptions.scalingKeys.push_back(count("scaling-keys", rest.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    } else if (auto v = value("mixed-keys")) {
      gOptions.mixedKeys = count("mixed-keys", *v);
    } else if (auto v = value("memory-curve")) {
      gOptions.memoryCurve = std::string(*v);
    } else if (arg == "--fence-entries") {
      gOptions.fenceEntries = true;
    } else if (auto v = value("instructions")) {
      if (*v != "table" && *v != "mixed" && *v != "all") {
        throw std::invalid_argument(
            fmt::format("--instructions: '{}' is none of table, mixed, all", *v));
      }
      gOptions.instructions = std::string(*v);
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  if (gOptions.keys > 0x10000) throw std::invalid_argument("--keys must be 1 to 65536");
}

// The subjects of one case (the table utility and its floors) stay built while its benchmarks
// run, which with random interleaving come in any order: run.py runs one case per process.
Subject& cachedSubject(Case const& c, std::string_view kind) {
  static std::string current;
  static std::map<std::string_view, std::unique_ptr<Subject>> subjects;
  if (c.label != current) {
    subjects.clear();
    current = c.label;
  }
  auto& subject = subjects[kind];
  if (!subject) subject = kind == kUtilKind ? utilSubject(c) : floorSubject(c, kind == kFloorKind);
  return *subject;
}

void registerTables() {
  for (auto const& c : cases()) {
    std::vector<std::string_view> kinds{kUtilKind};
    if (hasFloor(c)) kinds.insert(kinds.end(), {kFloorKind, kFloorWriteKind});
    for (auto const kind : kinds) {
      for (Op op : kOps) {
        benchmark::RegisterBenchmark(
            fmt::format("{}/{}/{}", c.label, opName(op), kind).c_str(),
            [&c, op, kind](benchmark::State& s) { benchSubject(s, cachedSubject(c, kind), op); });
      }
    }
    if (c.label == kScalingCase) {
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
    cases();
    if (!gOptions.instructions.empty()) {
      countInstructions(gOptions.instructions);
      return 0;
    }
    if (!gOptions.memoryCurve.empty()) {
      writeMemoryCurve(gOptions.memoryCurve);
      return 0;
    }
    registerTables();
    registerScaling();
    registerMixed();
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
