#include "Bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <fmt/format.h>

#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "hardware/FapRevision.h"

namespace eedb::bench {

Options gOptions;

using ZuriAsicUtils::UtilBase;
using ZuriErrm::Value;

Ptr<UtilBase> createUtil(Case const& c, Managers const& m, unsigned faps) {
  auto util = c.factory(c.key, m.hw, m.mdb, m.writer, m.bulk);
  for (unsigned fap = 0; fap < faps; ++fap) {
    util->fapIdIs(Pelix::make<ZuriAsicUtils::FapControlData const>(
        SchanAccel::FapId(static_cast<std::uint8_t>(fap))));
  }
  return util;
}

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

namespace {

// The views are found by offering an entry of each view type to a scratch table utility.
std::vector<Case> discoverCases() {
  static ZuriAsicUtils::UtilHolderContext context;
  ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader()->initPlugins(&context);
  std::vector<Case> found;
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
        found.push_back(std::move(c));
      }
    }
  }
  if (found.empty()) throw std::runtime_error("the plug-in registers no table utility for 26:A0");
  return found;
}

// A table utility with the wrappers of one batch: adds (fill 1), updates (fill 0) and deletes.
class UtilSubject final : public Subject {
 public:
  explicit UtilSubject(Case const& c)
      : util(createUtil(c, managers_)),
        adds(makeWrappers(c, gOptions.keys, 1, 0)),
        updates(makeWrappers(c, gOptions.keys, 0, 0)),
        deletes(makeWrappers(c, gOptions.keys, 1, kDeleteFlag)) {}

  void clear() override { benchmark::DoNotOptimize(util->clearHwTable(kUnit)); }
  void fill() override { run(adds); }
  void pass(Op op, bool even) override {
    run(op == Op::add ? adds : op == Op::del ? deletes : even ? updates : adds);
  }
  void run(Wrappers const& batch) {
    for (auto const& w : batch) benchmark::DoNotOptimize(util->processSwEntry(w));
  }

 private:
  Managers managers_;

 public:
  Ptr<UtilBase> util;
  Wrappers adds, updates, deletes;
};

template <class Table>
class FloorSubject final : public Subject {
  using Entry = typename Table::Entry;

 public:
  // The entries that the table utility stores for the adds and the updates of a batch, read
  // back from its hardware table.
  FloorSubject(Case const& c, bool readBack) : readBack_(readBack) {
    UtilSubject u(c);
    auto const& table = dynamic_cast<Table const&>(*u.util->hwTableBase());
    auto copy = [&](std::vector<Entry>& out) {
      for (std::uint32_t i = 0; i < gOptions.keys; ++i) {
        auto const* stored = table.findEntry(kShadowKey, typename Table::EntryKey(keyAt(i)));
        if (stored == nullptr) throw std::logic_error(c.label + ": an added entry is not stored");
        out.push_back(*stored);
      }
    };
    u.fill();
    copy(added_);
    u.run(u.updates);
    copy(updated_);
    for (auto const& e : added_) {
      keys_.push_back(std::uint64_t{kShadowKey.packed()} << 32 | e.key().value());
    }
  }

  void clear() override { map_.clear(); }
  void fill() override { store(added_); }
  void pass(Op op, bool even) override {
    if (op != Op::del) return store(op == Op::update && even ? updated_ : added_);
    for (auto const key : keys_) {
      map_.erase(key);
      if (readBack_) benchmark::DoNotOptimize(map_.find(key) == map_.end());
    }
  }

 private:
  void store(std::vector<Entry> const& entries) {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      map_.insert_or_assign(keys_[i], entries[i]);
      if (readBack_) benchmark::DoNotOptimize(map_.find(keys_[i])->second);
    }
  }

  bool readBack_;
  std::vector<std::uint64_t> keys_;  // shadow key << 32 | hardware key
  std::vector<Entry> added_, updated_;
  absl::flat_hash_map<std::uint64_t, Entry> map_;
};

// Calls f with a null pointer of the case's hardware table type; false when the type is none
// the floor knows.
template <class F>
bool withTableType(Case const& c, F&& f) {
  Managers m;
  auto const util = createUtil(c, m);
  auto const* table = util->hwTableBase().get();
  if (dynamic_cast<chip26_a0::EedbHwMdb const*>(table)) {
    f(static_cast<chip26_a0::EedbHwMdb const*>(nullptr));
  } else if (dynamic_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(table)) {
    f(static_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(nullptr));
  } else if (dynamic_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(table)) {
    f(static_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(nullptr));
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::vector<Case> const& cases() {
  static std::vector<Case> const all = discoverCases();
  return all;
}

Case const* findCase(std::string_view label) {
  for (auto const& c : cases()) {
    if (c.label == label) return &c;
  }
  return nullptr;
}

std::unique_ptr<Subject> utilSubject(Case const& c) {
  return std::make_unique<UtilSubject>(c);
}

std::unique_ptr<Subject> floorSubject(Case const& c, bool readBack) {
  std::unique_ptr<Subject> out;
  withTableType(c, [&]<class Table>(Table const*) {
    out = std::make_unique<FloorSubject<Table>>(c, readBack);
  });
  return out;
}

bool hasFloor(Case const& c) {
  return withTableType(c, [](auto const*) {});
}

}  // namespace eedb::bench
