// The MDB-backed EEDB table: its shadow per shadow key and the SCHAN commands for it.
#include "chip26_a0/EedbHwMdb.h"

#include <fmt/format.h>

namespace chip26_a0 {

using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;
using ZuriAsicUtils::SchanCmds;

static_assert(mdb::kEntryWords == SchanCmd::kMaxWords, "an entry travels in one command");

EedbHwMdb::EedbHwMdb(Pelix::String name, ZuriAsicUtils::HwTableKey key,
                     Pelix::Ptr<ZuriAsicUtils::TableManager> const& manager,
                     Pelix::Ptr<ZuriMdb::TableManager> const& mdbManager)
    : HwCommonTableBase(std::move(name), std::move(key), manager), mdbManager_(mdbManager) {}

EedbHwMdb::~EedbHwMdb() = default;

SchanCmds EedbHwMdb::clearTable(SchanAccel::FapId fapId) {
  SchanCmds cmds;
  shadow_.clear(fapId, [&](HwShadowKey shadowKey, Entry const& entry, Entry const* common) {
    if (common != nullptr && common->hasFormat()) {
      encodeInto(cmds.emplace_back(), shadowKey, *common);
      return;
    }
    cmds.push_back(detail::schanCmdFor(SchanCmd::Op::clear, shadowKey, kMemory, entry.key().value(),
                                       0, entry.entrySizeBits()));
  });
  return cmds;
}

void EedbHwMdb::schanCmdsWithNullFap(SchanCmds& cmds, HwShadowKey shadowKey, EntryKey const& key,
                                     unsigned sizeBits, Entry const* own) const {
  if (sizeBits == 0) return;
  detail::requireCommandBits(kTableType, sizeBits);
  auto const* seen = own != nullptr ? own : shadow_.findCommon(shadowKey, key.value());
  if (seen != nullptr && seen->hasFormat()) {
    encodeInto(cmds.emplace_back(), shadowKey, *seen);
  } else {
    cmds.push_back(
        detail::schanCmdFor(SchanCmd::Op::clear, shadowKey, kMemory, key.value(), 0, sizeBits));
  }
  if (shadowKey.fapId().isNull()) rewriteOverrides(cmds, shadowKey, key, sizeBits);
}

void EedbHwMdb::rewriteOverrides(SchanCmds& cmds, HwShadowKey shadowKey, EntryKey const& key,
                                 unsigned sizeBits) const {
  shadow_.forEachOverride(shadowKey, key.value(), [&](HwShadowKey own, Entry const& entry) {
    if (entry.hasFormat()) {
      encodeInto(cmds.emplace_back(), own, entry);
    } else {
      cmds.push_back(
          detail::schanCmdFor(SchanCmd::Op::clear, own, kMemory, key.value(), 0, sizeBits));
    }
  });
}

std::optional<EedbHwMdb::Entry> EedbHwMdb::decode(SchanCmd const& cmd) {
  if (!detail::checkDecodable(cmd, kMemory)) return std::nullopt;
  if (cmd.resultType == 0) detail::throwDecode(cmd, "a write names no result type");
  auto const* spec = mdb::formatByCode(cmd.resultType);
  if (spec == nullptr) {
    detail::throwDecode(cmd, fmt::format("result type {} names no format", cmd.resultType));
  }
  if (cmd.sizeBits != spec->sizeBits) {
    detail::throwDecode(cmd, fmt::format("{} (result type {}) is {} bits, not {}", spec->name,
                                         spec->code, spec->sizeBits, cmd.sizeBits));
  }
  if (int const bit = bits::firstSetFrom(cmd.data, spec->usedBits()); bit >= 0) {
    detail::throwDecode(cmd, fmt::format("bit {} is set, outside the fields of {} (bits 0 to {})",
                                         bit, spec->name, spec->usedBits() - 1));
  }
  return Entry(EntryKey(cmd.index), spec->code, cmd.data);
}

}  // namespace chip26_a0
