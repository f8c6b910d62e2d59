// The typed readers, one per leaf field of every log entry, made from the entries' field lists.

#include "FieldRead.h"

#include <concepts>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "replay_support/FieldCodec.h"

namespace eedb::replay {

namespace {

using ZuriErrm::AnyLogEntry;
using ZuriErrm::Codec;
using ZuriErrm::FieldKind;
using ZuriErrm::Fields;

// The number a field of type T stands for, as its codec encodes it for output.
template <class T>
bool numberOf(T const& x, std::uint64_t& out) noexcept {
  using C = Codec<T>;
  if constexpr (C::kind == FieldKind::address || C::kind == FieldKind::mac) {
    return false;
  } else if constexpr (C::kind == FieldKind::outlif) {
    if (!x.valid()) return false;
    out = x.value();
    return true;
  } else if constexpr (std::unsigned_integral<T>) {
    out = x;
    return true;
  } else if constexpr (std::is_enum_v<T>) {
    out = static_cast<std::uint8_t>(x);
    return true;
  } else {
    out = x.value();
    return true;
  }
}

template <class O>
inline constexpr std::size_t kCount = std::tuple_size_v<decltype(Fields<O>::list)>;

// Field I of `owner`, then the fields Rest of what it is (a compound key, a view).
template <class O, std::size_t I, std::size_t... Rest>
bool readAt(O const& owner, std::uint64_t& out) noexcept {
  constexpr auto const& d = std::get<I>(Fields<O>::list);
  using D = std::remove_cvref_t<decltype(d)>;
  if constexpr (sizeof...(Rest) == 0) {
    return numberOf(D::of(owner), out);
  } else {
    auto&& inner = D::of(owner);
    return readAt<std::remove_cvref_t<decltype(inner)>, Rest...>(inner, out);
  }
}

template <class E, std::size_t... Path>
bool readLeaf(AnyLogEntry const& entry, std::uint64_t& out) noexcept {
  return readAt<E, Path...>(*std::get_if<E>(&entry), out);
}

// The reader of the leaf at `path` among the fields of O (reached from entry E through Path).
template <class E, class O, std::size_t... Path>
NumberRead find(std::string_view path) noexcept {
  NumberRead found = nullptr;
  auto const one = [&]<std::size_t I>() {
    if (found != nullptr) return;
    constexpr auto const& d = std::get<I>(Fields<O>::list);
    using D = std::remove_cvref_t<decltype(d)>;
    if (!path.starts_with(d.name)) return;
    std::string_view const rest = path.substr(d.name.size());
    if constexpr (ZuriErrm::detail::kIsGroup<D>) {
      using Inner = std::remove_cvref_t<decltype(D::of(std::declval<O const&>()))>;
      if (rest.size() > 1 && rest.front() == '.')
        found = find<E, Inner, Path..., I>(rest.substr(1));
    } else {
      if (rest.empty()) found = &readLeaf<E, Path..., I>;
    }
  };
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    (one.template operator()<I>(), ...);
  }
  (std::make_index_sequence<kCount<O>>{});
  return found;
}

}  // namespace

NumberRead numberRead(ZuriErrm::TableInfo const& table, std::string_view path) noexcept {
  AnyLogEntry const entry = table.newEntry();
  return std::visit(
      [&](auto const& e) {
        using E = std::remove_cvref_t<decltype(e)>;
        return find<E, E>(path);
      },
      entry);
}

}  // namespace eedb::replay
