// Plexo::IpGenAddr (an IPv4 or IPv6 address) and Plexo::EthAddr (a MAC address).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include <fmt/format.h>

namespace Plexo {

class IpGenAddr {
 public:
  enum class Family : std::uint8_t { v4 = 4, v6 = 6 };

  // 0.0.0.0
  constexpr IpGenAddr() noexcept = default;
  static IpGenAddr v4(std::array<std::uint8_t, 4> const& octets) noexcept {
    IpGenAddr a;
    a.family_ = Family::v4;
    std::copy(octets.begin(), octets.end(), a.octets_.begin());
    return a;
  }
  static IpGenAddr v6(std::array<std::uint8_t, 16> const& octets) noexcept {
    IpGenAddr a;
    a.family_ = Family::v6;
    a.octets_ = octets;
    return a;
  }
  // Parses dotted IPv4 or RFC 4291 IPv6 text; nullopt for anything else.
  static std::optional<IpGenAddr> parse(std::string_view text) noexcept;

  Family family() const noexcept { return family_; }
  bool isV4() const noexcept { return family_ == Family::v4; }
  bool isV6() const noexcept { return family_ == Family::v6; }

  // The four octets of an IPv4 address in network order. An IPv6 address has no IPv4 form:
  // it yields 0.0.0.0, never bytes of the IPv6 address.
  std::array<std::uint8_t, 4> v4Addr() const noexcept {
    if (!isV4()) return {};
    return {octets_[0], octets_[1], octets_[2], octets_[3]};
  }
  // The sixteen octets of an IPv6 address in network order. An IPv4 address yields its
  // IPv4-mapped form ::ffff:a.b.c.d.
  std::array<std::uint8_t, 16> v6Addr() const noexcept {
    if (isV6()) return octets_;
    return {0, 0, 0,    0,    0,          0,          0,          0,
            0, 0, 0xff, 0xff, octets_[0], octets_[1], octets_[2], octets_[3]};
  }

  bool operator==(IpGenAddr const&) const noexcept = default;

 private:
  Family family_ = Family::v4;
  std::array<std::uint8_t, 16> octets_{};  // IPv4 uses the first four
};

class EthAddr {
 public:
  constexpr EthAddr() noexcept = default;
  constexpr explicit EthAddr(std::array<std::uint8_t, 6> const& octets) noexcept
      : octets_(octets) {}
  // Parses "02:00:00:aa:bb:cc" (six two-digit hex groups); nullopt for anything else.
  static std::optional<EthAddr> parse(std::string_view text) noexcept;

  // Octets in transmission order.
  constexpr std::array<std::uint8_t, 6> const& octets() const noexcept { return octets_; }
  constexpr bool operator==(EthAddr const&) const noexcept = default;

 private:
  std::array<std::uint8_t, 6> octets_{};
};

// The longest address text: an IPv6 address ending in a dotted quad.
inline constexpr std::size_t kAddressTextMax = 45;

// Writes the address's text at `to` (room for kAddressTextMax bytes) and returns its end: IPv4
// dotted, IPv6 in the shortest form (RFC 5952, the C library's), MAC as six two-digit lower-case
// hex groups. The formatters below write the same; these take no format string, for outputs that
// write an address on every line.
char* writeText(char* to, IpGenAddr const& a) noexcept;
char* writeText(char* to, EthAddr const& a) noexcept;

}  // namespace Plexo

template <>
struct fmt::formatter<Plexo::IpGenAddr> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  format_context::iterator format(Plexo::IpGenAddr const& a, format_context& ctx) const;
};

template <>
struct fmt::formatter<Plexo::EthAddr> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  format_context::iterator format(Plexo::EthAddr const& a, format_context& ctx) const;
};
