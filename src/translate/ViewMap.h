// A table's view map: which hardware entry format each software view type selects. A view
// type outside the map selects no format (the key-only entry).
#pragma once

#include <optional>
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
  template <class OnFormat, class OnNone>
  static auto dispatch(unsigned viewType, OnFormat&& onFormat, OnNone&& onNone) {
    using Result = decltype(onNone());
    std::optional<Result> result;
    static_cast<void>(
        ((viewType == Views::kViewType &&
          (result.emplace(onFormat(std::type_identity<typename Views::FormatType>{})), true)) ||
         ...));
    if (!result) return onNone();
    return *std::move(result);
  }
};

}  // namespace eedb
