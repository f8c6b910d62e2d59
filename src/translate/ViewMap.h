// A table's view map, its contract with the translation frame written where the compiler reads
// it: how its software key becomes the hardware key, and for each software view type the
// hardware entry format it selects and the rules of that format the table file defines. A view
// type outside the map selects no format (the key-only entry).
#pragma once

#include <type_traits>
#include <utility>

namespace eedb {

// How a table's software key becomes its hardware key.
enum class KeyRule {
  logKey,   // the log entry's key, under the key guard
  ownKey,   // the table's static swKeyValue(LogEntry const&), under the key guard
  hookKey,  // the low 20 bits of the log entry's key, without the guard (nothing can fail)
};
inline constexpr KeyRule logKey = KeyRule::logKey;
inline constexpr KeyRule ownKey = KeyRule::ownKey;
inline constexpr KeyRule hookKey = KeyRule::hookKey;

// The rules a view's format takes from the table file, run in this order: the translator's own
// fields, setTranslatorFields(Format&, LogEntry const&) const, then the per-format hook under its
// own guard, doSetHwEntry(Asic::UnitId, LogEntry&, Format&) const.
enum class FormatRules { fields = 1, hook = 2, fieldsAndHook = 3 };
inline constexpr FormatRules fields = FormatRules::fields;
inline constexpr FormatRules hook = FormatRules::hook;
inline constexpr FormatRules fieldsAndHook = FormatRules::fieldsAndHook;

template <unsigned ViewType, class Format, FormatRules kRules>
struct View {
  static constexpr unsigned kViewType = ViewType;
  using FormatType = Format;
  static constexpr bool kSetsFields = kRules != FormatRules::hook;
  static constexpr bool kHasHook = kRules != FormatRules::fields;
};

template <KeyRule kKey, class... Views>
struct ViewMap {
  static constexpr KeyRule kKeyRule = kKey;
  // Some view runs a per-format hook.
  static constexpr bool kAnyHook = (Views::kHasHook || ...);

  static constexpr bool contains(unsigned viewType) noexcept {
    return ((viewType == Views::kViewType) || ...);
  }

  // Calls onView(std::type_identity<View>{}) for the view of the type, or onNone() when the view
  // type is not in the map. Both must return the same type.
  // The result is returned straight from the call that makes it.
  template <class OnView, class OnNone>
  static auto dispatch(unsigned viewType, OnView&& onView, OnNone&& onNone) {
    return dispatchFrom<Views...>(viewType, onView, onNone);
  }

 private:
  template <class First, class... Rest, class OnView, class OnNone>
  static auto dispatchFrom(unsigned viewType, OnView& onView, OnNone& onNone)
      -> decltype(onNone()) {
    if (viewType == First::kViewType) {
      return onView(std::type_identity<First>{});
    }
    if constexpr (sizeof...(Rest) == 0) {
      return onNone();
    } else {
      return dispatchFrom<Rest...>(viewType, onView, onNone);
    }
  }
};

}  // namespace eedb
