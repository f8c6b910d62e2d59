// Replay support: the text of a hardware entry field (an address, or a number).
#include "replay_support/FieldText.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "chip26_a0/BitField.h"
#include "plexo/Addresses.h"

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
    case FieldKind::ipv4:
      return Plexo::writeText(to, Plexo::IpGenAddr::v4(octetsOf<4>(value)));
    case FieldKind::ipv6:
      return Plexo::writeText(to, Plexo::IpGenAddr::v6(octetsOf<16>(value)));
    case FieldKind::mac:
      return Plexo::writeText(to, Plexo::EthAddr(octetsOf<6>(value)));
    case FieldKind::number:
      break;
  }
  return to;
}

bool appendAddress(fmt::memory_buffer& out, FieldKind kind, FieldValue const& value) {
  if (kind == FieldKind::number) return false;
  char text[Plexo::kAddressTextMax];
  out.append(text, writeAddress(text, kind, value));
  return true;
}

std::string fieldText(FieldKind kind, FieldValue const& value) {
  fmt::memory_buffer out;
  if (!appendAddress(out, kind, value)) fmt::format_to(std::back_inserter(out), "{}", value);
  return fmt::to_string(out);
}

}  // namespace chip26_a0::layout
