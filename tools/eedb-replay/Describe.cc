// --describe and --list-tables: what each table utility does with each input field.

#include "Describe.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <map>

#include <fmt/ranges.h>

#include "Escape.h"
#include "Explainer.h"
#include "Printer.h"
#include "chip26_a0/BitField.h"
#include "chip26_a0/EedbEntry.h"
#include "replay_support/DidYouMean.h"

namespace eedb::replay {

using ZuriErrm::FieldInfo;
using ZuriErrm::FieldKind;
using ZuriErrm::Value;
using Attempt = Explainer::Attempt;

namespace {

constexpr std::string_view kKeyTarget = "hardware key";
// Probe values of the address and MAC rules, and what the hardware field holds for a copy.
constexpr std::string_view kIpv4Probe = "10.1.2.3";
constexpr std::uint64_t kIpv4Number = 0x0A010203;
constexpr std::string_view kIpv6Probe = "2001:db8::1";
constexpr chip26_a0::layout::FieldValue::Words kIpv6Words{1, 0, 0, 0x20010DB8};
constexpr std::string_view kMacProbe = "02:00:00:aa:bb:cc";
constexpr std::uint64_t kMacNumber = 0x020000AABBCC;

chip26_a0::layout::FieldValue const* hwField(ShadowView const& entry, std::string_view name) {
  for (auto const& f : entry.fields) {
    if (f.name == name) return &f.value;
  }
  return nullptr;
}

// The hardware fields (and the key) in which `probe` differs from `base`.
std::vector<std::string> changes(ShadowView const& base, ShadowView const& probe) {
  std::vector<std::string> out;
  if (probe.key != base.key) out.emplace_back(kKeyTarget);
  for (auto const& f : probe.fields) {
    auto const* before = hwField(base, f.name);
    if (before == nullptr || !(*before == f.value)) out.emplace_back(f.name);
  }
  return out;
}

void addAll(std::vector<std::string>& into, std::vector<std::string> const& more) {
  for (auto const& name : more) {
    if (std::find(into.begin(), into.end(), name) == into.end()) into.push_back(name);
  }
}

// The number a single target holds after a probe.
std::uint64_t targetValue(ShadowView const& entry, std::string_view target) {
  if (target == kKeyTarget) return entry.key;
  auto const* v = hwField(entry, target);
  return v == nullptr ? 0 : v->value();
}

// Probes one input field of one view of one table utility.
class FieldProbe {
 public:
  FieldProbe(Explainer& explainer, Session::Util const& util, ZuriErrm::TableInfo const& table,
             ZuriErrm::AnyLogEntry const& base, ShadowView const& baseEntry, FieldPath const& field)
      : explainer_(explainer),
        util_(util),
        table_(table),
        base_(base),
        baseEntry_(baseEntry),
        field_(field) {}

  Attempt with(Value const& v) const {
    ZuriErrm::AnyLogEntry entry = base_;
    field_.info->set(entry, v, field_.path);
    return explainer_.attempt(util_, table_, entry, Asic::UnitId());
  }

  FieldRule rule() const {
    FieldRule r;
    r.field = field_.path;
    switch (field_.info->kind) {
      case FieldKind::address:
        addressRule(r);
        break;
      case FieldKind::mac:
        macRule(r);
        break;
      default:
        numberRule(r);
    }
    return r;
  }

 private:
  void numberRule(FieldRule& r) const {
    std::uint64_t const storageMax = field_.info->max();
    Attempt const one = with(Value::number(1));
    if (!one.ok) {
      r.kind = FieldRule::Kind::fails;
      r.note = one.cause;
      return;
    }
    std::uint64_t top = storageMax;
    Attempt atTop = with(Value::number(top));
    if (!atTop.ok) {
      // Bisect for the largest value that translates: the field has a bound.
      std::uint64_t good = 1;
      std::uint64_t bad = storageMax;
      while (bad - good > 1) {
        std::uint64_t const mid = good + (bad - good) / 2;
        (with(Value::number(mid)).ok ? good : bad) = mid;
      }
      r.max = good;
      top = good;
      atTop = with(Value::number(top));
    }
    std::uint64_t pattern = UINT64_C(0x5A5A5A5A5A5A5A5A) & top;
    if (pattern <= 1) pattern = top;
    Attempt const mid = with(Value::number(pattern));
    std::pair<std::uint64_t, Attempt const*> const probes[] = {
        {1, &one}, {pattern, &mid}, {top, &atTop}};
    for (auto const& [value, a] : probes) {
      if (a->ok) addAll(r.targets, changes(baseEntry_, a->entry));
    }
    if (r.targets.empty()) {
      r.kind = FieldRule::Kind::unused;
      return;
    }
    r.kind = FieldRule::Kind::derived;
    if (r.targets.size() != 1) return;
    // One target holding the value, or its low bits: a copy or a cut; a checked or bounded one
    // when a value fails, told apart by the failure (the checked cast's or the bounded type's).
    auto const& target = r.targets.front();
    unsigned const bits = static_cast<unsigned>(std::bit_width(targetValue(atTop.entry, target)));
    for (auto const& [value, a] : probes) {
      if (!a->ok || targetValue(a->entry, target) != (value & chip26_a0::bits::lowMask(bits))) {
        mapSmallDomain(r, target, top);
        return;
      }
    }
    if (top > chip26_a0::bits::lowMask(bits)) {
      r.kind = FieldRule::Kind::cut;
      r.lowBits = bits;
    } else if (!r.max) {
      r.kind = FieldRule::Kind::copy;
    } else {
      std::string const cause = with(Value::number(*r.max + 1)).cause;
      r.kind = cause.find("::value < 0 or > ") != std::string::npos ? FieldRule::Kind::bounded
                                                                    : FieldRule::Kind::checked;
    }
  }

