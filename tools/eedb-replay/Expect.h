// Expected results carried by a line of the stream (its "expect" member), read from the line,
// and the check of what the replay did with the line against them. A stream of lines with
// expectations is a regression test of its own: the replay reports every line whose result
// differs.
//
//   "expect": {"error": "Casting values"}      an offer raised, its message contains the text
//   "expect": {"applicable": false}            no offer was applicable (true: some offer was)
//   "expect": {"fields": {"fodo": 100}}        the shadow entry read back holds these values
//   "expect": {"present": false}               the shadow entry read back is absent (true: present)
//   "expect": {"rejected": "unknown field"}    the line is refused as input, the reason contains
//                                              the text (excludes the other members)
//   "expect": {"lossy": ["fodo"]}              a cut did not keep these input fields whole (and
//                                              with --strict, no other field)
//   "util": "EedbIpTunnelUtil"                 with any of them: only that table utility's offer
//
// Without "util" each expectation holds when some offer of the line meets it ("fields" and
// "present" look at the offers that were applicable). Every member given must hold, and an offer
// that raised where no "error" of its table utility was expected makes the line differ.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <simdjson.h>

namespace eedb::replay {

// Rejects an unknown or repeated member of the object `path` ("" for the line itself), naming it
// as `path.key`, else marks it given in `given` (one bit per name) and returns its index.
unsigned memberOf(std::span<std::string_view const> names, std::string_view key,
                  std::string_view path, unsigned& given);

struct OfferResult;

struct Expectation {
  struct Field {
    std::string name;
    std::array<std::uint32_t, 4> words{};  // word 0 holds bits 0 to 31
    std::string written;                   // as given, for reports
  };

  std::string written;  // the member as given (minified JSON), for reports
  std::string util;     // empty: every table utility of the line
  std::optional<std::string> error;
  std::optional<std::string> rejected;
  std::optional<bool> applicable;
  std::optional<bool> present;
  std::vector<Field> fields;
  std::vector<std::string> lossy;  // input fields

  void clear();
  // The line is expected to fail: rejected as input, or an offer raising.
  bool foreseesFailure() const noexcept { return error.has_value() || rejected.has_value(); }
  // The shadow entry must be read back to check it.
  bool needsShadow() const noexcept { return present.has_value() || !fields.empty(); }
};

// What the reader of a line knows of its JSON values: how one is shown in a message, and whether
// a text stands for a number beyond 64 bits (see LineParser).
struct LineJson {
  std::function<std::string(simdjson::dom::element const&)> text;
  std::function<bool(simdjson::dom::element const&)> isBig;
};
// Reads a line's "expect" member into `out`; raises ZuriErrm::InputError naming the member and
// its value.
void readExpectation(simdjson::dom::element const& e, LineJson const& json, Expectation& out);

// What differs from the expectation, or "" when it holds: for a line that was offered...
std::string differences(Expectation const& expect, std::span<OfferResult const> offers);
// ... and for a line that was refused as input for `reason`.
std::string differencesOfRejected(Expectation const& expect, std::string_view reason);
// The expectation says that the offer leaves `field` lossy.
bool foreseesLossy(Expectation const& expect, OfferResult const& offer, std::string_view field);

}  // namespace eedb::replay
