// The contract between the translation frame and a table file, checked when the table class is
// complete (EEDB_TABLE_UTIL, frame/UtilPlugin.h). The frame finds a table's hooks by calling them
// on a const table utility, so without these checks a hook written without const, or under a
// misspelt name, would compile and never run.
//
// An MDB table utility (one with Views):
//   - its view types are distinct;
//   - every view's format has its rules: setTranslatorFields(Format&, LogEntry const&) const,
//     doSetHwEntry(Asic::UnitId, LogEntry&, Format&) const, or both;
//   - neither hook exists for a view's format without const.
// A direct table utility (no Views): static fillEntry(Entry&, LogEntry const&).
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

// Reachable only on a table utility that is not const: the frame would never call it.
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

template <class Util, unsigned kViewType, class Format>
consteval bool formatRulesHold() {
  static_assert(!HasNonConstTranslatorFields<Util, Format>,
                "table contract: setTranslatorFields must be const, or the frame never calls it");
  static_assert(!HasNonConstHwEntryHook<Util, Format>,
                "table contract: doSetHwEntry must be const, or the frame never calls it");
  static_assert(HasTranslatorFields<Util, Format> || HasHwEntryHook<Util, Format>,
                "table contract: a view's format has no rules (no setTranslatorFields or "
                "doSetHwEntry for it: a misspelt hook name reads as none)");
  return true;
}

template <class Util, class Views>
struct ViewRules;
template <class Util, unsigned... kViewTypes, class... Formats>
struct ViewRules<Util, ViewMap<View<kViewTypes, Formats>...>> {
  static_assert(distinct<kViewTypes...>(), "table contract: a view type appears twice in Views");
  static constexpr bool kHold = (formatRulesHold<Util, kViewTypes, Formats>() && ...);
};

template <class Util>
consteval bool holds() {
  if constexpr (HasViews<Util>) {
    return ViewRules<Util, typename Util::Views>::kHold;
  } else {
    static_assert(HasFillEntry<Util>,
                  "table contract: a direct table utility needs static fillEntry(Entry&, "
                  "LogEntry const&); an MDB one needs Views");
    return true;
  }
}

}  // namespace eedb::contract

namespace eedb {

// True for a table utility that keeps the contract; a breach stops the build with its reason.
template <class Util>
inline constexpr bool kKeepsTableContract = contract::holds<Util>();

}  // namespace eedb
