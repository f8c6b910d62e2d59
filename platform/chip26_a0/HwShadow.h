// What the chip's hardware tables share: the shadow store (entries per shadow key, found by
// their 32-bit hardware key) and the building and checking of SCHAN commands.
//
// The null FAP and a single FAP at one key. The shadow keeps an entry of the null FAP id 128
// (every FAP) and entries of single FAPs apart, and means: a FAP reads its own entry at a key,
// or the null FAP's entry of the same instance when it has none of its own. A single FAP's entry
// overrides the common one on that FAP only; deleting it brings the common one back there; a
// null-FAP write or delete changes what every FAP without an entry of its own reads. The chip
// runs a null-FAP command on every FAP, over their own entries too (see
// replay_support/ChipMemory.h), so the tables' commands carry that meaning to it: a single FAP left
// without an entry of its own is written the null FAP's entry instead of cleared, and a null-FAP
// command is followed by a write of every single FAP's own entry at the key. Nothing of this costs
// a look-up until the table holds an entry of the null FAP.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/hash/hash.h>

#include "chip26_a0/SlotAllocator.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace chip26_a0 {

// A SCHAN command that does not describe an entry of the table asked to decode it.
class SchanDecodeException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace detail {

// Entries stored per shadow key. Each shadow key holds a flat hash set of whole entries keyed
// by their own hardware key, so an entry costs its size plus a control byte and a stored
// entry can be handed out by pointer. Replacing, deleting or finding an existing entry does
// not allocate.
template <class Entry>
class ShadowStore {
 public:
  // A hardware key with its hash. A log entry's key is hashed once, and the prefetch, the look-up
  // and the insertion of its entry reuse the hash (the shadow's sets take it as a key of their
  // own).
  struct HashedKey {
    std::uint32_t key = 0;
    std::size_t hash = 0;
  };
  static HashedKey hashed(std::uint32_t key) noexcept { return {key, absl::HashOf(key)}; }

  ShadowStore() = default;
  ShadowStore(ShadowStore const&) = delete;  // it keeps pointers into itself
  ShadowStore& operator=(ShadowStore const&) = delete;

  // Replaces what is stored under the entry's key.
  [[gnu::always_inline]] void set(ZuriAsicUtils::HwShadowKey shadowKey, Entry const& entry) {
    auto& unit = unitIs(shadowKey.packed());
    auto const [it, inserted] = unit.insert(entry);  // one probe for a new key and an old one
    if (!inserted) {
      // The set hands out const references, but its slots hold plain entries and the key
      // does not change, so overwriting in place is sound and saves a rehash.
      const_cast<Entry&>(*it) = entry;
    }
    lastWritten_ = {true, shadowKey.packed(), entry.key().value(), &*it};
  }

  // Replaces the entry that find() answered for the same key (nullptr: nothing is stored, and
  // the entry goes in under the key's hash), without hashing the key again.
  // Answers where the entry is stored now.
  [[gnu::always_inline]] Entry const* replace(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key,
                                              Entry* found, Entry const& entry) {
    if (found == nullptr) {
      found = &const_cast<Entry&>(
          *unitIs(shadowKey.packed()).lazy_emplace(key, [&](auto const& construct) {
            construct(entry);
          }));
    } else {
      *found = entry;
    }
    lastWritten_ = {true, shadowKey.packed(), key.key, found};
    return found;
  }
  void replace(ZuriAsicUtils::HwShadowKey shadowKey, Entry* found, Entry const& entry) {
    replace(shadowKey, hashed(entry.key().value()), found, entry);
  }

  // Removes the entry; false when nothing was stored. onErased(Entry const&) sees the entry
  // first: what a delete needs of it comes with the one look-up.
  template <class OnErased>
  bool erase(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key, OnErased&& onErased) {
    lastWritten_ = {true, shadowKey.packed(), key.key, nullptr};
    auto* unit = unitAt(shadowKey.packed());
    if (unit == nullptr) return false;
    auto const it = unit->find(key);
    if (it == unit->end()) return false;
    onErased(*it);
    unit->erase(it);
    return true;
  }
  bool erase(ZuriAsicUtils::HwShadowKey shadowKey, std::uint32_t key) {
    return erase(shadowKey, hashed(key), [](Entry const&) {});
  }

