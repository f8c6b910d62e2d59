// The chip's two direct EEDB tables, EedbAgMemTlmHwDirect and
// EedbDataByLocalOutlifMsbsHwDirect: one bit per entry, written straight to their own memory
// (not through the MDB). Both are one template over a small description of the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "chip26_a0/HwEntryKey.h"
#include "chip26_a0/HwShadow.h"
#include "hardware/FieldTypes.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwCommonTableBase.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"
#include "zuri_asic_utils/TableManager.h"

namespace chip26_a0 {
namespace direct {

// An entry of a one-bit direct table: the key and the bit. Direct entries have no format and
// no size.
template <class Table>
class OneBitEntry {
 public:
  using EntryKey = HwEntryKey<Table>;

  constexpr OneBitEntry() noexcept = default;
  constexpr explicit OneBitEntry(EntryKey key) noexcept : key_(key.value()) {}

  constexpr EntryKey key() const noexcept { return EntryKey(key_); }
  constexpr unsigned entrySizeBits() const noexcept { return 0; }
  constexpr bool isEq(OneBitEntry const& other) const noexcept { return *this == other; }
  constexpr bool operator==(OneBitEntry const&) const noexcept = default;

  // The one field, whatever the table calls it.
  constexpr U1 bit() const noexcept { return U1(bit_); }
  constexpr void bitIs(U1 value) noexcept { bit_ = static_cast<std::uint8_t>(value.value()); }

 private:
  std::uint32_t key_ = 0;
  std::uint8_t bit_ = 0;
};

// The table over a description Desc (kTableType, kMemory, kFieldName) and its Entry.
template <class Desc, class EntryT>
class HwDirectTable : public ZuriAsicUtils::HwCommonTableBase,
                      public detail::ShadowTable<EntryT, typename EntryT::EntryKey> {
 public:
  using Entry = EntryT;
  using EntryKey = typename EntryT::EntryKey;

  // Entries of this table have no size: shadow deletes and commands take none.
  static constexpr bool kEntriesHaveSize = false;
  static constexpr std::string_view kTableType = Desc::kTableType;
  static constexpr std::string_view kMemory = Desc::kMemory;
  static constexpr unsigned kEntryBits = 1;

  HwDirectTable(Pelix::String name, ZuriAsicUtils::HwTableKey key,
                Pelix::Ptr<ZuriAsicUtils::TableManager> const& manager)
      : HwCommonTableBase(std::move(name), std::move(key), manager) {}

  Pelix::String tableType() const override { return Pelix::String(kTableType); }

  // --- Shadow --- (setEntry, getEntry, findEntry, prefetchEntry, entryToReplace,
  // replaceEntry, entryCount, forEachEntry)
  void deleteEntry(ZuriAsicUtils::HwShadowKey shadowKey, typename HwDirectTable::HashedKey key) {
    this->shadow_.erase(shadowKey, key, [](Entry const&) {});
  }
  void deleteEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryKey const& key) {
    deleteEntry(shadowKey, this->hashedKey(key));
  }

  // --- SCHAN ---
  // One command: a write of the bit that the shadow key's FAP reads (entrySeenBy: its own entry,
  // or the null FAP's), else a clear of its place; after a null-FAP command, a write of every
  // single FAP's own entry at the key (HwShadow.h). The log entry is not used. Allocates nothing
  // but for those writes.
  ZuriAsicUtils::SchanCmds schanCmds(ZuriAsicUtils::HwShadowKey shadowKey, EntryKey const& key,
                                     Pelix::Ptr<Asic::LogEntryWrapperBase> const&) const {
    return schanCmdsOf(shadowKey, key, this->findEntry(shadowKey, key));
  }
  // The same, given the shadow key's own entry at the key as the change left it (nullptr when it
  // holds none): a log entry's pass has it at hand and does not look it up again.
  ZuriAsicUtils::SchanCmds schanCmdsOf(ZuriAsicUtils::HwShadowKey shadowKey, EntryKey const& key,
                                       Entry const* own) const {
    ZuriAsicUtils::SchanCmds cmds;  // built in place: the list's inline slots hold the command
    auto const* seen = own != nullptr ? own : this->shadow_.findCommon(shadowKey, key.value());
    if (seen != nullptr) {
      cmds.push_back(encode(shadowKey, *seen));
    } else {
      cmds.push_back(clearOf(shadowKey, key.value()));
    }
    if (shadowKey.fapId().isNull()) [[unlikely]] {
      this->shadow_.forEachOverride(shadowKey, key.value(),
                                    [&](ZuriAsicUtils::HwShadowKey own, Entry const& entry) {
                                      cmds.push_back(encode(own, entry));
                                    });
    }
    return cmds;
  }

  // Removes every entry of the FAP (FapId::null: of every FAP); one command per removed entry,
  // in ascending shadow key, then hardware key order: a clear of its place, or a write of the
  // null FAP's entry that the FAP reads there from now on.
  ZuriAsicUtils::SchanCmds clearTable(SchanAccel::FapId fapId) override {
    ZuriAsicUtils::SchanCmds cmds;
    this->shadow_.clear(
        fapId, [&](ZuriAsicUtils::HwShadowKey shadowKey, Entry const& entry, Entry const* common) {
          cmds.push_back(common != nullptr ? encode(shadowKey, *common)
                                           : clearOf(shadowKey, entry.key().value()));
        });
    return cmds;
  }

