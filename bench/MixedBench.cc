// The mixed stream: every table utility of the plug-in serving four FAPs, and a stream of log
// entries over all software tables and their views, interleaved as the agent's start-up mix
// (mostly ARP, tunnels and out-LIFs; bursts of eight entries per FAP), over gOptions.mixedKeys
// (table, FAP, key) triples. Each entry is offered to every table utility of its table, as the
// agent offers it. Unlike the one-table batches, consecutive entries touch different shadows,
// statistics records and translations, so this is where the caches miss.
//
// The stream is a full table set at first; one pass then updates seven keys in eight and deletes
// the eighth, the next pass restores them (the deleted keys are added again), so every pass
// starts from the state the previous one left.
#include "MixedStream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include <fmt/format.h>

#include "HeapCounter.h"

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
  };
  std::map<std::size_t, TableUse> byTable;  // by the table's index
  std::map<std::string_view, std::size_t> utilIndex;
  for (auto const& c : cases()) {
    auto [use, newTable] = byTable.try_emplace(c.table->index, TableUse{utilsByTable_.size(), {}});
    if (newTable) utilsByTable_.emplace_back();
    auto [util, newUtil] = utilIndex.try_emplace(c.key.utilName, utils_.size());
    if (newUtil) utils_.push_back(createUtil(c, managers_, kFaps));
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
  std::vector<TableUse const*> order;  // one turn of the interleaving
  for (auto const& [index, use] : byTable) {
    for (int w = weightOf(use.views.front()->table->name); w > 0; --w) order.push_back(&use);
  }

  std::map<TableUse const*, std::uint32_t> used;  // keys taken per table
  entries_.reserve(keys);
  for (std::uint32_t i = 0; i < keys; ++i) {
    auto const& use = *order[i % order.size()];
    auto const j = used[&use]++;
    auto const& view = *use.views[j % use.views.size()];
    auto const unit = Asic::UnitId::of(static_cast<std::uint8_t>(i >> 3 & (kFaps - 1)), 0);
    std::uint8_t const churnFlags = i % 8 == 7 ? kDeleteFlag : 0;
    entries_.push_back({use.utils, view.table->makeWrapper(makeEntry(view, keyAt(j), 1), unit, 0),
                        view.table->makeWrapper(makeEntry(view, keyAt(j), 0), unit, churnFlags)});
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
