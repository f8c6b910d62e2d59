// Field lists of the software table types: each log entry, compound key and view declares its
// fields once, in storage order, as (name, getter, setter). The printed form of every such type
// and the replay catalogue are both derived from that one list.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

namespace ZuriErrm {

// Specialised per type: `list` (a tuple of field() and group() descriptors, storage order) and,
// for log entries, `table` (the table's short name, e.g. "EedbOutrif").
template <class T>
struct Fields;

template <class T>
concept HasFields = requires {
  Fields<T>::list;
};

template <class T>
concept IsLogEntry = HasFields<T> && requires {
  { Fields<T>::table } -> std::convertible_to<std::string_view>;
};

namespace detail {

// A field read by Get (a const member) and written by Set (a member taking the value).
template <auto Get, auto Set>
struct Leaf {
  static constexpr auto getter = Get;
  static constexpr auto setter = Set;
  template <class Owner>
  static decltype(auto) read(Owner const& owner) {
    return std::invoke(Get, owner);
  }
  std::string_view name;
};

// A field that is itself a small object with a field list: a compound key (Set stores a modified
// copy back) or a view over the entry's bytes (Set returns a writable view). `shown`, when set,
// says whether the group means anything for an entry (an SRv6 view that is not the entry's own):
// only while the owner's field `selector` holds `selectorValue`.
template <auto Get, auto Set, class Owner>
struct Group {
  static constexpr auto getter = Get;
  static constexpr auto setter = Set;
  static decltype(auto) read(Owner const& owner) { return std::invoke(Get, owner); }
  std::string_view name;
  bool (*shown)(Owner const&) = nullptr;
  std::string_view selector;
  unsigned selectorValue = 0;
};

}  // namespace detail

// The condition of a group that means something only for one value of a selector field of its
// owner (e.g. the view data of one view type).
template <class Owner>
struct Selected {
  bool (*holds)(Owner const&);
  std::string_view selector;
  unsigned value;
};

template <auto Get, auto Set>
constexpr detail::Leaf<Get, Set> field(std::string_view name) {
  return {name};
}

namespace detail {

template <class M>
struct OwnerOfGetter;
template <class R, class C>
struct OwnerOfGetter<R (C::*)() const> {
  using type = C;
};
template <class R, class C>
struct OwnerOfGetter<R (C::*)() const noexcept> {
  using type = C;
};
template <auto Get>
using OwnerOf = typename OwnerOfGetter<std::remove_cv_t<decltype(Get)>>::type;

}  // namespace detail

template <auto Get, auto Set>
constexpr detail::Group<Get, Set, detail::OwnerOf<Get>> group(
    std::string_view name, bool (*shown)(detail::OwnerOf<Get> const&) = nullptr) {
  return {name, shown, {}, 0};
}

template <auto Get, auto Set>
constexpr detail::Group<Get, Set, detail::OwnerOf<Get>> group(std::string_view name,
                                                              Selected<detail::OwnerOf<Get>> when) {
  return {name, when.holds, when.selector, when.value};
}

namespace detail {

template <class Owner, auto Get, auto Set>
bool groupShown(Group<Get, Set, Owner> const& g, Owner const& owner) {
  return g.shown == nullptr || g.shown(owner);
}
template <class Owner, auto Get, auto Set>
bool groupShown(Leaf<Get, Set> const&, Owner const&) {
  return true;
}

}  // namespace detail

}  // namespace ZuriErrm

// Log entries print as EedbOutrifLogEntry(key=4096, fodo=100, ...); keys and views as
// {outlif=1, dipOutlif=2}. Fields appear in storage order.
template <ZuriErrm::HasFields T>
struct fmt::formatter<T> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(T const& value, format_context& ctx) const {
    auto out = ctx.out();
    if constexpr (ZuriErrm::IsLogEntry<T>) {
      out = fmt::format_to(out, "{}LogEntry(", ZuriErrm::Fields<T>::table);
    } else {
      out = fmt::format_to(out, "{{");
    }
    bool first = true;
    auto one = [&](auto const& d) {
      if (!ZuriErrm::detail::groupShown(d, value)) return;
      out = fmt::format_to(out, "{}{}={}", first ? "" : ", ", d.name, d.read(value));
      first = false;
    };
    std::apply([&](auto const&... d) { (one(d), ...); }, ZuriErrm::Fields<T>::list);
    return fmt::format_to(out, "{}", ZuriErrm::IsLogEntry<T> ? ")" : "}");
  }
};