  // The clear command of the entry's place: one bit, no data.
  static ZuriAsicUtils::SchanCmd clearOf(ZuriAsicUtils::HwShadowKey shadowKey,
                                         std::uint32_t index) noexcept {
    return detail::schanCmdFor(ZuriAsicUtils::SchanCmd::Op::clear, shadowKey, kMemory, index, 0,
                               kEntryBits);
  }
  // The write command of an entry: one bit of data, result type 0.
  static ZuriAsicUtils::SchanCmd encode(ZuriAsicUtils::HwShadowKey shadowKey,
                                        Entry const& entry) noexcept {
    auto cmd = detail::schanCmdFor(ZuriAsicUtils::SchanCmd::Op::write, shadowKey, kMemory,
                                   entry.key().value(), 0, kEntryBits);
    cmd.data[0] = static_cast<std::uint32_t>(entry.bit().value());
    return cmd;
  }
  // The entry a command writes; nullopt for a clear. Raises SchanDecodeException for a command
  // of another memory, a result type, a size other than one bit, or data beyond the bit.
  static std::optional<Entry> decode(ZuriAsicUtils::SchanCmd const& cmd) {
    if (!detail::checkDecodable(cmd, kMemory)) return std::nullopt;
    if (cmd.resultType != 0) detail::throwDecode(cmd, "a direct table has no result types");
    if (cmd.sizeBits != kEntryBits) detail::throwDecode(cmd, "a direct entry is 1 bit");
    for (unsigned w = 0; w < cmd.data.size(); ++w) {
      if (cmd.data[w] > (w == 0 ? 1u : 0u)) detail::throwDecode(cmd, "data beyond bit 0");
    }
    Entry entry{EntryKey(cmd.index)};
    entry.bitIs(U1(cmd.data[0]));
    return entry;
  }
};

struct AgMemTlmDesc {
  static constexpr std::string_view kTableType = "chip26_a0::EedbAgMemTlmHwDirect";
  static constexpr std::string_view kMemory = "EEDB_AG_MEM_TLM";
  static constexpr std::string_view kFieldName = "agFieldTlm";
};

struct DataByLocalOutlifMsbsDesc {
  static constexpr std::string_view kTableType = "chip26_a0::EedbDataByLocalOutlifMsbsHwDirect";
  static constexpr std::string_view kMemory = "EEDB_DATA_BY_LOCAL_OUTLIF_MSBS";
  static constexpr std::string_view kFieldName = "eesIsDataEntryapped";
};

class AgMemTlmEntry : public OneBitEntry<AgMemTlmDesc> {
 public:
  using OneBitEntry::OneBitEntry;
  static constexpr std::string_view kFieldName = AgMemTlmDesc::kFieldName;
  void agFieldTlmIs(U1 value) { bitIs(value); }
  U1 agFieldTlm() const noexcept { return bit(); }
};

class DataByLocalOutlifMsbsEntry : public OneBitEntry<DataByLocalOutlifMsbsDesc> {
 public:
  using OneBitEntry::OneBitEntry;
  static constexpr std::string_view kFieldName = DataByLocalOutlifMsbsDesc::kFieldName;
  void eesIsDataEntryappedIs(U1 value) { bitIs(value); }
  U1 eesIsDataEntryapped() const noexcept { return bit(); }
};

static_assert(std::is_trivially_copyable_v<AgMemTlmEntry> && sizeof(AgMemTlmEntry) == 8);

// "Entry{key=0x10, agFieldTlm=1}"
template <class EntryT>
struct EntryFormatter {
  constexpr auto parse(fmt::format_parse_context& ctx) { return ctx.begin(); }
  auto format(EntryT const& e, fmt::format_context& ctx) const {
    return fmt::format_to(ctx.out(), "Entry{{key={}, {}={}}}", e.key(), EntryT::kFieldName,
                          e.bit().value());
  }
};

// Built once, in the platform library, so both tables have one vtable and type identity.
extern template class HwDirectTable<AgMemTlmDesc, AgMemTlmEntry>;
extern template class HwDirectTable<DataByLocalOutlifMsbsDesc, DataByLocalOutlifMsbsEntry>;

}  // namespace direct

class EedbAgMemTlmHwDirect
    : public direct::HwDirectTable<direct::AgMemTlmDesc, direct::AgMemTlmEntry> {
 public:
  using HwDirectTable::HwDirectTable;
  ~EedbAgMemTlmHwDirect() override;
};

class EedbDataByLocalOutlifMsbsHwDirect
    : public direct::HwDirectTable<direct::DataByLocalOutlifMsbsDesc,
                                   direct::DataByLocalOutlifMsbsEntry> {
 public:
  using HwDirectTable::HwDirectTable;
  ~EedbDataByLocalOutlifMsbsHwDirect() override;
};

}  // namespace chip26_a0

template <>
struct fmt::formatter<chip26_a0::direct::AgMemTlmEntry>
    : chip26_a0::direct::EntryFormatter<chip26_a0::direct::AgMemTlmEntry> {};
template <>
struct fmt::formatter<chip26_a0::direct::DataByLocalOutlifMsbsEntry>
    : chip26_a0::direct::EntryFormatter<chip26_a0::direct::DataByLocalOutlifMsbsEntry> {};
