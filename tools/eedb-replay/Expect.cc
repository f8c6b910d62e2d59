// What a line expects of its offers, checked against what they did.

#include "Expect.h"

#include <algorithm>

#include <fmt/format.h>

#include "Session.h"
#include "replay_support/Catalog.h"

namespace eedb::replay {

namespace {

using ZuriErrm::excerpt;

// "chip26_a0::ZuriErrmUtil::EedbOutrifUtil" -> "EedbOutrifUtil"
std::string_view shortUtilName(std::string_view name) {
  auto const colon = name.rfind("::");
  return colon == std::string_view::npos ? name : name.substr(colon + 2);
}

bool holdsFields(Expectation const& expect, ShadowView const& shadow, std::string& why) {
  for (auto const& want : expect.fields) {
    auto const field = std::find_if(shadow.fields.begin(), shadow.fields.end(),
                                    [&](ShadowField const& f) { return f.name == want.name; });
    if (field == shadow.fields.end()) {
      why = fmt::format("format {} has no field '{}'", shadow.format, excerpt(want.name));
      return false;
    }
    if (field->value.words() != want.words) {
      auto const& w = field->value.words();
      why = field->value.wide() ? fmt::format("field '{}' is 0x{:08x}{:08x}{:08x}{:08x}, not {}",
                                              want.name, w[3], w[2], w[1], w[0], want.written)
                                : fmt::format("field '{}' is {}, not {}", want.name,
                                              field->value.value(), want.written);
      return false;
    }
  }
  return true;
}

// "EedbOutrifUtil raised: MESSAGE...", with the input field that explains the failure when one
// does: the message is the table utility's own, the field says which input value to change.
std::string raisedText(OfferResult const& o) {
  std::string text = fmt::format("{} raised: {}", shortUtilName(o.util), excerpt(o.error->message));
  if (o.blame) {
    text +=
        fmt::format(" (field {} = {}", o.blame->field, excerpt(fmt::format("{}", o.blame->value)));
    if (o.blame->limit) text += fmt::format(", limit {}", *o.blame->limit);
    text += ')';
  }
  return text;
}

}  // namespace

void Expectation::clear() {
  written.clear();
  util.clear();
  error.reset();
  rejected.reset();
  applicable.reset();
  present.reset();
  fields.clear();
  lossy.clear();
}

namespace {

bool chosenBy(Expectation const& expect, OfferResult const& offer) {
  return expect.util.empty() || offer.util == expect.util ||
         shortUtilName(offer.util) == expect.util;
}

}  // namespace

bool foreseesLossy(Expectation const& expect, OfferResult const& offer, std::string_view field) {
  return chosenBy(expect, offer) &&
         std::find(expect.lossy.begin(), expect.lossy.end(), field) != expect.lossy.end();
}

std::string differences(Expectation const& expect, std::span<OfferResult const> offers) {
  if (expect.rejected) return "the line was read, not rejected";
  std::vector<OfferResult const*> chosen;
  for (auto const& offer : offers) {
    if (chosenBy(expect, offer)) chosen.push_back(&offer);
  }
  if (chosen.empty()) {
    std::string utils;
    for (auto const& offer : offers) {
      utils += fmt::format("{}{}", utils.empty() ? "" : ", ", shortUtilName(offer.util));
    }
    return fmt::format("no offer to table utility '{}' (the line's: {})", excerpt(expect.util),
                       utils);
  }
  auto const name = [](OfferResult const* o) { return shortUtilName(o->util); };
  // An exception that no expectation covers: of a table utility the expectation does not choose,
  // or with another message than the expected error.
  for (auto const& o : offers) {
    if (!o.error) continue;
    bool const covered = expect.error && chosenBy(expect, o) &&
                         o.error->message.find(*expect.error) != std::string::npos;
    if (!covered) return raisedText(o);
  }
  if (expect.error && std::none_of(chosen.begin(), chosen.end(),
                                   [](OfferResult const* o) { return o->error.has_value(); })) {
    return "no offer raised";
  }
  if (expect.applicable) {
    auto const taken = std::find_if(chosen.begin(), chosen.end(), [](OfferResult const* o) {
      return !o->error && o->applicable;
    });
    if (*expect.applicable && taken == chosen.end()) return "no offer was applicable";
    if (!*expect.applicable && taken != chosen.end()) {
      return fmt::format("{} was applicable", name(*taken));
    }
  }
  for (auto const& field : expect.lossy) {
    bool const lossy = std::any_of(chosen.begin(), chosen.end(), [&](OfferResult const* o) {
      return std::any_of(o->lossy.begin(), o->lossy.end(),
                         [&](LossyNote const& note) { return note.field == field; });
    });
    if (!lossy) return fmt::format("field '{}' was programmed as given", excerpt(field));
  }
  if (expect.needsShadow()) {
    std::string why = "no offer was applicable";
    for (auto const* o : chosen) {
      if (o->error || !o->applicable || !o->shadowRead) continue;
      if (expect.present && o->shadow.present != *expect.present) {
        why = fmt::format("the shadow entry of {} is {}", name(o),
                          o->shadow.present ? "present" : "absent");
        continue;
      }
      if (!expect.fields.empty() && !o->shadow.present) {
        why = fmt::format("the shadow entry of {} is absent", name(o));
        continue;
      }
      if (holdsFields(expect, o->shadow, why)) return {};
    }
    return why;
  }
  return {};
}

std::string differencesOfRejected(Expectation const& expect, std::string_view reason) {
  if (expect.rejected && reason.find(*expect.rejected) != std::string_view::npos) return {};
  return fmt::format("the line was rejected: {}", reason);
}

}  // namespace eedb::replay
