// A table's view map: which hardware entry format each software view type selects. A view
// type outside the map selects no format (the key-only entry).
#pragma once

#include <type_traits>
#include <utility>

namespace eedb {

template <unsigned ViewType, class Format>
struct View {
  static constexpr unsigned kViewType = ViewType;
  using FormatType = Format;
};

template <class... Views>
struct ViewMap {
  static constexpr bool contains(unsigned viewType) noexcept {
    return ((viewType == Views::kViewType) || ...);
  }

  // Calls onFormat(std::type_identity<Format>{}) for the view's format, or onNone() when the
  // view type is not in the map. Both must return the same type.
  // The result is returned straight from the call that makes it.
  template <class OnFormat, class OnNone>
  static auto dispatch(unsigned viewType, OnFormat&& onFormat, OnNone&& onNone) {
    return dispatchFrom<Views...>(viewType, onFormat, onNone);
  }

 private:
  template <class First, class... Rest, class OnFormat, class OnNone>
  static auto dispatchFrom(unsigned viewType, OnFormat& onFormat, OnNone& onNone)
      -> decltype(onNone()) {
    if (viewType == First::kViewType) {
      return onFormat(std::type_identity<typename First::FormatType>{});
    }
    if constexpr (sizeof...(Rest) == 0) {
      return onNone();
    } else {
      return dispatchFrom<Rest...>(viewType, onFormat, onNone);
    }
  }
};

}  // namespace eedb
