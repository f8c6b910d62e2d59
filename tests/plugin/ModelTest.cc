// A model test of the shadow: seeded random sequences of adds, updates, deletes, table deletes,
// clears and FAP mask changes over all sixteen table utilities, several FAPs and instances, the
// null FAP writing and deleting at the same keys as single FAPs. After every step every shadow,
// counter and enqueue statistic equals a plain reference, and the chip memory model, fed every
// command, reads on every FAP what the shadow means (its own entry, else the null FAP's). On even
// seeds the tables update on delete: a delete must still remove the entry and count as a delete.
// The reference borrows only an entry's hardware key and translation from the plug-in.
//
// EEDB_MODEL_STEPS (steps per seed, default 4000) and EEDB_MODEL_SEEDS (a count of seeds from 1,
// or a list "1,7,20261206"; default 1, 2, 3, 20261206) make the long runs of `make soak`.
#include <cstdlib>
#include <random>
#include <set>
#include <stdexcept>
#include <tuple>
#include <variant>

#include "PluginTestSupport.h"

namespace eedb::test {
namespace {

using chip26_a0::EedbAgMemTlmHwDirect;
using chip26_a0::EedbDataByLocalOutlifMsbsHwDirect;
using chip26_a0::EedbHwMdb;
using ZuriAsicUtils::HwCommonTableBase;
using ZuriAsicUtils::HwShadowKey;
using ZuriErrm::AnyLogEntry;
using ZuriErrm::FieldKind;
using ZuriErrm::TableInfo;
using ZuriErrm::Value;

constexpr unsigned kFaps[] = {0, 1, 2, 3, 128};
constexpr unsigned kInstances[] = {0, 1, 5};

// fn applied to the value held, which must be one of T.
template <class R, class... T, class Fn>
R held(std::any const& value, Fn fn) {
  std::optional<R> r;
  ((r || !std::any_cast<T>(&value) ? void() : void(r = fn(*std::any_cast<T>(&value)))), ...);
  if (!r) throw std::logic_error("reflection gave a value of unknown type");
  return *r;
}
std::string printed(std::any const& entry) {
  return held<std::string, EedbHwMdb::Entry, EedbAgMemTlmHwDirect::Entry,
              EedbDataByLocalOutlifMsbsHwDirect::Entry>(
      entry, [](auto const& e) { return fmt::format("{}", e); });
}
std::uint32_t keyValue(std::any const& key) {
  return held<std::uint32_t, EedbHwMdb::EntryKey, EedbAgMemTlmHwDirect::EntryKey,
              EedbDataByLocalOutlifMsbsHwDirect::EntryKey>(key,
                                                           [](auto const& k) { return k.value(); });
}

class ShadowModel : public ::testing::TestWithParam<unsigned> {
 protected:
  struct Util {
    Pelix::Ptr<UtilBase> util;
    TableInfo const* table = nullptr;
    std::set<unsigned> views;
    std::set<unsigned> faps;  // the reference's copy of the FAP mask
    std::uint64_t add = 0, del = 0, mismatch = 0;
  };
  // Where an applied add stands, with the log entry that put it there (for its delete).
  struct Live {
    std::size_t util;
    AnyLogEntry entry;
    Asic::UnitId unit;
  };
  using Place = std::tuple<HwCommonTableBase const*, std::uint16_t, std::uint32_t>;

  void SetUp() override {
    rng_.seed(GetParam());
    for (auto const& v : kExpectedUtils) {
      Util u;
      u.util = create(v.name, m_);
      for (unsigned view = 0; view < 16; ++view) {
        if (v.views >> view & 1) u.views.insert(view);
      }
      u.table = &tableInfoOf(*u.util);
      if (GetParam() % 2 == 0) u.util->hwTableBase()->updateOnDeleteIs(true);
      addFap(*u.util, 0);
      addFap(*u.util, 1);
      u.faps = {0, 1};
      tables_.insert(u.util->hwTableBase().get());
      utils_.push_back(std::move(u));
    }
  }

  unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
  template <class T, std::size_t N>
  T pickOf(T const (&values)[N]) {
    return values[pick(N)];
  }

