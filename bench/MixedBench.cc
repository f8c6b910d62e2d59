// The mixed stream: every table utility of the plug-in serving four FAPs, and a stream of log
// entries over all software tables and their views, in the agent's start-up mix (mostly ARP,
// tunnels and out-LIFs) over gOptions.mixedKeys (table, FAP, key) triples. As in a live stream,
// the table and the FAP change from one entry to the next at random (a fixed seed), and one entry
// in sixteen carries the null FAP id 128 (every FAP), which every table utility takes. An out-LIF
// names one entry of the EEDB that the tables share, so their keys are unique among them. Each
// entry is offered to every table utility of its table, as the agent offers it. Unlike the
// one-table batches, consecutive entries touch different shadows, statistics records and
// translations, so this is where the caches miss.
//
// The stream is a full table set at first; one pass then updates seven keys in eight and deletes
// the eighth, the next pass restores them (the deleted keys are added again), so every pass
// starts from the state the previous one left.
#include "MixedStream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>

#include <fmt/format.h>

#include "HeapCounter.h"
#include "chip26_a0/EedbHwMdb.h"

namespace eedb::bench {
namespace {

// The weight of each software table in the stream; any other table weighs 1.
int weightOf(std::string_view table) {
  static std::map<std::string_view, int> const weights{
      {"EedbOutrif", 6},      {"EedbArpTable", 6},    {"EedbMplsTunnelTable", 3},
      {"EedbIpTunnel", 3},    {"EedbVxlanTunnel", 2}, {"EedbSubIntfOutAcTable", 2},
      {"EedbTapAggTable", 1}, {"EedbSflowTable", 1},  {"EedbStatTable", 1},
      {"EedbSrv6", 1},        {"EedbAgMemTlm", 1},    {"EedbDataByLocalOutlifMsbs", 1}};
  auto const it = weights.find(table);
  return it == weights.end() ? 1 : it->second;
}

std::uint64_t actedCount(ZuriAsicUtils::UtilBase const& util) {
  auto const& s = *util.stats();
  return s.addCnt() + s.deleteCnt() + s.updateOnDelCnt();
}

}  // namespace

MixedStream::MixedStream(std::uint32_t keys) {
  // The table utilities, and for every software table its utilities and views.
  struct TableUse {
    std::size_t utils;               // in utilsByTable_
    std::vector<Case const*> views;  // one case per view type
    bool eedb = false;               // its table utilities write the EEDB that tables share
  };
  std::map<std::size_t, TableUse> byTable;  // by the table's index
  std::map<std::string_view, std::size_t> utilIndex;
  for (auto const& c : cases()) {
    auto [use, newTable] = byTable.try_emplace(c.table->index, TableUse{utilsByTable_.size(), {}});
    if (newTable) utilsByTable_.emplace_back();
    auto [util, newUtil] = utilIndex.try_emplace(c.key.utilName, utils_.size());
    if (newUtil) utils_.push_back(createUtil(c, managers_, kFaps));
    use->second.eedb = dynamic_cast<chip26_a0::EedbHwMdb const*>(
                           utils_[util->second]->hwTableBase().get()) != nullptr;
    auto& utils = utilsByTable_[use->second.utils];
    if (std::find(utils.begin(), utils.end(), util->second) == utils.end()) {
      utils.push_back(util->second);
    }
    auto& views = use->second.views;
    if (std::none_of(views.begin(), views.end(),
                     [&](Case const* v) { return v->viewType == c.viewType; })) {
      views.push_back(&c);
    }
  }
  std::vector<TableUse const*> uses;
  std::vector<int> weights;
  for (auto const& [index, use] : byTable) {
    uses.push_back(&use);
    weights.push_back(weightOf(use.views.front()->table->name));
  }

  std::mt19937 random(26);
  std::discrete_distribution<std::size_t> pickTable(weights.begin(), weights.end());
  std::bernoulli_distribution nullFap(1.0 / 16);
  std::uniform_int_distribution<unsigned> pickFap(0, kFaps - 1);
  std::map<TableUse const*, std::uint32_t> used;  // keys taken per table
  std::uint32_t eedbKeys = 0;                     // keys taken in the shared EEDB
  entries_.reserve(keys);
  for (std::uint32_t i = 0; i < keys; ++i) {
    auto const& use = *uses[pickTable(random)];
    auto const j = used[&use]++;
    auto const& view = *use.views[j % use.views.size()];
    // An out-LIF names one EEDB entry, whichever table writes it: the tables that share the EEDB
    // take their keys from one 20-bit range (an odd multiplier scatters them); a direct table
    // has a memory and 16-bit keys of its own.
    if (use.eedb && eedbKeys == 1u << 20) throw std::invalid_argument("mixed: more than 1M keys");
    auto const key = use.eedb ? (eedbKeys++ * 2'654'435'761u) & 0xFFFFFu : keyAt(j);
    auto const fap = nullFap(random) ? SchanAccel::FapId::kNull : pickFap(random);
    auto const unit = Asic::UnitId::of(static_cast<std::uint8_t>(fap), 0);
    std::uint8_t const churnFlags = i % 8 == 7 ? kDeleteFlag : 0;
    entries_.push_back({use.utils, view.table->makeWrapper(makeEntry(view, key, 1), unit, 0),
                        view.table->makeWrapper(makeEntry(view, key, 0), unit, churnFlags)});
  }
  // Every entry is acted on by one of its table utilities at least.
  for (auto const& e : entries_) {
    std::uint64_t before = 0, after = 0;
    for (auto const u : utilsByTable_[e.utils]) before += actedCount(*utils_[u]);
    for (auto const u : utilsByTable_[e.utils]) utils_[u]->processSwEntry(e.full);
    for (auto const u : utilsByTable_[e.utils]) after += actedCount(*utils_[u]);
    if (after == before) {
      throw std::logic_error(
          fmt::format("mixed: no table utility acts on entry {}", &e - entries_.data()));
    }
  }
}

std::size_t MixedStream::pass(bool churn) {
  std::size_t calls = 0;
  for (auto const& e : entries_) {
    auto const& w = churn ? e.churn : e.full;
    auto const& utils = utilsByTable_[e.utils];
    for (auto const u : utils) benchmark::DoNotOptimize(utils_[u]->processSwEntry(w));
    calls += utils.size();
  }
  return calls;
}

namespace {

void benchMixed(benchmark::State& state) {
  MixedStream stream(gOptions.mixedKeys);
  AllocationWindow allocs;
  std::size_t calls = 0;
  bool churn = true;
  for (auto _ : state) {
    allocs.open();
    calls += stream.pass(churn);
    allocs.close();
    churn = !churn;
  }
  auto const items = static_cast<double>(state.iterations()) * stream.size();
  state.SetItemsProcessed(static_cast<std::int64_t>(items));
  state.counters["keys"] = static_cast<double>(stream.size());
  state.counters["tables"] = static_cast<double>(stream.tables());
  state.counters["calls_per_item"] = static_cast<double>(calls) / items;
  state.counters["allocs_per_item"] = static_cast<double>(allocs.total()) / items;
}

}  // namespace

void registerMixed() {
  benchmark::RegisterBenchmark("mixed/4faps/processSwEntry", benchMixed);
}

}  // namespace eedb::bench
