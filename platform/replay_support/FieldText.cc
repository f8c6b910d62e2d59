// Replay support: the text of a hardware entry field (an address, or a number).
#include "replay_support/FieldText.h"

#include <arpa/inet.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "chip26_a0/BitField.h"

namespace chip26_a0::layout {

namespace {

// The N octets of an address field, first octet most significant.
template <std::size_t N>
std::array<std::uint8_t, N> octetsOf(FieldValue const& value) {
  std::array<std::uint8_t, N> out{};
  for (unsigned i = 0; i < N; ++i) {
    out[i] = static_cast<std::uint8_t>(bits::read(value.words(), 8 * (unsigned{N} - 1 - i), 8));
  }
  return out;
}

}  // namespace

char* writeAddress(char* to, FieldKind kind, FieldValue const& value) {
  switch (kind) {
    case FieldKind::ipv4: {
      // "{}.{}.{}.{}": each octet in decimal, without leading zeros.
      auto const octets = octetsOf<4>(value);
      for (unsigned i = 0; i < octets.size(); ++i) {
        unsigned const o = octets[i];
        if (i != 0) *to++ = '.';
        if (o >= 100) *to++ = static_cast<char>('0' + o / 100);
        if (o >= 10) *to++ = static_cast<char>('0' + o / 10 % 10);
        *to++ = static_cast<char>('0' + o % 10);
      }
      return to;
    }
    case FieldKind::ipv6: {
      // The C library's shortest form, as Plexo::IpGenAddr prints it.
      auto const octets = octetsOf<16>(value);
      char text[INET6_ADDRSTRLEN] = {};
      ::inet_ntop(AF_INET6, octets.data(), text, sizeof text);
      std::size_t const n = std::strlen(text);
      std::memcpy(to, text, n);
      return to + n;
    }
    case FieldKind::mac: {
      // "{:02x}:{:02x}:...": six octets of two lower-case hex digits.
      static constexpr char kDigits[] = "0123456789abcdef";
      auto const octets = octetsOf<6>(value);
      for (unsigned i = 0; i < octets.size(); ++i) {
        if (i != 0) *to++ = ':';
        *to++ = kDigits[octets[i] / 16];
        *to++ = kDigits[octets[i] % 16];
      }
      return to;
    }
    case FieldKind::number:
      break;
  }
  return to;
}

bool appendAddress(fmt::memory_buffer& out, FieldKind kind, FieldValue const& value) {
  if (kind == FieldKind::number) return false;
  char text[kAddressTextMax];
  out.append(text, writeAddress(text, kind, value));
  return true;
}

std::string fieldText(FieldKind kind, FieldValue const& value) {
  fmt::memory_buffer out;
  if (!appendAddress(out, kind, value)) fmt::format_to(std::back_inserter(out), "{}", value);
  return fmt::to_string(out);
}

}  // namespace chip26_a0::layout