  // A value for a field: mostly small, now and then anything its storage holds.
  Value valueFor(ZuriErrm::FieldInfo const& field, unsigned keyBase) {
    switch (field.kind) {
      case FieldKind::number:
      case FieldKind::bounded:
      case FieldKind::outlif: {
        if (field.kind == FieldKind::outlif && pick(4) == 0) return Value();
        if (field.name == "viewType") {
          // Mostly a view that some table utility of the table takes.
          if (views_.empty() || pick(5) == 0) return Value::number(pick(13));
          return Value::number(
              *std::next(views_.begin(), pick(static_cast<unsigned>(views_.size()))));
        }
        std::uint64_t v = pick(4);
        if (pick(40) == 0) v = std::uniform_int_distribution<std::uint64_t>(0, field.max())(rng_);
        return Value::number(std::min(v, field.max()));
      }
      case FieldKind::address:
        return Value::text(pick(2) ? fmt::format("10.0.{}.{}", pick(4), pick(255))
                                   : fmt::format("2001:db8::{:x}", pick(0xffff)));
      case FieldKind::mac:
        return Value::text(fmt::format("02:00:00:00:{:02x}:{:02x}", pick(256), pick(256)));
      case FieldKind::object: {
        std::vector<Value::Member> members;
        // Key members each from a pool of their own, so that two table utilities that map
        // different members do not meet by chance.
        unsigned pool = keyBase;
        for (auto const& m : field.members) {
          bool const keyPart = field.name == "key";
          members.push_back(
              {std::string(m.name), keyPart ? Value::number(pool + pick(6)) : valueFor(m, 0)});
          pool += 8;
        }
        return Value::object(std::move(members));
      }
    }
    return Value();
  }

  // A new log entry of the table. Every table and stray deletes get keys of their own: the
  // software side never gives two tables one out-LIF, and it deletes an entry with the view it
  // was written with. Single FAPs and the null FAP share keys.
  AnyLogEntry newEntry(TableInfo const& table, bool stray = false) {
    unsigned const keyBase = 128 * static_cast<unsigned>(table.index) + (stray ? 32 : 0) + 1;
    views_.clear();
    for (auto const& u : utils_) {
      if (u.table == &table) views_.insert(u.views.begin(), u.views.end());
    }
    AnyLogEntry entry = table.newEntry();
    for (auto const& field : table.fields) {
      Value v = field.name == "key" && field.kind != FieldKind::object
                    ? Value::number(keyBase + pick(6))
                    : valueFor(field, keyBase);
      try {
        field.set(entry, v);
      } catch (ZuriErrm::InputError const&) {
        // SRv6 data of a view that is not the entry's own: left out.
      }
    }
    return entry;
  }

  // What the reference expects of one offer to one table utility; applies it to the reference.
  // Returns the failure text that the offer must raise, or nothing.
  std::optional<std::string> expect(Util& u, AnyLogEntry const& entry, Asic::UnitId unit,
                                    std::uint8_t flags) {
    unsigned const fap = unit.fapIdRaw();
    if (unit.value() > 0x80FF) return kFapRange;
    bool const inMask = fap == 128 || u.faps.count(fap) != 0;
    bool applicable = false;
    if ((flags & kTableDelete) && inMask) {
      applicable = true;
    } else {
      std::uint64_t view = 0;
      if (auto const* f = u.table->field("viewType")) view = f->get(entry).asNumber();
      if (u.views.empty() || u.views.count(static_cast<unsigned>(view))) {
        applicable = inMask;
        if (!inMask) ++u.mismatch;
      }
    }
    auto const wrapper = u.table->makeWrapper(entry, unit, flags);
    std::any key, translated;
    std::string failure;
    try {
      key = callAny(*u.util, "mapToHwKey",
                    {std::visit([](auto const& e) { return std::any(e); }, entry), std::any(unit)});
      // A delete translates only to learn the size, which direct entries do not have.
      bool const sized = dynamic_cast<EedbHwMdb const*>(u.util->hwTableBase().get()) != nullptr;
      if (applicable && (sized || !(flags & kDelete))) {
        translated = callAny(*u.util, "translateToHwFormat", {std::any(wrapper)});
      }
    } catch (std::exception const& e) {
      failure = e.what();
    }
    // A key that does not map fails SCHAN generation after the FAP mask filter has counted.
    if (!failure.empty()) return failure;
    auto const shadowKey = HwShadowKey(SchanAccel::FapId(fap), unit.instanceId()).packed();
    ++enqueued_[{u.util->utilKey().swTableId.value(), shadowKey}];
    if (!applicable) return std::nullopt;
    Place const place{u.util->hwTableBase().get(), shadowKey, keyValue(key)};
    auto& image = shadow_[std::get<0>(place)];
    if (flags & kDelete) {
      image.erase({shadowKey, std::get<2>(place)});
      live_.erase(place);
      ++u.del;
    } else {
      image[{shadowKey, std::get<2>(place)}] = printed(translated);
      live_.insert_or_assign(place,
                             Live{static_cast<std::size_t>(&u - utils_.data()), entry, unit});
      ++u.add;
    }
    return std::nullopt;
  }