  // The stored entry, or nullptr. Valid until the next change of the store.
  Entry const* find(ZuriAsicUtils::HwShadowKey shadowKey, std::uint32_t key) const {
    // The commands of an entry are built right after it is written or erased: its slot, or
    // that it has none, is at hand.
    if (lastWritten_.known && lastWritten_.packed == shadowKey.packed() &&
        lastWritten_.key == key) {
      return lastWritten_.entry;
    }
    auto const* unit = unitAt(shadowKey.packed());
    if (unit == nullptr) return nullptr;
    auto it = unit->find(key);
    return it == unit->end() ? nullptr : &*it;
  }

  Entry* find(ZuriAsicUtils::HwShadowKey shadowKey, std::uint32_t key) {
    return const_cast<Entry*>(std::as_const(*this).find(shadowKey, key));
  }
  // The same for a key hashed already, ahead of its change: nothing was written at it yet.
  Entry* find(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key) {
    auto* unit = unitAt(shadowKey.packed());
    if (unit == nullptr) return nullptr;
    auto it = unit->find(key);
    return it == unit->end() ? nullptr : const_cast<Entry*>(&*it);
  }

  // The null FAP's entry of the shadow key's instance that a single FAP falls back to at the
  // key; nullptr for the null FAP's own shadow key or when it stores nothing there.
  Entry const* findCommon(ZuriAsicUtils::HwShadowKey shadowKey, std::uint32_t key) const {
    if (!hasNullFap_ || shadowKey.fapId().isNull()) [[likely]]
      return nullptr;
    auto const* unit = unitAt(commonOf(shadowKey).packed());
    if (unit == nullptr) return nullptr;
    auto it = unit->find(key);
    return it == unit->end() ? nullptr : &*it;
  }

  // Whether a set of the null FAP exists: until then no single FAP falls back to it.
  bool hasNullFap() const noexcept { return hasNullFap_; }

  // Calls visit(HwShadowKey, Entry const&) for the entry at the key of every single FAP of the
  // shadow key's instance, in ascending FAP order.
  template <class Visit>
  void forEachOverride(ZuriAsicUtils::HwShadowKey shadowKey, std::uint32_t key,
                       Visit&& visit) const {
    for (auto const& [packed, unit] : units_) {
      auto const owner = unpack(packed);
      if (owner.fapId().isNull() || owner.instanceId() != shadowKey.instanceId()) continue;
      if (auto it = unit.find(key); it != unit.end()) visit(owner, *it);
    }
  }

  // Starts loading the memory that erasing or finding the key will touch, so that work done in
  // between (translating the entry) overlaps the cache misses.
  void prefetch(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key) const noexcept {
    if (auto const* unit = unitAt(shadowKey.packed())) unit->prefetch(key);
  }

  std::size_t size() const noexcept {
    std::size_t n = 0;
    for (auto const& [packed, unit] : units_) n += unit.size();
    return n;
  }
  std::size_t size(ZuriAsicUtils::HwShadowKey shadowKey) const noexcept {
    auto unit = units_.find(shadowKey.packed());
    return unit == units_.end() ? 0 : unit->second.size();
  }

  // Calls visit(HwShadowKey, Entry const&) for every entry, in ascending shadow key, then
  // hardware key order. visit must not change the store.
  template <class Visit>
  void forEach(Visit&& visit) const {
    std::vector<Entry const*> sorted;
    for (auto const& [packed, unit] : units_) {
      sortByKey(unit, sorted);
      for (auto const* entry : sorted) visit(unpack(packed), *entry);
    }
  }

  // Removes every entry of the FAP's shadow keys (the null FAP id: of every shadow key),
  // calling onRemoved(HwShadowKey, Entry const& removed, Entry const* common) for each first, in
  // forEach order; common is the null FAP's entry that the FAP reads there from now on (always
  // nullptr when every shadow key is cleared).
  // The sets cleared go too: a shadow that saw many shadow keys clears in the time of those
  // that hold entries.
  template <class OnRemoved>
  void clear(SchanAccel::FapId fapId, OnRemoved&& onRemoved) {
    lastWritten_ = {};
    lastUnit_ = nullptr;
    std::vector<Entry const*> sorted;
    for (auto it = units_.begin(); it != units_.end();) {
      auto const shadowKey = unpack(it->first);
      if (!fapId.isNull() && shadowKey.fapId() != fapId) {
        ++it;
        continue;
      }
      sortByKey(it->second, sorted);
      for (auto const* entry : sorted) {
        onRemoved(shadowKey, *entry,
                  fapId.isNull() ? nullptr : findCommon(shadowKey, entry->key().value()));
      }
      it = units_.erase(it);
    }
    hasNullFap_ = !fapId.isNull() && hasNullFap_;
  }

