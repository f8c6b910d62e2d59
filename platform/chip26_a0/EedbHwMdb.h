// chip26_a0::EedbHwMdb: the MDB-backed egress encapsulation database (EEDB) table of the chip.
// It keeps the shadow of the table per shadow key (FAP id, instance id) and turns the shadow of
// one entry into the SCHAN commands that program it; decode() reads such a command back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "asic/LogEntryWrapperBase.h"
#include "chip26_a0/EedbEntry.h"
#include "chip26_a0/HwShadow.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwCommonTableBase.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"
#include "zuri_asic_utils/TableManager.h"

namespace chip26_a0 {

class EedbHwMdb : public ZuriAsicUtils::HwCommonTableBase,
                  public detail::ShadowTable<mdb::Entry, mdb::EntryKey> {
 public:
  using EntryKey = mdb::EntryKey;
  using Entry = mdb::Entry;

  // The format entries, one per format of EedbFormats.h and named after it
  // (EedbRifBasicEtpsEthRif60Entry); see there for their fields.
#define CHIP26_A0_EEDB_FORMAT_ENTRY(format)                     \
  using format##Entry = mdb::FormatEntry<mdb::formats::format>; \
  static_assert(mdb::formats::format::kName == #format "Entry");
  CHIP26_A0_EEDB_FORMATS(CHIP26_A0_EEDB_FORMAT_ENTRY)
#undef CHIP26_A0_EEDB_FORMAT_ENTRY

  // Entries of this table know their size in bits.
  static constexpr bool kEntriesHaveSize = true;
  static constexpr std::string_view kTableType = "chip26_a0::EedbHwMdb";
  static constexpr std::string_view kMemory = "EEDB";

  EedbHwMdb(Pelix::String name, ZuriAsicUtils::HwTableKey key,
            Pelix::Ptr<ZuriAsicUtils::TableManager> const& manager,
            Pelix::Ptr<ZuriMdb::TableManager> const& mdbManager);
  ~EedbHwMdb() override;

  Pelix::String tableType() const override {
    return Pelix::String(kTableType);
  }

  // Every format, in result-type order.
  static std::span<layout::FormatSpec const* const> formats() noexcept {
    return mdb::kFormatSpecs;
  }

  // --- Shadow --- (setEntry, getEntry, findEntry, prefetchEntry, entryToReplace,
  // replaceEntry, entryCount, forEachEntry)
  // Removes the entry under the key, if any, in one look-up, and answers the size of the entry
  // removed: 0 when none was stored or it had no format. The size passed is that of the entry
  // translated for the delete; the shadow does not need it.
  unsigned deleteEntry(ZuriAsicUtils::HwShadowKey shadowKey, HashedKey key, unsigned /*sizeBits*/) {
    unsigned sizeBits = 0;
    shadow_.erase(shadowKey, key, [&](Entry const& stored) {
      if (stored.hasFormat()) sizeBits = stored.entrySizeBits();
    });
    return sizeBits;
  }
  unsigned deleteEntry(ZuriAsicUtils::HwShadowKey shadowKey, EntryKey const& key,
                       unsigned sizeBits) {
    return deleteEntry(shadowKey, hashedKey(key), sizeBits);
  }

  // --- SCHAN ---
  // The commands that make the chip's copy of the entry under (shadow key, key) equal to the
  // shadow. sizeBits 0 means nothing changed: no command. Otherwise a write of what the shadow
  // key's FAP reads (entrySeenBy: its own entry, or the null FAP's) when that has a format, else
  // a clear of sizeBits bits at the entry's place; after a null-FAP command, a write of every
  // single FAP's own entry at the key (HwShadow.h). The log entry is not used. Allocates nothing
  // but for those writes.
  ZuriAsicUtils::SchanCmds schanCmds(
      ZuriAsicUtils::HwShadowKey shadowKey, EntryKey const& key, unsigned sizeBits,
      Pelix::Ptr<Asic::LogEntryWrapperBase> const& /*logEntry*/) const {
    return schanCmdsOf(shadowKey, key, sizeBits, findEntry(shadowKey, key));
  }
  // The same, given the shadow key's own entry at the key as the change left it (nullptr when it
  // holds none): a log entry's pass has it at hand and does not look it up again.
  // A single FAP's change while the table holds no null-FAP entry, the usual case, is written
  // without a call (and so without saving registers); the null FAP's entries take the whole way.
  ZuriAsicUtils::SchanCmds schanCmdsOf(ZuriAsicUtils::HwShadowKey shadowKey, EntryKey const& key,
                                       unsigned sizeBits, Entry const* own) const {
    using ZuriAsicUtils::SchanCmd;
    ZuriAsicUtils::SchanCmds cmds;  // built in place: the list's inline slots hold the command
    if (shadowKey.fapId().isNull() || (own == nullptr && shadow_.hasNullFap())) [[unlikely]] {
      schanCmdsWithNullFap(cmds, shadowKey, key, sizeBits, own);
      return cmds;
    }
    if (sizeBits == 0) return cmds;
    detail::requireCommandBits(kTableType, sizeBits);
    if (own != nullptr && own->hasFormat()) {
      encodeInto(cmds.emplace_back(), shadowKey, *own);
    } else {
      cmds.push_back(
          detail::schanCmdFor(SchanCmd::Op::clear, shadowKey, kMemory, key.value(), 0, sizeBits));
    }
    return cmds;
  }

  // Removes every entry of every shadow key of the FAP (FapId::null: of every FAP) and returns
  // one command per removed entry, in ascending shadow key, then hardware key order: a clear as
  // wide as the removed entry (0 bits for an entry without a format), or a write of the null
  // FAP's entry that the FAP reads there from now on.
  ZuriAsicUtils::SchanCmds clearTable(SchanAccel::FapId fapId) override;

  // The write command of an entry under a shadow key: memory "EEDB", index = key, result type =
  // format code, the format's size and its bits. An entry without a format gives a clear of 0
  // bits.
  static ZuriAsicUtils::SchanCmd encode(ZuriAsicUtils::HwShadowKey shadowKey,
                                        Entry const& entry) noexcept {
    ZuriAsicUtils::SchanCmd cmd;
    encodeInto(cmd, shadowKey, entry);
    return cmd;
  }
  // The same, into a command in place (a fresh one: op write, data zero).
  static void encodeInto(ZuriAsicUtils::SchanCmd& cmd, ZuriAsicUtils::HwShadowKey shadowKey,
                         Entry const& entry) noexcept {
    using ZuriAsicUtils::SchanCmd;
    if (!entry.hasFormat()) {
      detail::schanCmdIs(cmd, SchanCmd::Op::clear, shadowKey, kMemory, entry.key().value(), 0, 0);
      return;
    }
    detail::schanCmdIs(cmd, SchanCmd::Op::write, shadowKey, kMemory, entry.key().value(),
                       entry.formatCode(), entry.entrySizeBits());
    cmd.data = entry.bits();
  }
  // The entry a command writes; nullopt for a clear. Raises SchanDecodeException for a command
  // that matches no format: another memory, an unknown result type, a size other than the
  // format's, or bits set outside the format's fields.
  static std::optional<Entry> decode(ZuriAsicUtils::SchanCmd const& cmd);

 private:
  // schanCmdsOf where the null FAP's entries count: a single FAP without an entry of its own
  // reads the null FAP's; a null-FAP command is followed by every single FAP's own entry.
  void schanCmdsWithNullFap(ZuriAsicUtils::SchanCmds& cmds, ZuriAsicUtils::HwShadowKey shadowKey,
                            EntryKey const& key, unsigned sizeBits, Entry const* own) const;
  // After a null-FAP command at the key, which every FAP runs: each single FAP's own entry again.
  void rewriteOverrides(ZuriAsicUtils::SchanCmds& cmds, ZuriAsicUtils::HwShadowKey shadowKey,
                        EntryKey const& key, unsigned sizeBits) const;

  Pelix::Ptr<ZuriMdb::TableManager> mdbManager_;
};

}  // namespace chip26_a0
