// What the benchmarks of eedb-bench share: the options, the table utilities and views under test
// (found through the plug-in's registrations, as the agent finds them), log entries made through
// the catalog, and the two subjects whose passes are measured: a table utility and its floor.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "asic/Types.h"
#include "replay_support/Catalog.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/TableManager.h"
#include "zuri_asic_utils/UtilBase.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace eedb::bench {

using Pelix::Ptr;
using Wrapper = Ptr<Asic::LogEntryWrapperBase>;
using Wrappers = std::vector<Wrapper>;

// The one-table benchmarks send every entry to FAP 0, instance 0.
constexpr Asic::UnitId kUnit = Asic::UnitId::of(0, 0);
inline ZuriAsicUtils::HwShadowKey const kShadowKey(SchanAccel::FapId(0), 0);
constexpr std::uint8_t kDeleteFlag = ZuriErrm::LogFlumeFlags::kDelete;
// The table utility and view of the scaling and memory figures.
constexpr std::string_view kScalingCase = "EedbOutrifUtil/view:1";

struct Options {
  std::string plugin;
  std::uint32_t keys = 1u << 16;  // per batch; all keys fit the 16-bit keys of the direct tables
  std::uint32_t memoryEntries = 1'000'000;
  std::vector<std::uint32_t> scalingKeys{1u << 10, 1u << 16, 1u << 20, 1u << 22, 1u << 24};
  std::uint32_t mixedKeys = 1'000'000;
  std::string memoryCurve;   // a file: the bytes per entry while one table grows
  std::string instructions;  // "table", "mixed" or "all": one pass each, under callgrind
  // The scaling benchmark fences every entry (ScalingBench.cc): a diagnostic, not a figure.
  bool fenceEntries = false;
};
extern Options gOptions;

// The i-th key of a batch: the 16-bit keys in a scattered order (odd multiplier: a bijection).
constexpr std::uint32_t keyAt(std::uint32_t i) noexcept {
  return i < 0x10000 ? (i * 40503u) & 0xFFFFu : i;
}

struct Case {
  ZuriAsicUtils::UtilKey key;
  ZuriAsicUtils::UtilFactory factory;
  ZuriErrm::TableInfo const* table;
  std::optional<unsigned> viewType;  // none for tables without views
  std::string label;                 // "EedbOutrifUtil/view:1"
};

// Every table utility registered for 26:A0 with every view it takes, in registration order.
std::vector<Case> const& cases();
Case const* findCase(std::string_view label);

struct Managers {
  Ptr<ZuriAsicUtils::TableManager> hw = Pelix::make<ZuriAsicUtils::TableManager>();
  Ptr<ZuriMdb::TableManager> mdb = Pelix::make<ZuriMdb::TableManager>();
  Ptr<ZuriAsicUtils::HwWriterStatus> writer = Pelix::make<ZuriAsicUtils::HwWriterStatus>();
  Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig> bulk =
      Pelix::make<ZuriAsicUtils::HwBulkDownloadErrConfig>();
};

// The case's table utility, serving FAPs 0 to faps - 1.
Ptr<ZuriAsicUtils::UtilBase> createUtil(Case const& c, Managers const& m, unsigned faps = 1);

// A log entry of the case's table and view under `key`; every other plain field holds `fill`
// (cut to its width), MAC addresses a fixed address, the rest stays 0.
ZuriErrm::AnyLogEntry makeEntry(Case const& c, std::uint32_t key, std::uint64_t fill);
Wrappers makeWrappers(Case const& c, std::uint32_t count, std::uint64_t fill, std::uint8_t flags);

enum class Op { add, update, del };
inline constexpr Op kOps[] = {Op::add, Op::update, Op::del};

constexpr std::string_view opName(Op op) {
  return op == Op::add ? "add" : op == Op::update ? "update" : "delete";
}

// What the one-table benchmarks measure: passes over one batch of gOptions.keys keys.
// Adds go into an empty store, updates rewrite every key of a full one (alternately with the
// added and the updated values: `even`), deletes empty a full one.
class Subject {
 public:
  virtual ~Subject() = default;
  virtual void clear() = 0;
  virtual void fill() = 0;  // stores the batch's added entries
  virtual void pass(Op op, bool even) = 0;
};

// processSwEntry of the case's table utility on log entry wrappers built in advance.
std::unique_ptr<Subject> utilSubject(Case const& c);

// The floor: the entries the table utility stores for the batch, under the same (shadow key,
// hardware key) pairs, in an absl::flat_hash_map; with `readBack`, each is found again after it
// is stored or erased (today's floor), without it the map is only written. None when the case's
// hardware table is of a type the floor does not know.
std::unique_ptr<Subject> floorSubject(Case const& c, bool readBack);
bool hasFloor(Case const& c);

// The kinds of subject, as benchmark names show them.
inline constexpr std::string_view kUtilKind = "processSwEntry";
inline constexpr std::string_view kFloorKind = "floor";
inline constexpr std::string_view kFloorWriteKind = "floor-nofind";

// Registration of the benchmarks beside the one-table ones.
void registerScaling();
void registerMixed();
// The bytes per stored entry while one table grows to gOptions.memoryEntries entries.
void writeMemoryCurve(std::string const& path);
// One measured pass of every subject and operation between callgrind's client requests.
void countInstructions(std::string_view which);

}  // namespace eedb::bench
