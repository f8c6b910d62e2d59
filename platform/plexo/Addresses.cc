// IP and MAC addresses: their text forms, written and read.
#include "plexo/Addresses.h"

#include <arpa/inet.h>

#include <algorithm>

namespace Plexo {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

std::optional<IpGenAddr> IpGenAddr::parse(std::string_view text) noexcept {
  // inet_pton stops at a NUL: text with one inside would parse as its prefix.
  if (text.size() > INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  char buf[INET6_ADDRSTRLEN + 1] = {};
  text.copy(buf, text.size());
  std::array<std::uint8_t, 16> octets{};
  if (inet_pton(AF_INET, buf, octets.data()) == 1) {
    return v4({octets[0], octets[1], octets[2], octets[3]});
  }
  if (inet_pton(AF_INET6, buf, octets.data()) == 1) return v6(octets);
  return std::nullopt;
}

std::optional<EthAddr> EthAddr::parse(std::string_view text) noexcept {
  // Exactly "hh:hh:hh:hh:hh:hh".
  if (text.size() != 17) return std::nullopt;
  std::array<std::uint8_t, 6> octets{};
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (unsigned i = 0; i < 6; ++i) {
    int const hi = hex(text[i * 3]);
    int const lo = hex(text[i * 3 + 1]);
    if (hi < 0 || lo < 0 || (i < 5 && text[i * 3 + 2] != ':')) return std::nullopt;
    octets[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return EthAddr(octets);
}

char* writeText(char* to, IpGenAddr const& a) noexcept {
  if (a.isV4()) {
    // Each octet in decimal, without leading zeros.
    auto const o = a.v4Addr();
    for (std::size_t i = 0; i < o.size(); ++i) {
      unsigned const octet = o[i];
      if (i != 0) *to++ = '.';
      if (octet >= 100) *to++ = static_cast<char>('0' + octet / 100);
      if (octet >= 10) *to++ = static_cast<char>('0' + octet / 10 % 10);
      *to++ = static_cast<char>('0' + octet % 10);
    }
    return to;
  }
  // The shortest form, as the C library writes it (RFC 5952): groups in lowercase hex without
  // leading zeros, "::" for the first longest run of two or more zero groups, and the last
  // 32 bits as a dotted quad where the first six groups are zero or the address is IPv4-mapped.
  // Written here because the C library prints each group through sprintf.
  auto const o = a.v6Addr();
  std::array<unsigned, 8> groups{};
  for (std::size_t i = 0; i < groups.size(); ++i)
    groups[i] = static_cast<unsigned>(o[2 * i] << 8 | o[2 * i + 1]);
  std::size_t zerosAt = 0, zeros = 0;  // the run that "::" stands for
  for (std::size_t i = 0; i < groups.size();) {
    std::size_t run = 0;
    while (i + run < groups.size() && groups[i + run] == 0) ++run;
    if (run > zeros) {
      zerosAt = i;
      zeros = run;
    }
    i += run + 1;
  }
  if (zeros < 2) zeros = 0;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    if (zeros != 0 && i >= zerosAt && i < zerosAt + zeros) {
      if (i == zerosAt) *to++ = ':';
      continue;
    }
    if (i != 0) *to++ = ':';
    if (i == 6 && zeros != 0 && zerosAt == 0 &&
        (zeros == 6 || (zeros == 5 && groups[5] == 0xffff))) {
      return writeText(to, IpGenAddr::v4({o[12], o[13], o[14], o[15]}));
    }
    unsigned const g = groups[i];
    int const digits = g >= 0x1000 ? 4 : g >= 0x100 ? 3 : g >= 0x10 ? 2 : 1;
    for (int d = digits; d-- > 0;) *to++ = kHexDigits[g >> (4 * d) & 0xf];
  }
  if (zeros != 0 && zerosAt + zeros == groups.size()) *to++ = ':';
  return to;
}

char* writeText(char* to, EthAddr const& a) noexcept {
  auto const& o = a.octets();
  for (std::size_t i = 0; i < o.size(); ++i) {
    if (i != 0) *to++ = ':';
    *to++ = kHexDigits[o[i] / 16];
    *to++ = kHexDigits[o[i] % 16];
  }
  return to;
}

}  // namespace Plexo

fmt::format_context::iterator fmt::formatter<Plexo::IpGenAddr>::format(Plexo::IpGenAddr const& a,
                                                                       format_context& ctx) const {
  char text[Plexo::kAddressTextMax];
  return std::copy(text, Plexo::writeText(text, a), ctx.out());
}

fmt::format_context::iterator fmt::formatter<Plexo::EthAddr>::format(Plexo::EthAddr const& a,
                                                                     format_context& ctx) const {
  char text[Plexo::kAddressTextMax];
  return std::copy(text, Plexo::writeText(text, a), ctx.out());
}
