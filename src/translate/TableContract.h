// The contract between the translation frame and a table file, checked when the table class is
// complete (EEDB_TABLE_UTIL, frame/UtilPlugin.h). The frame calls exactly the rules a table's view
// map names (translate/ViewMap.h): a named rule that is misspelt, or not const, does not compile,
// and a rule the map does not name, which would never run, is refused here.
//
// An MDB table utility (one with Views):
//   - its view types are distinct;
//   - each view's format has the rules its view names, as const members of the table:
//     setTranslatorFields(Format&, LogEntry const&), doSetHwEntry(Asic::UnitId, LogEntry&,
//     Format&); and no rule its view does not name;
//   - static swKeyValue(LogEntry const&) exactly when the map names the key rule ownKey.
// A direct table utility (no Views): static fillEntry(Entry&, LogEntry const&), and no swKeyValue
// (its key is the log entry's key).
// No table utility has an `applicable` of its own: the view map is the table's condition.
#pragma once

#include <concepts>
#include <utility>

#include "asic/Types.h"
#include "translate/ViewMap.h"

namespace eedb::contract {

template <class Util, class Format>
concept HasTranslatorFields = requires(Util const& util, Format& hw,
                                       typename Util::LogEntry const& sw) {
  util.setTranslatorFields(hw, sw);
};

template <class Util, class Format>
concept HasHwEntryHook = requires(Util const& util, Asic::UnitId unit, typename Util::LogEntry& sw,
                                  Format& hw) {
  util.doSetHwEntry(unit, sw, hw);
};

// Reachable only on a table utility that is not const: the frame could not call it.
template <class Util, class Format>
concept HasNonConstTranslatorFields =
    !HasTranslatorFields<Util, Format> &&
    requires(Util & util, Format& hw, typename Util::LogEntry const& sw) {
  util.setTranslatorFields(hw, sw);
};

template <class Util, class Format>
concept HasNonConstHwEntryHook =
    !HasHwEntryHook<Util, Format> &&
    requires(Util & util, Asic::UnitId unit, typename Util::LogEntry& sw, Format& hw) {
  util.doSetHwEntry(unit, sw, hw);
};

template <class Util>
concept HasViews = requires {
  typename Util::Views;
};

template <class Util>
concept HasFillEntry = requires(typename Util::Entry& hw, typename Util::LogEntry const& sw) {
  Util::fillEntry(hw, sw);
};

template <class Util>
concept HasSwKeyValue = requires(typename Util::LogEntry const& sw) {
  Util::swKeyValue(sw);
};

template <class Util>
concept HasOwnApplicable = requires {
  &Util::applicable;
};

template <unsigned... kViewTypes>
consteval bool distinct() {
  constexpr unsigned types[] = {kViewTypes...};
  for (std::size_t i = 0; i < sizeof...(kViewTypes); ++i) {
    for (std::size_t j = i + 1; j < sizeof...(kViewTypes); ++j) {
      if (types[i] == types[j]) return false;
    }
  }
  return true;
}

template <class Util, class View>
consteval bool viewRulesHold() {
  using Format = typename View::FormatType;
  static_assert(!HasNonConstTranslatorFields<Util, Format>,
                "table contract: setTranslatorFields must be const, or the frame cannot call it");
  static_assert(!HasNonConstHwEntryHook<Util, Format>,
                "table contract: doSetHwEntry must be const, or the frame cannot call it");
  static_assert(!View::kSetsFields || HasTranslatorFields<Util, Format>,
                "table contract: a view names setTranslatorFields, and its format has none (a "
                "misspelt name reads as none)");
  static_assert(!View::kHasHook || HasHwEntryHook<Util, Format>,
                "table contract: a view names doSetHwEntry, and its format has none (a misspelt "
                "name reads as none)");
  static_assert(View::kSetsFields || !HasTranslatorFields<Util, Format>,
                "table contract: setTranslatorFields of a format whose view does not name it "
                "would never run");
  static_assert(View::kHasHook || !HasHwEntryHook<Util, Format>,
                "table contract: doSetHwEntry of a format whose view does not name it would "
                "never run");
  return true;
}

template <class Util, class Views>
struct ViewRules;
template <class Util, KeyRule kKey, class... Views>
struct ViewRules<Util, ViewMap<kKey, Views...>> {
  static_assert(distinct<Views::kViewType...>(),
                "table contract: a view type appears twice in Views");
  static_assert(kKey != KeyRule::ownKey || HasSwKeyValue<Util>,
                "table contract: the view map names the key rule ownKey, and the table has no "
                "static swKeyValue(LogEntry const&) (a misspelt name reads as none)");
  static_assert(kKey == KeyRule::ownKey || !HasSwKeyValue<Util>,
                "table contract: swKeyValue runs only under the key rule ownKey, which the view "
                "map does not name");
  static constexpr bool kHold = (viewRulesHold<Util, Views>() && ...);
};

template <class Util>
consteval bool holds() {
  static_assert(!HasOwnApplicable<Util>,
                "table contract: a table's condition is its view map; applicable would never run");
  if constexpr (HasViews<Util>) {
    return ViewRules<Util, typename Util::Views>::kHold;
  } else {
    static_assert(HasFillEntry<Util>,
                  "table contract: a direct table utility needs static fillEntry(Entry&, "
                  "LogEntry const&); an MDB one needs Views");
    static_assert(!HasSwKeyValue<Util>,
                  "table contract: a direct table's key is its log entry's key; swKeyValue would "
                  "never run");
    return true;
  }
}

}  // namespace eedb::contract

namespace eedb {

// True for a table utility that keeps the contract; a breach stops the build with its reason.
template <class Util>
inline constexpr bool kKeepsTableContract = contract::holds<Util>();

}  // namespace eedb
