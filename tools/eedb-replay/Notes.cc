// Lossy and overwrite notes of an applicable offer.

#include "Notes.h"

#include <algorithm>

#include <fmt/format.h>

#include "Describe.h"
#include "Explainer.h"
#include "Session.h"
#include "chip26_a0/BitField.h"
#include "chip26_a0/EedbEntry.h"

namespace eedb::replay {

namespace {

constexpr std::size_t kNoView = Explainer::kMaxViews;  // the slot of a table without views

// (memory, FAP, instance, index) as one number: the memory by its number among those met.
std::uint64_t placeKey(std::size_t memory, ZuriAsicUtils::SchanCmd const& cmd) {
  return std::uint64_t{cmd.index} | std::uint64_t{cmd.instanceId} << 32 |
         std::uint64_t{cmd.fapId} << 40 | std::uint64_t(memory) << 48;
}

}  // namespace

std::string lossyText(LossyNote const& note) {
  std::string text = fmt::format("{} {} programmed as ", note.field, note.input);
  if (note.target != note.field) text += fmt::format("{} ", note.target);
  text +=
      fmt::format("{} (low {})", note.programmed,
                  note.lowBits == 1 ? std::string("bit") : fmt::format("{} bits", note.lowBits));
  return text;
}

std::string overwriteText(OverwriteNote const& note) {
  return fmt::format("{} {}'s entry (format {})", note.deleted ? "deletes" : "overwrites",
                     note.name, note.format.empty() ? std::string_view("none") : note.format);
}

ProgrammedCheck::ProgrammedCheck(Session& session)
    : session_(session), rules_(session.utils().size()), views_(ZuriErrm::tables().size()) {}

ProgrammedCheck::~ProgrammedCheck() = default;

std::vector<ProgrammedCheck::CutRule> const& ProgrammedCheck::cutRules(std::size_t util,
                                                                       LogLine const& line) {
  ViewSelector& selector = views_[line.table->index];
  if (!selector.found) {
    selector.found = true;
    if (ZuriErrm::FieldInfo const* viewInfo = viewField(*line.table)) {
      selector.read = numberRead(*line.table, viewInfo->name);
    }
  }
  auto& byView = rules_[util];
  if (byView.empty()) byView.resize(kNoView + 1);
  std::optional<unsigned> view;
  std::size_t slot = kNoView;
  if (selector.read != nullptr) {
    std::uint64_t v = 0;
    selector.read(line.entry, v);
    if (v >= kNoView) {
      static std::vector<CutRule> const none;
      return none;
    }
    view = static_cast<unsigned>(v);
    slot = v;
  }
  auto& rules = byView[slot];
  if (rules) return *rules;
  rules = std::make_unique<std::vector<CutRule>>();
  // Once per view of a table utility, with the probes' traces dropped.
  QuietTraces const quiet;
  ViewDescription const described =
      describeView(session_.explainer(), session_.utils()[util], *line.table, view);
  for (FieldRule const& r : described.rules) {
    if (r.kind != FieldRule::Kind::cut) continue;
    NumberRead const read = numberRead(*line.table, r.field);
    if (read == nullptr) continue;
    rules->push_back({r.field, r.targets.front(), r.text(), read, r.lowBits,
                      chip26_a0::bits::lowMask(r.lowBits)});
  }
  return *rules;
}

void ProgrammedCheck::check(LogLine const& line, std::size_t util, OfferResult& result) {
  result.lossy.clear();
  result.overwrites.reset();
  if (result.error || !result.applicable) return;
  checkOwners(line, util, result);
  if ((line.flags & kDeleteFlag) != 0) return;  // a delete programs no field
  for (CutRule const& rule : cutRules(util, line)) {
    std::uint64_t input = 0;
    if (!rule.read(line.entry, input)) continue;  // no number: an address, no out-LIF
    std::uint64_t const kept = input & rule.kept;
    if (kept == input) continue;
    result.lossy.push_back({rule.field, rule.target, rule.rule, input, kept, rule.lowBits});
  }
}

// The memory's number among those met: its text is static, so the same pointer comes back
// for it on every command; another copy of a name met is found by its text.
std::size_t ProgrammedCheck::memoryNumber(std::string_view memory) {
  for (std::size_t i = 0; i < memories_.size(); ++i) {
    if (memories_[i].data() == memory.data() && memories_[i].size() == memory.size()) return i;
  }
  auto const known = std::find(memories_.begin(), memories_.end(), memory);
  if (known != memories_.end()) return static_cast<std::size_t>(known - memories_.begin());
  memories_.push_back(memory);
  return memories_.size() - 1;
}

void ProgrammedCheck::checkOwners(LogLine const& line, std::size_t util, OfferResult& result) {
  auto const& utils = session_.utils();
  auto const table = static_cast<std::uint32_t>(line.table->index);
  for (auto const& cmd : result.cmds) {
    std::uint64_t const key = placeKey(memoryNumber(cmd.memory), cmd);
    bool const clear = cmd.op == ZuriAsicUtils::SchanCmd::Op::clear;
    Owner const self{static_cast<std::uint16_t>(table), static_cast<std::uint16_t>(util),
                     cmd.resultType};
    std::unique_ptr<Page>& page = owners_[key / kPagePlaces];
    if (!page) {
      page = std::make_unique<Page>();
      page->fill({kNoOwner, 0, 0});
    }
    Owner& place = (*page)[key % kPagePlaces];
    if (place.table != kNoOwner && place.table != self.table && !result.overwrites) {
      auto const& previous = utils[place.util];
      auto const* format = chip26_a0::mdb::formatByCode(place.format);
      result.overwrites =
          OverwriteNote{previous.name, previous.shortName,
                        format != nullptr ? format->name : std::string_view(), clear};
    }
    place = clear ? Owner{kNoOwner, 0, 0} : self;
  }
}

}  // namespace eedb::replay