 private:
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::uint32_t key) const noexcept { return absl::HashOf(key); }
    std::size_t operator()(HashedKey key) const noexcept { return key.hash; }
    std::size_t operator()(Entry const& e) const noexcept { return (*this)(e.key().value()); }
  };
  struct KeyEq {
    using is_transparent = void;
    static std::uint32_t keyOf(std::uint32_t key) noexcept { return key; }
    static std::uint32_t keyOf(HashedKey key) noexcept { return key.key; }
    static std::uint32_t keyOf(Entry const& e) noexcept { return e.key().value(); }
    template <class A, class B>
    bool operator()(A const& a, B const& b) const noexcept {
      return keyOf(a) == keyOf(b);
    }
  };
  using Unit = absl::flat_hash_set<Entry, KeyHash, KeyEq, SlotAllocator<Entry>>;

  static ZuriAsicUtils::HwShadowKey unpack(std::uint16_t packed) {
    return {SchanAccel::FapId(packed >> 8), static_cast<ZuriAsicUtils::InstanceId>(packed & 0xFF)};
  }
  static ZuriAsicUtils::HwShadowKey commonOf(ZuriAsicUtils::HwShadowKey shadowKey) {
    return {SchanAccel::FapId::null, shadowKey.instanceId()};
  }
  static void sortByKey(Unit const& unit, std::vector<Entry const*>& out) {
    out.clear();
    for (auto const& entry : unit) out.push_back(&entry);
    std::sort(out.begin(), out.end(),
              [](Entry const* a, Entry const* b) { return a->key().value() < b->key().value(); });
  }

  // The shadow key's set, created on first use. Sets are removed only by clear() and a map node
  // never moves, so the set of the last shadow key asked for stays at hand.
  Unit& unitIs(std::uint16_t packed) {
    if (lastUnit_ == nullptr || lastPacked_ != packed) {
      auto const [it, created] = units_.try_emplace(packed);
      if (created && unpack(packed).fapId().isNull()) hasNullFap_ = true;
      lastUnit_ = &it->second;
      lastPacked_ = packed;
    }
    return *lastUnit_;
  }
  Unit const* unitAt(std::uint16_t packed) const {
    if (lastUnit_ != nullptr && lastPacked_ == packed) return lastUnit_;
    auto unit = units_.find(packed);
    return unit == units_.end() ? nullptr : &unit->second;
  }
  Unit* unitAt(std::uint16_t packed) {
    return const_cast<Unit*>(std::as_const(*this).unitAt(packed));
  }

  // The key written or erased last, with its slot (nullptr: erased); any other change of the
  // store forgets it.
  struct Written {
    bool known = false;
    std::uint16_t packed = 0;
    std::uint32_t key = 0;
    Entry const* entry = nullptr;
  };

  std::map<std::uint16_t, Unit> units_;  // by HwShadowKey::packed(): ascending shadow key
  Unit* lastUnit_ = nullptr;
  std::uint16_t lastPacked_ = 0;
  Written lastWritten_;
  bool hasNullFap_ = false;  // a set of the null FAP exists
};

// The shadow half that every hardware table of the chip shares: its entries per shadow key and
// their look-ups. A table adds its delete (with or without the entry's size) and its commands.
template <class EntryT, class EntryKeyT>
class ShadowTable {
 public:
  // A key hashed once for every step of its entry's change (ShadowStore::HashedKey).
  using HashedKey = typename ShadowStore<EntryT>::HashedKey;
  static HashedKey hashedKey(EntryKeyT const& key) noexcept {
    return ShadowStore<EntryT>::hashed(key.value());
  }

