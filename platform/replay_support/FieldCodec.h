// What each field type of the software tables takes from the replay's input and gives back to
// its output: its kind and storage width, the field made from a number (numbers, bounded values,
// keys, view selectors, out-LIFs) or from a text (addresses), and its value for output. The
// catalogue (Catalog.cc) and the tool's direct entry reader both decode through it, each with
// its own way of refusing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "replay_support/Catalog.h"

namespace ZuriErrm {

constexpr std::uint64_t maxOfBits(unsigned bits) noexcept {
  return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
}

template <class T>
struct Codec;

// A number held in unsigned storage of its own width.
template <std::unsigned_integral T>
struct Codec<T> {
  static constexpr FieldKind kind = FieldKind::number;
  static constexpr unsigned bits = 8 * sizeof(T);
  static T of(std::uint64_t n) noexcept { return static_cast<T>(n); }
  static Value encode(T x) { return Value::number(x); }
};

template <unsigned N>
struct Codec<Bounded<N>> {
  static constexpr FieldKind kind = FieldKind::bounded;
  static constexpr unsigned bits = N;
  static Bounded<N> of(std::uint64_t n) noexcept { return Bounded<N>(n); }
  static Value encode(Bounded<N> x) { return Value::number(x.value()); }
};

// Keys, view selectors and item numbers: an unsigned number underneath.
template <class T, class Raw>
struct WrappedCodec {
  static constexpr FieldKind kind = FieldKind::number;
  static constexpr unsigned bits = 8 * sizeof(Raw);
  static T of(std::uint64_t n) noexcept { return T{static_cast<Raw>(n)}; }
};

template <class Tag, class Raw>
struct Codec<detail::ScalarKey<Tag, Raw>> : WrappedCodec<detail::ScalarKey<Tag, Raw>, Raw> {
  static Value encode(detail::ScalarKey<Tag, Raw> k) { return Value::number(k.value()); }
};

template <>
struct Codec<EedbSrv6View> : WrappedCodec<EedbSrv6View, std::uint8_t> {
  static Value encode(EedbSrv6View x) { return Value::number(x.value()); }
};

template <>
struct Codec<Gen3EsemCmds::Item> : WrappedCodec<Gen3EsemCmds::Item, std::uint8_t> {
  static Value encode(Gen3EsemCmds::Item x) { return Value::number(static_cast<std::uint8_t>(x)); }
};

template <>
struct Codec<Hardware::Zuri::Outlif> {
  static constexpr FieldKind kind = FieldKind::outlif;
  static constexpr unsigned bits = 32;
  static Hardware::Zuri::Outlif of(std::uint64_t n) noexcept {
    return Hardware::Zuri::Outlif(static_cast<std::uint32_t>(n));
  }
  // What null stands for.
  static Hardware::Zuri::Outlif none() noexcept { return Hardware::Zuri::Outlif::invalid(); }
  static Value encode(Hardware::Zuri::Outlif o) {
    return o.valid() ? Value::number(o.value()) : Value();
  }
};

// Addresses come as text only; `notText` and `notParsed` say why one is refused.
template <>
struct Codec<Plexo::IpGenAddr> {
  static constexpr FieldKind kind = FieldKind::address;
  static constexpr unsigned bits = 128;
  static constexpr std::string_view notText = "is not an address text";
  static constexpr std::string_view notParsed = "is not an IPv4 or IPv6 address";
  static std::optional<Plexo::IpGenAddr> parse(std::string_view text) {
    return Plexo::IpGenAddr::parse(text);
  }
  static Value encode(Plexo::IpGenAddr const& a) { return Value::text(fmt::format("{}", a)); }
};

template <>
struct Codec<Plexo::EthAddr> {
  static constexpr FieldKind kind = FieldKind::mac;
  static constexpr unsigned bits = 48;
  static constexpr std::string_view notText = "is not a MAC address text";
  static constexpr std::string_view notParsed = "is not a MAC address (02:00:00:aa:bb:cc)";
  static std::optional<Plexo::EthAddr> parse(std::string_view text) {
    return Plexo::EthAddr::parse(text);
  }
  static Value encode(Plexo::EthAddr const& a) { return Value::text(fmt::format("{}", a)); }
};

template <class T>
concept IsText = Codec<T>::kind == FieldKind::address || Codec<T>::kind == FieldKind::mac;

}  // namespace ZuriErrm