  // A derived field of at most kSmallDomain values into one target: every value is translated
  // and the mapping written out, the most frequent result as "any other"; a one-bit target of
  // both 0 and 1 is a flag.
  void mapSmallDomain(FieldRule& r, std::string const& target, std::uint64_t top) const {
    constexpr std::uint64_t kSmallDomain = 256;
    constexpr std::size_t kListed = 4;
    if (top >= kSmallDomain) return;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> outputs;  // (input, target value)
    unsigned width = 0;
    for (std::uint64_t v = 0; v <= top; ++v) {
      Attempt const a = with(Value::number(v));
      if (!a.ok) return;
      auto const* hw = hwField(a.entry, target);
      if (hw == nullptr || hw->wide()) return;
      width = hw->width();
      outputs.emplace_back(v, hw->value());
    }
    std::map<std::uint64_t, std::size_t> counts;
    for (auto const& [in, out] : outputs) ++counts[out];
    auto const common =
        std::max_element(counts.begin(), counts.end(), [](auto const& a, auto const& b) {
          return a.second < b.second;
        })->first;
    std::string listed;
    std::size_t n = 0;
    for (auto const& [in, out] : outputs) {
      if (out == common && outputs.size() > kListed) continue;
      if (++n > kListed) return;
      listed += fmt::format("{}{} -> {}", listed.empty() ? "" : ", ", in, out);
    }
    r.mapping = fmt::format("{} {}", r.field, listed);
    if (outputs.size() > kListed) r.mapping += fmt::format(", any other -> {}", common);
    if (width == 1 && counts.size() == 2) r.kind = FieldRule::Kind::flag;
  }

  void addressRule(FieldRule& r) const {
    Attempt const v4 = with(Value::text(std::string(kIpv4Probe)));
    Attempt const v6 = with(Value::text(std::string(kIpv6Probe)));
    if (v4.ok) addAll(r.targets, changes(baseEntry_, v4.entry));
    if (v6.ok) addAll(r.targets, changes(baseEntry_, v6.entry));
    if (!v4.ok && !v6.ok) {
      r.kind = FieldRule::Kind::fails;
      r.note = v4.cause;
      return;
    }
    if (r.targets.empty()) {
      r.kind = FieldRule::Kind::unused;
      return;
    }
    r.kind = FieldRule::Kind::derived;
    if (r.targets.size() != 1) return;
    auto const* a4 = v4.ok ? hwField(v4.entry, r.targets.front()) : nullptr;
    auto const* a6 = v6.ok ? hwField(v6.entry, r.targets.front()) : nullptr;
    if (a4 != nullptr && !a4->wide() && a4->value() == kIpv4Number) {
      r.kind = FieldRule::Kind::copy;
      r.note = "an IPv4 address";
    } else if (a6 != nullptr && a6->wide() && a6->words() == kIpv6Words) {
      r.kind = FieldRule::Kind::copy;
      r.note = "an IPv6 address";
    }
  }

  void macRule(FieldRule& r) const {
    Attempt const a = with(Value::text(std::string(kMacProbe)));
    if (!a.ok) {
      r.kind = FieldRule::Kind::fails;
      r.note = a.cause;
      return;
    }
    r.targets = changes(baseEntry_, a.entry);
    if (r.targets.empty()) {
      r.kind = FieldRule::Kind::unused;
      return;
    }
    r.kind = r.targets.size() == 1 && targetValue(a.entry, r.targets.front()) == kMacNumber
                 ? FieldRule::Kind::copy
                 : FieldRule::Kind::derived;
  }