  // Stores the entry under its key, replacing what was there.
  [[gnu::always_inline]] void setEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryT const& entry) {
    shadow_.set(shadowKey, entry);
  }
  // The stored entry; Entry(key), the blank entry of the key, when nothing is stored.
  EntryT getEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryKeyT const& key) const {
    auto const* stored = shadow_.find(shadowKey, key.value());
    return stored ? *stored : EntryT(key);
  }
  // The stored entry, or nullptr when nothing is stored. Valid until the shadow next changes.
  EntryT const* findEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryKeyT const& key) const {
    return shadow_.find(shadowKey, key.value());
  }
  // What the FAP of the shadow key reads at the key: its own entry, or for a single FAP without
  // one the null FAP's entry of the same instance (see the top of this file); nullptr when
  // neither is stored. Valid until the shadow next changes.
  EntryT const* entrySeenBy(ZuriAsicUtils::HwShadowKey shadowKey, EntryKeyT const& key) const {
    if (auto const* own = shadow_.find(shadowKey, key.value())) return own;
    return shadow_.findCommon(shadowKey, key.value());
  }
  // Starts loading the shadow's memory of the key ahead of a delete or find.
  void prefetchEntry(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key) const noexcept {
    shadow_.prefetch(shadowKey, key);
  }
  void prefetchEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryKeyT const& key) const noexcept {
    prefetchEntry(shadowKey, hashedKey(key));
  }
  // The stored entry of the key looked up ahead of a set (nullptr when nothing is stored), so
  // that the work done in between overlaps the cache misses of the look-up; the control bytes
  // and the first slots of the key's group are asked for at once, not one after the other.
  // Valid until the shadow next changes.
  EntryT* entryToReplace(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key) {
    shadow_.prefetch(shadowKey, key);
    return shadow_.find(shadowKey, key);
  }
  EntryT* entryToReplace(ZuriAsicUtils::HwShadowKey shadowKey, EntryKeyT const& key) {
    return entryToReplace(shadowKey, hashedKey(key));
  }
  // Stores the entry in the place entryToReplace() answered for its key; answers where it is
  // stored now.
  [[gnu::always_inline]] EntryT const* replaceEntry(ZuriAsicUtils::HwShadowKey shadowKey,
                                                    HashedKey key, EntryT* stored,
                                                    EntryT const& entry) {
    return shadow_.replace(shadowKey, key, stored, entry);
  }
  void replaceEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryT* stored, EntryT const& entry) {
    shadow_.replace(shadowKey, stored, entry);
  }

  std::size_t entryCount() const noexcept { return shadow_.size(); }
  std::size_t entryCount(ZuriAsicUtils::HwShadowKey shadowKey) const noexcept {
    return shadow_.size(shadowKey);
  }
  // Calls visit(HwShadowKey, Entry const&) for every stored entry, in ascending shadow key,
  // then hardware key order. visit must not change the table.
  template <class Visit>
  void forEachEntry(Visit&& visit) const {
    shadow_.forEach(visit);
  }

 protected:
  ShadowStore<EntryT> shadow_;
};

// Addresses a command to the entry at `index` of `memory` under a shadow key; the data stay as
// they are.
inline void schanCmdIs(ZuriAsicUtils::SchanCmd& cmd, ZuriAsicUtils::SchanCmd::Op op,
                       ZuriAsicUtils::HwShadowKey shadowKey, std::string_view memory,
                       std::uint32_t index, std::uint8_t resultType, unsigned sizeBits) noexcept {
  cmd.op = op;
  cmd.fapId = shadowKey.fapId().value();
  cmd.instanceId = shadowKey.instanceId();
  cmd.memory = memory;
  cmd.index = index;
  cmd.resultType = resultType;
  cmd.sizeBits = static_cast<std::uint16_t>(sizeBits);
}

// A command for the entry at `index` of `memory` under a shadow key, with no data yet.
inline ZuriAsicUtils::SchanCmd schanCmdFor(ZuriAsicUtils::SchanCmd::Op op,
                                           ZuriAsicUtils::HwShadowKey shadowKey,
                                           std::string_view memory, std::uint32_t index,
                                           std::uint8_t resultType, unsigned sizeBits) noexcept {
  ZuriAsicUtils::SchanCmd cmd;
  schanCmdIs(cmd, op, shadowKey, memory, index, resultType, sizeBits);
  return cmd;
}

[[noreturn]] void throwCommandBits(std::string_view table, unsigned sizeBits);

// Raises Pelix::RangeException when a command cannot carry that many bits.
inline void requireCommandBits(std::string_view table, unsigned sizeBits) {
  if (sizeBits > 32 * ZuriAsicUtils::SchanCmd::kMaxWords) throwCommandBits(table, sizeBits);
}

// The checks every decoder makes first: the memory is the table's, the size fits a command,
// and a clear carries neither data nor a result type. Returns true for a write.
bool checkDecodable(ZuriAsicUtils::SchanCmd const& cmd, std::string_view memory);

[[noreturn]] void throwDecode(ZuriAsicUtils::SchanCmd const& cmd, std::string_view reason);

}  // namespace detail
}  // namespace chip26_a0
