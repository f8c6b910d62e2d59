// Why an offer failed or was refused, found by translating again.

#include "Explainer.h"

#include <functional>
#include <iterator>

#include <fmt/format.h>

#include "kiv/Trace.h"

namespace eedb::replay {

using ZuriErrm::FieldInfo;
using ZuriErrm::FieldKind;
using ZuriErrm::Value;

std::string_view failureCause(std::string_view message) noexcept {
  auto const end = message.rfind("]: ");
  return end == std::string_view::npos ? message : message.substr(end + 3);
}

std::string fapMaskText(SchanAccel::Fapmask const& mask) {
  std::string text;
  for (unsigned fap = 0; fap <= SchanAccel::FapId::kNull; ++fap) {
    if (!mask.test(SchanAccel::FapId(fap))) continue;
    unsigned last = fap;
    while (last < SchanAccel::FapId::kNull && mask.test(SchanAccel::FapId(last + 1))) ++last;
    if (!text.empty()) text += ',';
    text += last == fap ? fmt::format("{}", fap) : fmt::format("{}-{}", fap, last);
    fap = last;
  }
  return text;
}

FieldInfo const* viewField(ZuriErrm::TableInfo const& table) noexcept {
  return table.field("viewType");
}

namespace {

void collectLeaves(std::span<FieldInfo const> fields, std::string_view prefix,
                   ZuriErrm::AnyLogEntry const& entry, bool all, std::vector<FieldPath>& out) {
  for (FieldInfo const& field : fields) {
    if (!all && !field.shown(entry)) continue;
    std::string path =
        prefix.empty() ? std::string(field.name) : fmt::format("{}.{}", prefix, field.name);
    if (field.kind == FieldKind::object) {
      collectLeaves(field.members, path, entry, all, out);
    } else {
      out.push_back({std::move(path), &field});
    }
  }
}

bool isNumber(FieldKind kind) {
  return kind == FieldKind::number || kind == FieldKind::bounded || kind == FieldKind::outlif;
}

}  // namespace

std::vector<FieldPath> leafFields(ZuriErrm::TableInfo const& table,
                                  ZuriErrm::AnyLogEntry const& entry, bool all) {
  std::vector<FieldPath> out;
  collectLeaves(table.fields, {}, entry, all, out);
  return out;
}

Explainer::Attempt Explainer::attempt(LoadedUtil const& util, ZuriErrm::TableInfo const& table,
                                      ZuriErrm::AnyLogEntry const& entry, Asic::UnitId unitId,
                                      std::uint8_t flags) const {
  Attempt result;
  try {
    translator_.translate(util, table, entry, unitId, flags, result.entry);
    result.ok = true;
  } catch (...) {
    result.cause = std::string(failureCause(currentError().message));
  }
  return result;
}

QuietTraces::QuietTraces() : saved_(Kiv::traceRecordSink()) {
  Kiv::traceRecordSinkIs([](Kiv::TraceRecord const&) {});
}
QuietTraces::~QuietTraces() {
  Kiv::traceRecordSinkIs(std::move(saved_));
}

void Explainer::explain(LoadedUtil const& util, LogLine const& line, OfferResult& result) {
  if (result.error) {
    result.blame = blame(util, line);
  } else if (!result.applicable) {
    reason(util, line, result.reason);
  }
}

std::optional<FieldBlame> Explainer::blame(LoadedUtil const& util, LogLine const& line) const {
  QuietTraces const quiet;
  ZuriErrm::TableInfo const& table = *line.table;
  Attempt const failed = attempt(util, table, line.entry, line.unitId, line.flags);
  if (failed.ok) return std::nullopt;  // the failure lies outside translation

  // A value the failure may be pinned on, and how to translate the line with another value:
  // in the line, or alone (every other field at 0 but the view, for the bound's search).
  struct Candidate {
    std::string path;
    Value value;
    Value reset;
    bool number;
    std::function<Attempt(Value const&, bool alone)> with;
  };
  std::vector<Candidate> candidates;
  ZuriErrm::AnyLogEntry const fresh = table.newEntry();
  FieldInfo const* const view = viewField(table);
  ZuriErrm::AnyLogEntry alone = fresh;
  if (view != nullptr) view->set(alone, view->get(line.entry));
  auto const entryOf = [&](bool isolated) { return isolated ? alone : line.entry; };
  std::optional<Candidate> viewCandidate;
  for (FieldPath& leaf : leafFields(table, line.entry)) {
    FieldInfo const* info = leaf.info;
    std::string const path = leaf.path;
    Candidate c{std::move(leaf.path), info->get(line.entry), info->get(fresh), isNumber(info->kind),
                [this, &util, &table, &line, &entryOf, info, path](Value const& v, bool isolated) {
                  ZuriErrm::AnyLogEntry entry = entryOf(isolated);
                  info->set(entry, v, path);
                  return attempt(util, table, entry, line.unitId, line.flags);
                }};
    // A view type changes everything the entry becomes: the last resort.
    if (info == view) {
      viewCandidate = std::move(c);
    } else {
      candidates.push_back(std::move(c));
    }
  }
  auto const unitCandidate = [&](std::string path, bool fap) {
    std::uint8_t const current = fap ? line.unitId.fapIdRaw() : line.unitId.instanceId();
    return Candidate{std::move(path), Value::number(current), Value::number(0), true,
                     [this, &util, &table, &line, &entryOf, fap](Value const& v, bool isolated) {
                       auto const n = static_cast<std::uint8_t>(v.asNumber());
                       Asic::UnitId const unitId =
                           fap ? Asic::UnitId::of(n, line.unitId.instanceId())
                               : Asic::UnitId::of(line.unitId.fapIdRaw(), n);
                       return attempt(util, table, entryOf(isolated), unitId, line.flags);
                     }};
  };
  candidates.push_back(unitCandidate("unit.fap", true));
  candidates.push_back(unitCandidate("unit.instance", false));
  if (viewCandidate) candidates.push_back(std::move(*viewCandidate));

  for (Candidate const& c : candidates) {
    if (c.value == c.reset) continue;
    Attempt const reset = c.with(c.reset, false);
    if (reset.sameAs(failed)) continue;
    FieldBlame blame{c.path, c.value, std::nullopt};
    if (!c.number || c.value.kind() != Value::Kind::number) return blame;
    // The largest value that translates, by bisection between 0 and the value (the checks are
    // bounds): alone when the value fails alone, so that no other failure can look the same;
    // else in the line, where a value below the bound fails as the reset line does.
    bool const isolated = c.with(Value::number(0), true).ok && !c.with(c.value, true).ok;
    auto const good = [&](std::uint64_t v) {
      Attempt const a = c.with(Value::number(v), isolated);
      return isolated ? a.ok : a.sameAs(reset);
    };
    if (!good(0)) return blame;
    std::uint64_t low = 0;
    std::uint64_t high = c.value.asNumber();
    while (high - low > 1) {
      std::uint64_t const mid = low + (high - low) / 2;
      (good(mid) ? low : high) = mid;
    }
    blame.limit = low;
    return blame;
  }
  return std::nullopt;
}

void Explainer::reason(LoadedUtil const& util, LogLine const& line, std::string& out) {
  ZuriErrm::TableInfo const& table = *line.table;
  auto o = std::back_inserter(out);
  // In the pipeline's order: the table's condition (its views), then the FAP mask filter.
  if (FieldInfo const* field = viewField(table)) {
    std::uint64_t const view = field->get(line.entry).asNumber();
    Views& known = viewsOf(util, table);
    if (view >= kMaxViews || !known.set.test(view)) {
      // The same text for every line of a view: made once (a view beyond them each time).
      std::string made;
      std::string* text = &made;
      if (view < kMaxViews) {
        if (known.refused.empty()) known.refused.resize(kMaxViews);
        text = &known.refused[view];
      }
      if (text->empty()) {
        *text =
            fmt::format("view {} is not one of this table utility's views ({})", view, known.list);
      }
      out += *text;
      return;
    }
  }
  std::uint8_t const fap = line.unitId.fapIdRaw();
  SchanAccel::Fapmask const& mask = util.util->fapmask();
  if (fap < SchanAccel::FapId::kNull && !mask.test(SchanAccel::FapId(fap))) {
    // The mask's text, made again only when the mask changed.
    Views& known = viewsOf(util, table);
    if (!known.mask || *known.mask != mask) {
      known.mask = mask;
      known.maskText = fapMaskText(mask);
      if (known.maskText.empty()) known.maskText = "(empty)";
    }
    fmt::format_to(o, "FAP {} is outside the FAP mask {}", fap, known.maskText);
  }
}

Explainer::ViewSet const& Explainer::views(LoadedUtil const& util,
                                           ZuriErrm::TableInfo const& table) {
  return viewsOf(util, table).set;
}

Explainer::Views& Explainer::viewsOf(LoadedUtil const& util, ZuriErrm::TableInfo const& table) {
  auto const [it, added] = views_.try_emplace(util.util.get());
  Views& views = it->second;
  if (!added) return views;
  FieldInfo const* field = viewField(table);
  if (field == nullptr) return views;
  QuietTraces const quiet;  // once per table utility: the reasons that follow translate nothing
  std::uint64_t const last = std::min<std::uint64_t>(field->max(), kMaxViews - 1);
  for (std::uint64_t v = 0; v <= last; ++v) {
    ZuriErrm::AnyLogEntry entry = table.newEntry();
    field->set(entry, Value::number(v));
    Attempt const a = attempt(util, table, entry, Asic::UnitId());
    // A failure comes from the view's format rules: the view is there too.
    if (!a.ok || !a.entry.format.empty()) {
      views.set.set(v);
      fmt::format_to(std::back_inserter(views.list), "{}{}", views.list.empty() ? "" : ", ", v);
    }
  }
  return views;
}

}  // namespace eedb::replay