  // Offers one log entry to every table utility of its table, as the agent does.
  void offer(TableInfo const& table, AnyLogEntry const& entry, Asic::UnitId unit,
             std::uint8_t flags) {
    auto const wrapper = table.makeWrapper(entry, unit, flags);
    for (auto& u : utils_) {
      if (u.table != &table) continue;
      auto const failure = expect(u, entry, unit, flags);
      try {
        auto const cmds = u.util->processSwEntry(wrapper);
        EXPECT_FALSE(failure) << u.util->utilKey().utilName << " took " << describe(entry)
                              << " but should raise " << *failure;
        chip_.execute(cmds);
      } catch (std::exception const& e) {
        ASSERT_TRUE(failure) << u.util->utilKey().utilName << " raised " << e.what() << " on "
                             << describe(entry);
        EXPECT_EQ(std::string(e.what()), *failure);
        ++failures_;
      }
    }
  }

  void checkAll(std::string_view step) {
    SCOPED_TRACE(step);
    for (auto const* table : tables_) {
      ASSERT_EQ(imageOf(*table), shadow_[table]) << table->tableType();
      auto const differences = chipAgainst(chip_, *table);
      ASSERT_TRUE(differences.empty()) << fmt::format("{}", differences.front());
    }
    std::map<std::uint32_t, std::uint64_t> enqueuedPerTable;
    for (auto const& [key, n] : enqueued_) enqueuedPerTable[key.first] += n;
    for (auto const& u : utils_) {
      SCOPED_TRACE(u.util->utilKey().utilName);
      auto const& stats = *u.util->stats();
      ASSERT_EQ(stats.addCnt(), u.add);
      ASSERT_EQ(stats.deleteCnt(), u.del);
      ASSERT_EQ(stats.updateOnDelCnt(), 0u);
      ASSERT_EQ(stats.fapmaskMismatch(), u.mismatch);
      auto const record = m_.hw->stats().schanEnqueueStats(u.util->utilKey().swTableId);
      ASSERT_EQ(record ? record->totalEnqueueCnt() : 0,
                enqueuedPerTable[u.util->utilKey().swTableId.value()]);
    }
  }

