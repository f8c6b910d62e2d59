// The direct reader of a line's entry, made per table (and per compound key and SRv6 view) from
// its field list.
#include "EntryReader.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "replay_support/FieldCodec.h"
#include "replay_support/HexText.h"

namespace eedb::replay {

namespace dom = simdjson::dom;
using ZuriErrm::Codec;
using ZuriErrm::FieldKind;
using ZuriErrm::Fields;

bool unsignedIn(dom::element const& e, std::uint64_t max, std::uint64_t& n) noexcept {
  switch (e.type()) {
    case dom::element_type::UINT64:
      n = e.get_uint64().value_unsafe();
      return n <= max;
    case dom::element_type::INT64: {  // every integer that int64 holds, positive ones too
      std::int64_t const i = e.get_int64().value_unsafe();
      n = static_cast<std::uint64_t>(i);
      return i >= 0 && n <= max;
    }
    case dom::element_type::STRING: {
      bool hex = false;
      bool inRange = false;
      std::string_view const digits = ZuriErrm::hexDigitsOf(e.get_string().value_unsafe(), hex);
      return ZuriErrm::parseDigits(digits, hex ? 16 : 10, n, inRange) && inRange && n <= max;
    }
    default:
      return false;
  }
}

namespace {

// A leaf field of type T, as the catalogue decodes it (Catalog.cc, decode()).
template <class T>
bool leafIn(dom::element const& e, T& out) {
  using C = Codec<T>;
  if constexpr (ZuriErrm::IsText<T>) {
    if (e.type() != dom::element_type::STRING) return false;
    auto const parsed = C::parse(e.get_string().value_unsafe());
    if (!parsed) return false;
    out = *parsed;
    return true;
  } else {
    if constexpr (C::kind == FieldKind::outlif) {
      if (e.type() == dom::element_type::NULL_VALUE) {
        out = C::none();
        return true;
      }
    }
    std::uint64_t n = 0;
    if (!unsignedIn(e, ZuriErrm::maxOfBits(C::bits), n)) return false;
    out = C::of(n);
    return true;
  }
}

template <class O>
bool fieldsIn(dom::element const& e, O& owner);

template <class O>
inline constexpr std::size_t kCount = std::tuple_size_v<decltype(Fields<O>::list)>;

// Field I of owner O: a leaf written into its owner, or a group (a compound key, a view over
// the entry's bytes) read as an object of its own.
template <class O, std::size_t I>
bool oneIn(dom::element const& e, O& owner) {
  constexpr auto const& d = std::get<I>(Fields<O>::list);
  using D = std::remove_cvref_t<decltype(d)>;
  if constexpr (ZuriErrm::detail::kIsGroup<D>) {
    auto&& inner = D::of(owner);
    return fieldsIn(e, inner);
  } else {
    typename D::Type x{};
    if (!leafIn(e, x)) return false;
    D::write(owner, x);
    return true;
  }
}

template <class O>
inline constexpr auto kNames = []<std::size_t... I>(std::index_sequence<I...>) {
  return std::array<std::string_view, kCount<O>>{std::get<I>(Fields<O>::list).name...};
}
(std::make_index_sequence<kCount<O>>{});

template <class O>
inline constexpr auto kReaders = []<std::size_t... I>(std::index_sequence<I...>) {
  return std::array<bool (*)(dom::element const&, O&), kCount<O>>{&oneIn<O, I>...};
}
(std::make_index_sequence<kCount<O>>{});

// The view data given (bits of `given`): at most one view's, and that of the entry's own view.
template <class O, std::size_t... I>
bool viewsAgree(O const& owner, std::uint64_t given, std::index_sequence<I...>) {
  unsigned views = 0;
  bool shown = true;
  auto const one = [&]<std::size_t J>() {
    constexpr auto const& d = std::get<J>(Fields<O>::list);
    if constexpr (requires { d.selector; }) {
      if ((given & (std::uint64_t{1} << J)) != 0) {
        ++views;
        shown = shown && d.shown(owner);
      }
    }
  };
  (one.template operator()<I>(), ...);
  return views <= 1 && shown;
}

template <class O>
bool fieldsIn(dom::element const& e, O& owner) {
  static_assert(kCount<O> <= 64, "the fields given are kept in 64 bits");
  if (e.type() != dom::element_type::OBJECT) return false;
  std::uint64_t given = 0;
  std::size_t next = 0;  // writers tend to give the fields in storage order
  dom::object const members = e.get_object().value_unsafe();
  for (auto [key, value] : members) {
    std::size_t i = next;
    while (i < kCount<O> && kNames<O>[i] != key) ++i;
    if (i == kCount<O>) {
      i = 0;
      while (i < next && kNames<O>[i] != key) ++i;
      if (i == next) return false;
    }
    std::uint64_t const bit = std::uint64_t{1} << i;
    if ((given & bit) != 0) return false;
    given |= bit;
    next = i + 1;
    if (!kReaders<O>[i](value, owner)) return false;
  }
  return viewsAgree(owner, given, std::make_index_sequence<kCount<O>>{});
}

}  // namespace

bool readEntry(dom::element const& fields, ZuriErrm::AnyLogEntry& entry) {
  if (!std::visit([&](auto& e) { return fieldsIn(fields, e); }, entry)) return false;
  try {
    ZuriErrm::checkEntry(entry);
  } catch (ZuriErrm::InputError const&) {
    return false;
  }
  return true;
}

}  // namespace eedb::replay
