// What a line expects of its offers, read from its JSON and checked against what they did.

#include "Expect.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <unordered_set>

#include <fmt/format.h>

#include "Session.h"
#include "replay_support/Catalog.h"
#include "replay_support/DidYouMean.h"
#include "replay_support/HexText.h"

namespace eedb::replay {

unsigned memberOf(std::span<std::string_view const> names, std::string_view key,
                  std::string_view path, unsigned& given) {
  using ZuriErrm::InputError;
  auto const i = static_cast<unsigned>(std::find(names.begin(), names.end(), key) - names.begin());
  if (i < names.size() && (given & (1u << i)) == 0) {
    given |= 1u << i;
    return i;
  }
  std::string const prefix = path.empty() ? std::string() : fmt::format("{}.", path);
  if (i < names.size()) throw InputError(fmt::format("duplicate member '{}{}'", prefix, key));
  throw InputError(fmt::format("unknown member '{}{}'{}", prefix, ZuriErrm::excerpt(key),
                               ZuriErrm::didYouMean(key, names, std::identity{}, prefix)));
}

namespace {

using ZuriErrm::excerpt;
using ZuriErrm::InputError;
namespace dom = simdjson::dom;

constexpr std::string_view kMembers[] = {"util",       "error",  "rejected", "present",
                                         "applicable", "fields", "lossy"};
enum Member : unsigned { kUtil, kError, kRejected, kPresent, kApplicable, kFields, kLossy };

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

void readExpectation(dom::element const& e, LineJson const& json, Expectation& out) {
  auto const& text = json.text;
  auto const& isBig = json.isBig;
  if (e.type() != dom::element_type::OBJECT) {
    throw InputError(fmt::format("member 'expect': {} is not an object", text(e)));
  }
  out.clear();
  unsigned given = 0;
  auto const textOf = [&](dom::element const& v, std::string_view name) {
    if (v.type() != dom::element_type::STRING || isBig(v)) {
      throw InputError(fmt::format("member 'expect.{}': {} is not a text", name, text(v)));
    }
    return std::string(v.get_string().value_unsafe());
  };
  auto const flag = [&](dom::element const& v, std::string_view name) {
    if (v.type() != dom::element_type::BOOL) {
      throw InputError(fmt::format("member 'expect.{}': {} is not true or false", name, text(v)));
    }
    return v.get_bool().value_unsafe();
  };
  dom::object const members = e.get_object().value_unsafe();
  for (auto [key, value] : members) {
    switch (memberOf(kMembers, key, "expect", given)) {
      case kUtil:
        out.util = textOf(value, key);
        break;
      case kError:
        out.error = textOf(value, key);
        break;
      case kRejected:
        out.rejected = textOf(value, key);
        break;
      case kPresent:
        out.present = flag(value, key);
        break;
      case kApplicable:
        out.applicable = flag(value, key);
        break;
      case kLossy: {
        if (value.type() != dom::element_type::ARRAY) {
          throw InputError(
              fmt::format("member 'expect.lossy': {} is not a list of field names", text(value)));
        }
        dom::array const names = value.get_array().value_unsafe();
        for (dom::element name : names) {
          out.lossy.push_back(textOf(name, "lossy"));
        }
        break;
      }
      default:
        if (value.type() != dom::element_type::OBJECT) {
          throw InputError(fmt::format("member 'expect.fields': {} is not an object", text(value)));
        }
        dom::object const fieldValues = value.get_object().value_unsafe();
        // A duplicate is looked for among the names given before: by a scan of the few a line
        // usually gives, in a set (of names in the parsed line) when there are many, so that a
        // line of many names stays linear.
        bool const many = fieldValues.size() > 16;
        std::unordered_set<std::string_view> seen;
        if (many) seen.reserve(fieldValues.size());
        for (auto [key, v] : fieldValues) {
          std::string_view const name = key;  // a lambda cannot capture a structured binding
          bool const duplicate =
              many ? !seen.insert(name).second
                   : std::any_of(out.fields.begin(), out.fields.end(),
                                 [&](Expectation::Field const& f) { return f.name == name; });
          if (duplicate) {
            throw InputError(fmt::format("duplicate member 'expect.fields.{}'", excerpt(name)));
          }
          Expectation::Field field{std::string(name), {}, text(v)};
          bool ok = false;
          if (v.type() == dom::element_type::UINT64 ||
              (v.type() == dom::element_type::INT64 && v.get_int64().value_unsafe() >= 0)) {
            std::uint64_t const n = v.get_uint64().value_unsafe();
            field.words = {static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n >> 32), 0,
                           0};
            ok = true;
          } else if (v.type() == dom::element_type::STRING && !isBig(v)) {
            bool hex = false;
            std::string_view const digits =
                ZuriErrm::hexDigitsOf(v.get_string().value_unsafe(), hex);
            if (hex && !digits.empty() && digits.size() <= 32) {
              // Up to 128 bits: the low 16 digits, then the rest.
              std::size_t const split = digits.size() > 16 ? digits.size() - 16 : 0;
              std::uint64_t low = 0;
              std::uint64_t high = 0;
              bool inRange = true;
              ok =
                  ZuriErrm::parseDigits(digits.substr(split), 16, low, inRange) &&
                  (split == 0 || ZuriErrm::parseDigits(digits.substr(0, split), 16, high, inRange));
              field.words = {static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(low >> 32),
                             static_cast<std::uint32_t>(high),
                             static_cast<std::uint32_t>(high >> 32)};
            }
          }
          if (!ok) {
            throw InputError(fmt::format(
                "member 'expect.fields.{}': {} is not a field value (a number, or \"0x...\" "
                "for up to 128 bits)",
                excerpt(name), field.written));
          }
          out.fields.push_back(std::move(field));
        }
    }
  }
  if (out.rejected && given != (1u << kRejected)) {
    throw InputError("member 'expect.rejected' excludes the other expectations");
  }
  out.written = simdjson::to_string(e);
}

}  // namespace eedb::replay