  Managers m_;
  std::mt19937 rng_;
  std::vector<Util> utils_;
  std::set<HwCommonTableBase const*> tables_;
  std::map<HwCommonTableBase const*, TableImage> shadow_;
  std::map<Place, Live> live_;
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::uint64_t> enqueued_;
  chip26_a0::ChipMemory chip_;
  std::set<unsigned> views_;  // of the table whose entry is being built
  std::size_t failures_ = 0, peak_ = 0;
};

int envNumber(char const* name, int fallback) {
  char const* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::stoi(text) : fallback;
}

std::vector<unsigned> modelSeeds() {
  std::string const text = std::getenv("EEDB_MODEL_SEEDS") ? std::getenv("EEDB_MODEL_SEEDS") : "";
  if (text.empty()) return {1u, 2u, 3u, 20261206u};
  std::vector<unsigned> seeds;
  if (text.find(',') == std::string::npos) {
    for (unsigned s = 1; s <= static_cast<unsigned>(std::stoul(text)); ++s) seeds.push_back(s);
    return seeds;
  }
  for (std::size_t at = 0; at < text.size();) {
    std::size_t const end = std::min(text.find(',', at), text.size());
    seeds.push_back(static_cast<unsigned>(std::stoul(text.substr(at, end - at))));
    at = end + 1;
  }
  return seeds;
}

TEST_P(ShadowModel, RandomSequencesKeepShadowChipAndCountersInStep) {
  int const kSteps = envNumber("EEDB_MODEL_STEPS", 4000);
  std::map<std::string_view, int> kinds;
  for (int step = 0; step < kSteps; ++step) {
    unsigned const roll = pick(100);
    std::string what;
    bool const add = roll < 65 || live_.empty();
    if (add || (roll >= 85 && roll < 93)) {
      // An add (an update when the key is live), or a delete of a key that was never written or
      // of a FAP outside the mask.
      auto const& table =
          ZuriErrm::tables()[pick(static_cast<unsigned>(ZuriErrm::tables().size()))];
      unsigned const fap = pickOf(kFaps);
      auto unit = Asic::UnitId::of(static_cast<std::uint8_t>(fap),
                                   static_cast<std::uint8_t>(pickOf(kInstances)));
      if (add && pick(200) == 0) {
        unit = Asic::UnitId(static_cast<std::uint16_t>(0x8100 + pick(0x7F00)));
      }
      auto const entry = newEntry(table, !add);
      std::uint8_t const flags = add ? 0 : kDelete | (pick(3) == 0 ? kTableDelete : 0);
      what = fmt::format("step {}: {} {} unit {:#x} flags {}", step, add ? "add" : "delete",
                         describe(entry), unit.value(), flags);
      offer(table, entry, unit, flags);
      ++kinds[add ? "add" : "stray delete"];
    } else if (roll < 85) {
      // Delete a live entry with the log entry that put it there; now and then within a table
      // delete.
      auto it = std::next(live_.begin(), pick(static_cast<unsigned>(live_.size())));
      Live const live = it->second;
      auto const& table = *utils_[live.util].table;
      std::uint8_t const flags = kDelete | (pick(5) == 0 ? kTableDelete : 0);
      what = fmt::format("step {}: delete {} unit {:#x} flags {}", step, describe(live.entry),
                         live.unit.value(), flags);
      offer(table, live.entry, live.unit, flags);
      ++kinds[flags & kTableDelete ? "table delete" : "delete"];
    } else if (roll < 95) {
      // Clear one table utility's hardware table for one FAP, or for every FAP.
      auto& u = utils_[pick(static_cast<unsigned>(utils_.size()))];
      unsigned const fap = pick(8) == 0 ? 128 : pickOf(kFaps);
      what = fmt::format("step {}: clear {} fap {}", step, u.util->utilKey().utilName, fap);
      auto const cmds = u.util->clearHwTable(Asic::UnitId::of(static_cast<std::uint8_t>(fap), 0));
      chip_.execute(cmds);
      auto const* table = u.util->hwTableBase().get();
      for (auto it = shadow_[table].begin(); it != shadow_[table].end();) {
        bool const hit = fap == 128 || (it->first.first >> 8) == fap;
        if (hit) live_.erase({table, it->first.first, it->first.second});
        it = hit ? shadow_[table].erase(it) : std::next(it);
      }
      ++kinds["clear"];
    } else {
      // A FAP joins or leaves every table utility's mask. (Masks that differ between table
      // utilities of one hardware table let a sibling's table delete drop a shadow entry
      // without a command; the agent changes them for all table utilities together.)
      unsigned const fap = pick(4);
      bool const join = utils_.front().faps.count(fap) == 0;
      for (auto& u : utils_) {
        if (join) {
          addFap(*u.util, fap);
          u.faps.insert(fap);
        } else {
          u.util->fapIdDel(SchanAccel::FapId(fap));
          u.faps.erase(fap);
        }
      }
      what = fmt::format("step {}: FAP {} {} the masks", step, fap, join ? "joins" : "leaves");
      ++kinds["mask"];
    }
    ASSERT_NO_FATAL_FAILURE(checkAll(what));
    peak_ = std::max(peak_, live_.size());  // live_ holds the shadow's places
    if (HasNonfatalFailure()) return;
  }
  // The sequence must have exercised what it claims to.
  EXPECT_GT(kinds["add"], kSteps / 3);
  EXPECT_GT(kinds["delete"], kSteps / 20);
  EXPECT_GT(kinds["table delete"], 0);
  EXPECT_GT(kinds["clear"], 0);
  EXPECT_GT(failures_, 0u);
  EXPECT_GT(peak_, 20u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ShadowModel, ::testing::ValuesIn(modelSeeds()));

}  // namespace
}  // namespace eedb::test
