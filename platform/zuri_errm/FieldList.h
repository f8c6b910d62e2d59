// Field lists of the software table types: each log entry, compound key and view declares its
// fields once, in storage order. A log entry or compound key declares them as one list of (type,
// name) from which its getters, setters, members and field list all come (EEDB_SW_RECORD below);
// its field list points at the members, so that whoever walks it reads and writes a field as a
// plain member. The SRv6 views over an entry's bytes list (type, name, byte offset). The printed
// form of every such type and the replay catalogue are both derived from these lists.
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

// Specialised per type: `list` (a tuple of the descriptors below, storage order) and, for log
// entries, `table` (the table's short name, e.g. "EedbOutrif").
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

template <class M>
struct MemberType;
template <class C, class T>
struct MemberType<T C::*> {
  using type = T;
};

// A field that its owner stores: M points to the member; of(owner) is the field, const when the
// owner is. A member whose type has a field list of its own (a compound key) is a group of fields.
template <auto M>
struct Member {
  using Type = typename MemberType<decltype(M)>::type;
  std::string_view name;
  template <class Owner>
  static constexpr auto& of(Owner& owner) noexcept {
    return owner.*M;
  }
  template <class Owner, class T>
  static constexpr void write(Owner& owner, T const& value) noexcept {
    owner.*M = value;
  }
};

// A group of fields that is a view over the owner's bytes (member Bytes): of(owner) makes the
// view, V<false> that reads them from a const owner, else V<true> that writes through them. It
// means something for an entry only while the owner's field `selector` (member Selector) holds
// `selectorValue`.
template <template <bool> class V, auto Bytes, auto Selector>
struct View {
  std::string_view name;
  std::string_view selector;
  unsigned selectorValue;
  template <class Owner>
  static constexpr auto of(Owner& owner) noexcept {
    return V<!std::is_const_v<Owner>>(owner.*Bytes);
  }
  template <class Owner>
  bool shown(Owner const& owner) const noexcept {
    auto const& selected = owner.*Selector;
    if constexpr (requires { selected.value(); }) {
      return selected.value() == selectorValue;
    } else {
      return selected == selectorValue;
    }
  }
};

// Whether a descriptor is a group of fields (a compound key or a view), and whether a group means
// something for its owner's entry.
template <class D>
struct GroupOf : std::false_type {};
template <auto M>
struct GroupOf<Member<M>> : std::bool_constant<HasFields<typename Member<M>::Type>> {};
template <template <bool> class V, auto Bytes, auto Selector>
struct GroupOf<View<V, Bytes, Selector>> : std::true_type {};
template <class D>
inline constexpr bool kIsGroup = GroupOf<std::remove_cvref_t<D>>::value;

template <class D, class Owner>
bool shown(D const& d, Owner const& owner) {
  if constexpr (requires { d.shown(owner); }) {
    return d.shown(owner);
  } else {
    return true;
  }
}

// How a record hands out a field and takes it back: by value, or by reference to const for what is
// more than a number (the raw bytes of a view, and the addresses: see SwTableTypes.h).
template <class T>
struct ReadByReference : std::false_type {};
template <class T, std::size_t N>
struct ReadByReference<std::array<T, N>> : std::true_type {};
template <class T>
using Read = std::conditional_t<ReadByReference<T>::value, T const&, T>;

}  // namespace detail

// The field list of a record (EEDB_SW_RECORD) or a view (EEDB_SRV6_VIEW); a log entry's own
// specialisation adds its table name.
template <class T>
requires requires {
  T::fieldList();
}
struct Fields<T> {
  static constexpr auto list = T::fieldList();
};

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
// class's field list fieldList() (Fields<T>::list): every field in that order, as a pointer to its
// member (detail::Member; the list may point at private members). They are macros
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
#define EEDB_SW_LISTED(Type, name) ::ZuriErrm::detail::Member<&Self::name##_>{#name},
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
      if (!ZuriErrm::detail::shown(d, value)) return;
      out = fmt::format_to(out, "{}{}={}", first ? "" : ", ", d.name, d.of(value));
      first = false;
    };
    std::apply([&](auto const&... d) { (one(d), ...); }, ZuriErrm::Fields<T>::list);
    return fmt::format_to(out, "{}", ZuriErrm::IsLogEntry<T> ? ")" : "}");
  }
};
