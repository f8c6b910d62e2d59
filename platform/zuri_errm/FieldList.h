// Field lists of the software table types: each log entry, compound key and view declares its
// fields once, in storage order. A log entry or compound key declares them as one list of (type,
// name) from which its getters, setters, members and field list all come (EEDB_SW_RECORD below);
// the SRv6 views over an entry's bytes list (name, getter, setter). The printed form of every such
// type and the replay catalogue are both derived from that one list.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

namespace ZuriErrm {

// Specialised per type: `list` (a tuple of field() and group() descriptors, storage order) and, for
// log entries, `table` (the table's short name, e.g. "EedbOutrif").
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

// The condition of a group that means something only for one value of a selector field of its owner
// (e.g. the view data of one view type).
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

// ---- Records: a log entry or compound key declared as one list of fields ----

namespace detail {

// How a record hands out a field and takes it back: by value, or by reference to const for what is
// more than a number (the raw bytes of a view, and the addresses: see SwTableTypes.h).
template <class T>
struct ReadByReference : std::false_type {};
template <class T, std::size_t N>
struct ReadByReference<std::array<T, N>> : std::true_type {};
template <class T>
using Read = std::conditional_t<ReadByReference<T>::value, T const&, T>;

// A listed field: a group when its type has a field list of its own (a compound key), else a leaf.
template <auto Get, auto Set>
constexpr auto listed(std::string_view name) {
  using T = std::remove_cvref_t<std::invoke_result_t<decltype(Get), OwnerOf<Get> const&>>;
  if constexpr (HasFields<T>) {
    return group<Get, Set>(name);
  } else {
    return field<Get, Set>(name);
  }
}

}  // namespace detail

// The field list of a record (EEDB_SW_RECORD); a log entry's own specialisation adds its table
// name.
template <class T>
requires requires {
  T::fieldList();
}
struct Fields<T> {
  static constexpr auto list = T::fieldList();
};

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

// A record's fields come from one list macro per type, one line per field in storage order (type,
// name and, where it helps, a comment), each line ending in a backslash:
//
//   #define EEDB_OUTRIF_FIELDS(FIELD)
//     FIELD(EedbOutrifEntryKey, key)
//     FIELD(std::uint16_t, fodo) /* Low 15 bits used. */
//     ...
//   class EedbOutrifLogEntry {
//    public:
//     bool operator==(EedbOutrifLogEntry const&) const noexcept = default;
//     EEDB_SW_RECORD(EedbOutrifLogEntry, EEDB_OUTRIF_FIELDS)
//   };
//
// EEDB_SW_RECORD makes, per field, the getter fodo(), the setter fodoIs(v) and the member fodo_
// (value-initialised: 0, or the type's own default such as an out-LIF that is not valid), and the
// class's field list fieldList() (Fields<T>::list) with every field in that order. They are macros
// because C++ cannot declare a named member function or member from data; everything else about a
// field stays with the compiler (its type, and the field list checked as any other). The macro
// leaves the class in its private part.
#define EEDB_SW_ACCESSORS(Type, name)                                  \
  constexpr ::ZuriErrm::detail::Read<Type> name() const noexcept {     \
    return name##_;                                                    \
  }                                                                    \
  constexpr void name##Is(::ZuriErrm::detail::Read<Type> v) noexcept { \
    name##_ = v;                                                       \
  }
#define EEDB_SW_LISTED(Type, name) ::ZuriErrm::detail::listed<&Self::name, &Self::name##Is>(#name),
#define EEDB_SW_MEMBER(Type, name) Type name##_{};
#define EEDB_SW_RECORD(Class, LIST)            \
 public:                                       \
  LIST(EEDB_SW_ACCESSORS)                      \
  static constexpr auto fieldList() noexcept { \
    using Self = Class;                        \
    return std::tuple{LIST(EEDB_SW_LISTED)};   \
  }                                            \
                                               \
 private:                                      \
  LIST(EEDB_SW_MEMBER)

// Log entries print as EedbOutrifLogEntry(key=4096, fodo=100, ...); keys and views as {outlif=1,
// dipOutlif=2}. Fields appear in storage order.
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
