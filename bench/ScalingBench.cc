// Scaling: the cost per entry of processSwEntry and of the floor (with its read-back) for one
// table utility and view (kScalingCase) holding 1K to 16M keys, and the heap bytes per stored
// entry while that table grows, with the high-water mark of each growth step.
//
// A table of n keys is filled once, outside the timing, in batches of wrappers that are dropped
// as it goes; the measured passes then add, update or delete a sample of up to 65,536 of its
// keys spread over the whole key range, so that the shadow's size, not the sample's, sets the
// cache misses.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>

#include <absl/container/flat_hash_map.h>
#include <fmt/format.h>

#include "Bench.h"
#include "HeapCounter.h"
#include "chip26_a0/EedbHwMdb.h"

namespace eedb::bench {
namespace {

using Table = chip26_a0::EedbHwMdb;
using Entry = Table::Entry;

constexpr std::uint32_t kBatch = 1u << 16;   // wrappers built at once while a table fills
constexpr std::uint32_t kSample = 1u << 16;  // keys of one measured pass

// The i-th key of the sample of a table of n keys: a prime multiplier is a bijection modulo n.
std::uint32_t sampleKey(std::uint32_t i, std::uint32_t n) {
  return static_cast<std::uint32_t>(std::uint64_t{i} * 2'654'435'761u % n);
}

// Calls visit(first, wrappers) for the wrappers of keys 0 to n - 1, a batch at a time.
template <class Visit>
void inBatches(Case const& c, std::uint32_t n, Visit&& visit) {
  for (std::uint32_t first = 0; first < n; first += kBatch) {
    Wrappers batch;
    batch.reserve(std::min(kBatch, n - first));
    for (std::uint32_t k = first; k < n && k < first + kBatch; ++k) {
      batch.push_back(c.table->makeWrapper(makeEntry(c, k, 1), kUnit, 0));
    }
    visit(first, batch);
  }
}

// One table of n keys with the wrappers of its sample, and the floor built from it.
struct Scaled {
  Scaled(Case const& c, std::uint32_t keys) : n(keys), util(createUtil(c, managers)) {
    inBatches(c, n, [&](std::uint32_t, Wrappers const& batch) { run(batch); });
    auto const& table = hwTable();
    if (table.entryCount() != n) throw std::logic_error("scaling: not every entry is stored");
    std::uint32_t const m = std::min(n, kSample);
    for (std::uint32_t i = 0; i < m; ++i) {
      auto const key = sampleKey(i, n);
      adds.push_back(c.table->makeWrapper(makeEntry(c, key, 1), kUnit, 0));
      updates.push_back(c.table->makeWrapper(makeEntry(c, key, 0), kUnit, 0));
      deletes.push_back(c.table->makeWrapper(makeEntry(c, key, 1), kUnit, kDeleteFlag));
    }
  }

  Table const& hwTable() const { return dynamic_cast<Table const&>(*util->hwTableBase()); }
  void run(Wrappers const& batch) {
    for (auto const& w : batch) benchmark::DoNotOptimize(util->processSwEntry(w));
  }

  // The floor: every stored entry in the map, the sample's added and updated entries aside.
  void buildFloor() {
    if (!floorKeys.empty()) return;
    auto readBack = [&](std::vector<Entry>& out) {
      for (std::uint32_t i = 0; i < adds.size(); ++i) {
        auto const* e = hwTable().findEntry(kShadowKey, Table::EntryKey(sampleKey(i, n)));
        if (e == nullptr) throw std::logic_error("scaling: a sample entry is not stored");
        out.push_back(*e);
      }
    };
    readBack(added);
    run(updates);
    readBack(updated);
    run(adds);
    for (auto const& e : added) {
      floorKeys.push_back(std::uint64_t{kShadowKey.packed()} << 32 | e.key().value());
    }
    hwTable().forEachEntry([&](ZuriAsicUtils::HwShadowKey k, Entry const& e) {
      map.emplace(std::uint64_t{k.packed()} << 32 | e.key().value(), e);
    });
  }
  void store(std::vector<Entry> const& entries) {
    for (std::size_t i = 0; i < floorKeys.size(); ++i) {
      map.insert_or_assign(floorKeys[i], entries[i]);
      benchmark::DoNotOptimize(map.find(floorKeys[i])->second);
    }
  }
  void erase() {
    for (auto const key : floorKeys) {
      map.erase(key);
      benchmark::DoNotOptimize(map.find(key) == map.end());
    }
  }

  std::uint32_t n;
  Managers managers;
  Ptr<ZuriAsicUtils::UtilBase> util;
  Wrappers adds, updates, deletes;
  std::vector<std::uint64_t> floorKeys;
  std::vector<Entry> added, updated;
  absl::flat_hash_map<std::uint64_t, Entry> map;
};

// The benchmarks of one size run one after another: the table is built once for all of them.
Scaled& scaled(Case const& c, std::uint32_t n) {
  static std::unique_ptr<Scaled> current;
  if (!current || current->n != n) {
    current.reset();
    current = std::make_unique<Scaled>(c, n);
  }
  return *current;
}

void benchScaled(benchmark::State& state, Case const& c, std::uint32_t n, Op op, bool floor) {
  auto& s = scaled(c, n);
  if (floor) s.buildFloor();
  auto add = [&] { floor ? s.store(s.added) : s.run(s.adds); };
  auto del = [&] { floor ? s.erase() : s.run(s.deletes); };
  bool even = true;
  for (auto _ : state) {
    if (op == Op::add) {
      state.PauseTiming();
      del();
      state.ResumeTiming();
      add();
    } else if (op == Op::update) {
      if (!even) {
        add();
      } else if (floor) {
        s.store(s.updated);
      } else {
        s.run(s.updates);
      }
      even = !even;
    } else {
      del();
      state.PauseTiming();
      add();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.adds.size()));
  state.counters["keys"] = n;
}

}  // namespace

void registerScaling() {
  Case const* c = findCase(kScalingCase);
  if (c == nullptr) return;
  for (auto const n : gOptions.scalingKeys) {
    for (Op op : kOps) {
      for (bool floor : {false, true}) {
        benchmark::RegisterBenchmark(
            fmt::format("scaling/{}/{}/{}", n, opName(op), floor ? kFloorKind : kUtilKind).c_str(),
            [c, n, op, floor](benchmark::State& s) { benchScaled(s, *c, n, op, floor); });
      }
    }
  }
}

// One JSON object: the case and its points [entries, live bytes, peak bytes] of the shadow's
// heap, at each growth (the step before it and the step itself) and on a geometric grid.
void writeMemoryCurve(std::string const& path) {
  Case const* c = findCase(kScalingCase);
  if (c == nullptr) throw std::runtime_error(fmt::format("no table utility {}", kScalingCase));
  Managers managers;
  auto util = createUtil(*c, managers);
  std::vector<std::array<std::int64_t, 3>> points;
  std::int64_t bytes = 0;
  double grid = 1;
  inBatches(*c, gOptions.memoryEntries, [&](std::uint32_t first, Wrappers const& batch) {
    for (std::size_t i = 0; i < batch.size(); ++i) {
      auto const entries = static_cast<std::int64_t>(first + i + 1);
      auto const before = heapLiveBytes();
      heapPeakReset();
      benchmark::DoNotOptimize(util->processSwEntry(batch[i]));
      auto const grown = heapLiveBytes() - before;
      auto const peak = bytes + heapPeakBytes() - before;
      if (grown != 0) points.push_back({entries - 1, bytes, bytes});
      bytes += grown;
      if (grown != 0 || entries >= grid) {
        points.push_back({entries, bytes, std::max(peak, bytes)});
        while (grid <= static_cast<double>(entries)) grid *= std::pow(2.0, 1.0 / 16);
      }
    }
  });
  if (points.empty() || points.back()[0] != gOptions.memoryEntries) {
    points.push_back({gOptions.memoryEntries, bytes, bytes});
  }
  std::ofstream out(path);
  out << fmt::format("{{\"case\": \"{}\", \"points\": [", kScalingCase);
  for (std::size_t i = 0; i < points.size(); ++i) {
    out << fmt::format("{}[{}, {}, {}]", i == 0 ? "" : ", ", points[i][0], points[i][1],
                       points[i][2]);
  }
  out << "]}\n";
  if (!out) throw std::runtime_error(fmt::format("cannot write {}", path));
}

}  // namespace eedb::bench