  Explainer& explainer_;
  Session::Util const& util_;
  ZuriErrm::TableInfo const& table_;
  ZuriErrm::AnyLogEntry const& base_;
  ShadowView const& baseEntry_;
  FieldPath const& field_;
};

}  // namespace

ViewDescription describeView(Explainer& explainer, Session::Util const& util,
                             ZuriErrm::TableInfo const& table, std::optional<unsigned> view) {
  ViewDescription d;
  d.view = view;
  ZuriErrm::AnyLogEntry base = table.newEntry();
  FieldInfo const* const viewInfo = viewField(table);
  if (view) viewInfo->set(base, Value::number(*view));
  Attempt const empty = explainer.attempt(util, table, base, Asic::UnitId());
  if (!empty.ok) {
    d.failure = empty.cause;
    return d;
  }
  d.format = std::string(empty.entry.format);
  if (auto const* spec = chip26_a0::mdb::formatByName(empty.entry.format)) {
    d.sizeBits = spec->sizeBits;
  } else {
    for (auto const& f : empty.entry.fields) d.sizeBits += f.value.width();
  }
  for (FieldPath const& field : leafFields(table, base)) {
    if (field.info == viewInfo) {
      FieldRule r;
      r.field = field.path;
      r.kind = FieldRule::Kind::selectsView;
      d.rules.push_back(std::move(r));
      continue;
    }
    d.rules.push_back(FieldProbe(explainer, util, table, base, empty.entry, field).rule());
  }
  return d;
}

namespace {

// A value for the example of a field that a view uses: something other than 0 that the rules
// take; hardware keys one apart (utilities of one table share a hardware table) from a base of
// the table's own, so that the examples of all tables replay together without overwrites.
std::optional<Value> exampleValue(FieldInfo const& info, FieldRule const& rule, unsigned& counter,
                                  unsigned& keys, std::uint64_t keyBase) {
  switch (info.kind) {
    case FieldKind::address:
      return Value::text(std::string(rule.note == "an IPv6 address" ? kIpv6Probe : kIpv4Probe));
    case FieldKind::mac:
      return Value::text(std::string(kMacProbe));
    case FieldKind::object:
      return std::nullopt;
    default:
      break;
  }
  std::uint64_t limit = rule.max ? *rule.max : info.max();
  if (rule.lowBits != 0) limit = std::min(limit, chip26_a0::bits::lowMask(rule.lowBits));
  bool const key =
      std::find(rule.targets.begin(), rule.targets.end(), kKeyTarget) != rule.targets.end();
  std::uint64_t const wanted = key ? keyBase + keys++ : ++counter;
  return Value::number(std::min(wanted, limit));
}

// One input line per view (one for a table without views) that every table utility of the
// table translates: each field that some utility uses holds an example value.
std::vector<std::string> examples(Explainer& explainer, Session const& session,
                                  ZuriErrm::TableInfo const& table,
                                  std::vector<UtilDescription> const& utils) {
  std::vector<std::optional<unsigned>> views;
  for (auto const& u : utils) {
    for (auto const& v : u.views) {
      if (std::find(views.begin(), views.end(), v.view) == views.end()) views.push_back(v.view);
    }
  }
  std::sort(views.begin(), views.end());
  auto const& indices = session.utilsOf(table);
  // The first FAP of the first utility's mask: the example is then taken, not refused.
  std::uint8_t fap = 0;
  if (!indices.empty()) {
    auto const& mask = session.utils()[indices.front()].util->fapmask();
    while (fap < SchanAccel::FapId::kNull && !mask.test(SchanAccel::FapId(fap))) ++fap;
  }
  std::vector<std::string> lines;
  for (auto const& view : views) {
    ZuriErrm::AnyLogEntry entry = table.newEntry();
    if (view) viewField(table)->set(entry, Value::number(*view));
    auto const translates = [&](ZuriErrm::AnyLogEntry const& e) {
      return std::all_of(indices.begin(), indices.end(), [&](std::size_t i) {
        return explainer.attempt(session.utils()[i], table, e, Asic::UnitId::of(fap, 0)).ok;
      });
    };
    unsigned counter = 0;
    unsigned keys = 0;
    for (FieldPath const& field : leafFields(table, entry)) {
      FieldRule const* used = nullptr;
      for (auto const& u : utils) {
        for (auto const& v : u.views) {
          if (v.view != view) continue;
          for (auto const& r : v.rules) {
            if (r.field != field.path || r.kind == FieldRule::Kind::unused ||
                r.kind == FieldRule::Kind::selectsView || r.kind == FieldRule::Kind::fails) {
              continue;
            }
            // A field that is some utility's hardware key gets a key-like value.
            bool const key =
                std::find(r.targets.begin(), r.targets.end(), kKeyTarget) != r.targets.end();
            if (used == nullptr || key) used = &r;
          }
        }
      }
      if (used == nullptr) continue;
      auto const value = exampleValue(*field.info, *used, counter, keys, 4096 + 256 * table.index);
      if (!value) continue;
      ZuriErrm::AnyLogEntry tried = entry;
      field.info->set(tried, *value, field.path);
      if (translates(tried)) entry = std::move(tried);  // else the field keeps its 0
    }
    std::vector<Value::Member> members;
    table.visit(entry, [&](FieldInfo const& info, Value v) {
      members.push_back({std::string(info.name), std::move(v)});
    });
    fmt::memory_buffer line;
    line.append(std::string_view("{\"table\": "));
    appendJsonString(line, table.name);
    fmt::format_to(std::back_inserter(line),
                   ", \"unit\": {{\"fap\": {}, \"instance\": 0}}, "
                   "\"entry\": ",
                   fap);
    jsonValue(line, Value::object(std::move(members)));
    line.push_back('}');
    lines.emplace_back(line.data(), line.size());
  }
  return lines;
}

}  // namespace

std::string_view kindName(FieldRule::Kind kind) {
  switch (kind) {
    case FieldRule::Kind::selectsView:
      return "selectsView";
    case FieldRule::Kind::copy:
      return "copy";
    case FieldRule::Kind::cut:
      return "cut";
    case FieldRule::Kind::checked:
      return "checked";
    case FieldRule::Kind::bounded:
      return "bounded";
    case FieldRule::Kind::flag:
      return "flag";
    case FieldRule::Kind::derived:
      return "derived";
    case FieldRule::Kind::unused:
      return "unused";
    case FieldRule::Kind::fails:
      break;
  }
  return "fails";
}

std::string FieldRule::text() const {
  std::string targetList;
  for (auto const& t : targets) targetList += (targetList.empty() ? "" : ", ") + t;
  std::string text;
  switch (kind) {
    case Kind::selectsView:
      return "selects the view";
    case Kind::unused:
      return "not used by this view";
    case Kind::fails:
      return "fails: " + note;
    case Kind::copy:
      text = "copy to " + targetList;
      break;
    case Kind::cut:
      text = "cut to " + targetList;
      text += lowBits == 1 ? std::string(" (low bit)") : fmt::format(" (low {} bits)", lowBits);
      break;
    case Kind::checked:
    case Kind::bounded:
      text = fmt::format("{} to {} (max {})", kindName(kind), targetList, max.value_or(0));
      break;
    case Kind::flag:
      text = "flag to " + targetList;
      break;
    case Kind::derived:
      text = "derived: " + targetList;
      if (max) text += fmt::format(" (max {})", *max);
      break;
  }
  if (!mapping.empty()) text += fmt::format(" ({})", mapping);
  if (!note.empty()) text += fmt::format(" ({})", note);
  return text;
}

TableDescription describeTable(Session& session, ZuriErrm::TableInfo const& table) {
  TableDescription d;
  d.table = &table;
  Explainer& explainer = session.explainer();
  for (std::size_t index : session.utilsOf(table)) {
    Session::Util const& util = session.utils()[index];
    UtilDescription u;
    u.util = util.name;
    u.hwTable = util.util->hwTableType();
    if (viewField(table) != nullptr) {
      auto const& views = explainer.views(util, table);
      for (unsigned v = 0; v < Explainer::kMaxViews; ++v) {
        if (views.test(v)) u.views.push_back(describeView(explainer, util, table, v));
      }
    } else {
      u.views.push_back(describeView(explainer, util, table, std::nullopt));
    }
    d.utils.push_back(std::move(u));
  }
  d.examples = examples(explainer, session, table, d.utils);
  return d;
}

std::vector<TableListing> listTables(Session const& session) {
  std::vector<TableListing> listing;
  for (auto const& table : ZuriErrm::tables()) {
    TableListing& t = listing.emplace_back();
    t.table = &table;
    t.fields = leafFields(table, table.newEntry(), true).size();
    for (auto const& registration : session.registrations()) {
      if (registration.key.swTableId != table.swTableId) continue;
      std::string const name = registration.key.utilName;
      auto it = std::find_if(t.utils.begin(), t.utils.end(),
                             [&](auto const& u) { return u.first == name; });
      if (it == t.utils.end()) it = t.utils.insert(t.utils.end(), {name, {}});
      it->second.push_back(fmt::format("{}", registration.key.fapRevision));
    }
  }
  return listing;
}

ZuriErrm::TableInfo const* tableNamed(std::string_view name, std::string& message) {
  if (auto const* table = ZuriErrm::findTable(name)) return table;
  std::vector<std::string_view> known;
  for (auto const& table : ZuriErrm::tables()) known.push_back(table.name);
  message = fmt::format("unknown table '{}'", shownName(name));
  if (auto const near = ZuriErrm::didYouMean(name, known); !near.empty()) {
    message += near;
  } else {
    message += fmt::format(" (tables: {})", fmt::join(known, ", "));
  }
  return nullptr;
}

}  // namespace eedb::replay
