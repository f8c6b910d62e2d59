// Replay support: the model of the chip's memories that checks the SCHAN commands.
#include "replay_support/ChipMemory.h"

#include <algorithm>
#include <utility>

#include "chip26_a0/BitField.h"
#include "replay_support/FieldText.h"

namespace chip26_a0 {

using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;

namespace {

constexpr unsigned kCommandBits = 32 * SchanCmd::kMaxWords;

[[noreturn]] void refuse(SchanCmd const& cmd, std::string_view reason) {
  throw SchanExecuteException(fmt::format("cannot execute {}: {}", cmd, reason));
}

void check(SchanCmd const& cmd) {
  if (cmd.fapId > ChipMemory::kEveryFap) refuse(cmd, "FAP ids end at 128");
  if (cmd.op != SchanCmd::Op::write && cmd.op != SchanCmd::Op::clear) {
    refuse(cmd, "unknown operation");
  }
  if (cmd.sizeBits > kCommandBits) refuse(cmd, "more bits than a command carries");
  if (cmd.op == SchanCmd::Op::clear && cmd.resultType != 0) {
    refuse(cmd, "a clear names no result type");
  }
  unsigned const dataBits = cmd.op == SchanCmd::Op::write ? cmd.sizeBits : 0;
  if (bits::firstSetFrom(cmd.data, dataBits) >= 0) refuse(cmd, "data beyond the command's size");
}

// The content of a place after the command, given what the place read before.
ChipMemory::Content apply(SchanCmd const& cmd, ChipMemory::Content before) {
  if (cmd.op == SchanCmd::Op::write) {
    return {cmd.resultType, cmd.sizeBits, cmd.data};
  }
  if (cmd.sizeBits >= before.sizeBits) return {};
  // A clear shorter than the entry leaves the entry's upper bits, and its result type, behind.
  bits::deposit(before.data, 0, cmd.sizeBits, ChipMemory::Content{}.data);
  return before;
}

}  // namespace

bool ChipMemory::Content::empty() const noexcept {
  return resultType == 0 &&
         std::all_of(data.begin(), data.end(), [](std::uint32_t w) { return w == 0; });
}

void ChipMemory::execute(SchanCmd const& cmd) {
  check(cmd);
  ++executed_;
  Place const common{cmd.memory, kEveryFap, cmd.instanceId, cmd.index};
  auto const commonIt = contents_.find(common);
  bool const hasCommon = commonIt != contents_.end();
  if (cmd.fapId == kEveryFap) {
    // Every FAP runs the command on what it reads: its own content, or the common one.
    Content const commonAfter = apply(cmd, hasCommon ? commonIt->second : Content{});
    for (unsigned fap = 0; fap < kEveryFap; ++fap) {
      auto own =
          contents_.find({cmd.memory, static_cast<std::uint8_t>(fap), cmd.instanceId, cmd.index});
      if (own == contents_.end()) continue;
      Content const ownAfter = apply(cmd, own->second);
      if (cmd.op == SchanCmd::Op::write || ownAfter == commonAfter ||
          (ownAfter.empty() && commonAfter.empty())) {
        contents_.erase(own);
      } else {
        own->second = ownAfter;
      }
    }
    if (commonAfter.empty()) {
      contents_.erase(common);
    } else {
      contents_[common] = commonAfter;
    }
    return;
  }
  Place const own{cmd.memory, cmd.fapId, cmd.instanceId, cmd.index};
  Content const after = apply(cmd, read(cmd.memory, cmd.fapId, cmd.instanceId, cmd.index));
  if (after.empty() && !hasCommon) {
    contents_.erase(own);
  } else {
    contents_[own] = after;  // an empty content hides the common one from this FAP
  }
}

ChipMemory::Content ChipMemory::read(std::string_view memory, std::uint8_t fapId,
                                     std::uint8_t instanceId, std::uint32_t index) const {
  if (fapId != kEveryFap) {
    if (auto it = contents_.find({memory, fapId, instanceId, index}); it != contents_.end()) {
      return it->second;
    }
  }
  auto it = contents_.find({memory, kEveryFap, instanceId, index});
  return it == contents_.end() ? Content{} : it->second;
}

std::vector<ChipMemory::Place> ChipMemory::places(std::string_view memory) const {
  std::vector<Place> out;
  for (auto const& [place, content] : contents_) {
    if (place.memory == memory) out.push_back(place);
  }
  return out;
}

namespace {

struct FieldOf {
  std::string_view name;
  layout::FieldKind kind;
  layout::FieldValue value;
};
using FieldsOf = std::vector<FieldOf>;

FieldsOf fieldsOf(mdb::Entry const& entry) {
  FieldsOf out;
  entry.forEachField([&](layout::FieldSpec const& field, layout::FieldValue const& value) {
    out.push_back({field.name, field.kind, value});
  });
  return out;
}

template <class Entry>
requires requires {
  Entry::kFieldName;
}
FieldsOf fieldsOf(Entry const& entry) {
  layout::FieldValue::Words words{};
  words[0] = static_cast<std::uint32_t>(entry.bit().value());
  return {{Entry::kFieldName, layout::FieldKind::number, layout::FieldValue(1, words)}};
}

FieldOf const* fieldIn(FieldsOf const& fields, std::string_view name) {
  for (auto const& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

// Fields in the shadow's order, then those only the chip has; only those that differ (in
// their bits: a field may be narrower in one format than in another).
std::vector<FieldDifference> fieldDifferences(FieldsOf const& shadow, FieldsOf const& chip) {
  std::vector<FieldDifference> out;
  auto const text = [](FieldOf const* f) {
    return f != nullptr ? layout::fieldText(f->kind, f->value) : std::string("-");
  };
  auto const value = [](FieldOf const* f) {
    return f != nullptr ? std::optional(f->value) : std::nullopt;
  };
  for (auto const& field : shadow) {
    FieldOf const* other = fieldIn(chip, field.name);
    if (other != nullptr && other->value.words() == field.value.words()) continue;
    out.push_back({std::string(field.name), text(&field), text(other), field.value, value(other),
                   field.kind});
  }
  for (auto const& field : chip) {
    if (fieldIn(shadow, field.name) != nullptr) continue;
    out.push_back(
        {std::string(field.name), "-", text(&field), std::nullopt, field.value, field.kind});
  }
  return out;
}

template <class Table>
std::vector<MemoryDifference> compare(ChipMemory const& chip, Table const& table) {
  using Entry = typename Table::Entry;
  using EntryKey = typename Table::EntryKey;
  std::set<ChipMemory::Place> places;
  table.forEachEntry([&](HwShadowKey shadowKey, Entry const& entry) {
    places.insert(
        {Table::kMemory, shadowKey.fapId().value(), shadowKey.instanceId(), entry.key().value()});
  });
  for (auto const& place : chip.places(Table::kMemory)) places.insert(place);

  std::vector<MemoryDifference> out;
  for (auto const& place : places) {
    EntryKey const key(place.index);
    HwShadowKey const shadowKey(SchanAccel::FapId(place.fapId), place.instanceId);
    Entry const* expected = table.entrySeenBy(shadowKey, key);
    ChipMemory::Content want;
    if (expected != nullptr) {
      SchanCmd const cmd = Table::encode(shadowKey, *expected);
      if (cmd.op == SchanCmd::Op::write) want = {cmd.resultType, cmd.sizeBits, cmd.data};
    }
    ChipMemory::Content const have =
        chip.read(place.memory, place.fapId, place.instanceId, place.index);
    if ((want.empty() && have.empty()) || want == have) continue;

    MemoryDifference d{place, expected ? fmt::format("{}", *expected) : "nothing", "nothing", {}};
    FieldsOf const shadowFields = expected ? fieldsOf(*expected) : FieldsOf{};
    FieldsOf chipFields;
    if (!have.empty()) {
      SchanCmd cmd;
      cmd.op = SchanCmd::Op::write;
      cmd.fapId = place.fapId;
      cmd.instanceId = place.instanceId;
      cmd.memory = place.memory;
      cmd.index = place.index;
      cmd.resultType = have.resultType;
      cmd.sizeBits = have.sizeBits;
      cmd.data = have.data;
      try {
        if (auto decoded = Table::decode(cmd)) {
          d.chip = fmt::format("{}", *decoded);
          chipFields = fieldsOf(*decoded);
        }
      } catch (SchanDecodeException const& e) {
        d.chip = fmt::format("undecodable ({})", e.what());
      }
    }
    d.fields = fieldDifferences(shadowFields, chipFields);
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace

std::vector<MemoryDifference> compareWithShadow(ChipMemory const& chip, EedbHwMdb const& table) {
  return compare(chip, table);
}
std::vector<MemoryDifference> compareWithShadow(ChipMemory const& chip,
                                                EedbAgMemTlmHwDirect const& table) {
  return compare(chip, table);
}
std::vector<MemoryDifference> compareWithShadow(ChipMemory const& chip,
                                                EedbDataByLocalOutlifMsbsHwDirect const& table) {
  return compare(chip, table);
}

}  // namespace chip26_a0
