// Scaling: the cost per entry of processSwEntry and of the floor (with its read-back) for one
// table utility and view (kScalingCase) holding 1K to 16M keys, and the heap bytes per stored
// entry while that table grows, with the high-water mark of each growth step.
//
// A table of n keys is filled once, outside the timing, in batches of wrappers that are dropped
// as it goes. The keys are then cut into samples of 65,536 spread over the whole key range (all
// n keys in one sample up to 64K); each measured pass adds, updates or deletes the next sample,
// so that successive passes touch different keys: at 1M keys, 16 passes touch every key of the
// table, and beyond 1M the 16 samples (1M keys) change every pass. The shadow's size, not a
// sample held in the cache, sets the misses. The floor holds every stored entry and takes the
// same samples in the same order; an add re-adds the sample that was deleted just before, outside
// the timing, on both sides alike (neither store is cleared and grown again).
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
constexpr std::uint32_t kSamples = 16;       // samples taken in turn, at most

// The i-th key of a table of n keys in sample order: a prime multiplier is a bijection modulo n.
std::uint32_t sampleKey(std::uint64_t i, std::uint32_t n) {
  return static_cast<std::uint32_t>(i * 2'654'435'761u % n);
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

// After one entry's work: with --fence-entries, nothing of the next entry starts before every
// load of this one is done.
[[gnu::always_inline]] inline void entryDone() {
#if defined(__SSE2__)
  if (gOptions.fenceEntries) _mm_lfence();
#endif
}

// One table of n keys with the wrappers of its samples, and the floor built from it.
struct Scaled {
  // One sample's wrappers, its entries as the floor stores them, and what each side holds at
  // its keys now (the added or the updated values: an update writes the other ones).
  struct Sample {
    std::vector<std::uint32_t> keys;
    Wrappers adds, updates, deletes;
    std::vector<std::uint64_t> floorKeys;  // shadow key << 32 | hardware key
    std::vector<Entry> added, updated;
    bool holdsUpdated[2] = {false, false};  // [floor]
  };

  Scaled(Case const& c, std::uint32_t keys) : n(keys), util(createUtil(c, managers)) {
    inBatches(c, n, [&](std::uint32_t, Wrappers const& batch) { run(batch); });
    if (hwTable().entryCount() != n) throw std::logic_error("scaling: not every entry is stored");
    std::uint32_t const size = std::min(n, kSample);
    samples.resize(std::clamp<std::uint32_t>(n / size, 1, kSamples));
    std::uint64_t i = 0;
    for (auto& sample : samples) {
      for (std::uint32_t j = 0; j < size; ++j) {
        auto const key = sampleKey(i++, n);
        sample.keys.push_back(key);
        sample.adds.push_back(c.table->makeWrapper(makeEntry(c, key, 1), kUnit, 0));
        sample.updates.push_back(c.table->makeWrapper(makeEntry(c, key, 0), kUnit, 0));
        sample.deletes.push_back(c.table->makeWrapper(makeEntry(c, key, 1), kUnit, kDeleteFlag));
      }
    }
  }

  Table const& hwTable() const { return dynamic_cast<Table const&>(*util->hwTableBase()); }
  void run(Wrappers const& batch) {
    for (auto const& w : batch) {
      benchmark::DoNotOptimize(util->processSwEntry(w));
      entryDone();
    }
  }
  std::size_t sampleSize() const { return samples.front().adds.size(); }
  Sample& nextSample() { return samples[turn++ % samples.size()]; }

  // The floor: every stored entry in the map, the samples' added and updated entries aside.
  void buildFloor() {
    if (!map.empty()) return;
    for (auto& sample : samples) {
      auto readBack = [&](std::vector<Entry>& out) {
        for (auto const key : sample.keys) {
          auto const* e = hwTable().findEntry(kShadowKey, Table::EntryKey(key));
          if (e == nullptr) throw std::logic_error("scaling: a sample entry is not stored");
          out.push_back(*e);
        }
      };
      run(sample.adds);
      readBack(sample.added);
      run(sample.updates);
      readBack(sample.updated);
      run(sample.adds);
      sample.holdsUpdated[0] = false;
      for (auto const& e : sample.added) {
        sample.floorKeys.push_back(std::uint64_t{kShadowKey.packed()} << 32 | e.key().value());
      }
    }
    map.reserve(n);
    hwTable().forEachEntry([&](ZuriAsicUtils::HwShadowKey k, Entry const& e) {
      map.emplace(std::uint64_t{k.packed()} << 32 | e.key().value(), e);
    });
  }

  // The operations of one pass on one sample, by the table utility or by the floor.
  void add(Sample& s, bool floor) {
    floor ? store(s, s.added) : run(s.adds);
    s.holdsUpdated[floor] = false;
  }
  void update(Sample& s, bool floor) {
    bool const updated = s.holdsUpdated[floor];
    if (floor) {
      store(s, updated ? s.added : s.updated);
    } else {
      run(updated ? s.adds : s.updates);
    }
    s.holdsUpdated[floor] = !updated;
  }
  void remove(Sample& s, bool floor) {
    if (!floor) return run(s.deletes);
    for (auto const key : s.floorKeys) {
      map.erase(key);
      benchmark::DoNotOptimize(map.find(key) == map.end());
      entryDone();
    }
  }
  void store(Sample const& s, std::vector<Entry> const& entries) {
    for (std::size_t i = 0; i < s.floorKeys.size(); ++i) {
      map.insert_or_assign(s.floorKeys[i], entries[i]);
      benchmark::DoNotOptimize(map.find(s.floorKeys[i])->second);
      entryDone();
    }
  }

  std::uint32_t n;
  Managers managers;
  Ptr<ZuriAsicUtils::UtilBase> util;
  std::vector<Sample> samples;
  std::size_t turn = 0;
  absl::flat_hash_map<std::uint64_t, Entry> map;
};

// The benchmarks of one size run one after another (run.py runs one size per process, with
// random interleaving): the table is built once for all of them.
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
  for (auto _ : state) {
    auto& sample = s.nextSample();
    if (op == Op::add) {
      state.PauseTiming();
      s.remove(sample, floor);
      state.ResumeTiming();
      s.add(sample, floor);
    } else if (op == Op::update) {
      s.update(sample, floor);
    } else {
      s.remove(sample, floor);
      state.PauseTiming();
      s.add(sample, floor);
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.sampleSize()));
  state.counters["keys"] = n;
  state.counters["samples"] = static_cast<double>(s.samples.size());
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
