// Numbers and addresses written without a format string (Digits.h, writeAddress) hold to the
// text that format strings and the C library write: at every change of the digit count, at the
// extremes, and for addresses at the octet values where the digits change and the zero runs that
// IPv6 folds.

#include <arpa/inet.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "Digits.h"
#include "chip26_a0/BitField.h"
#include "plexo/Addresses.h"
#include "replay_support/FieldText.h"

namespace {

using namespace eedb::replay;
using chip26_a0::layout::FieldKind;
using chip26_a0::layout::FieldValue;

std::string decimal(std::uint64_t n) {
  char text[digits::kMaxDecimal];
  return {text, digits::writeDecimal(text, n)};
}

TEST(NumberText, DecimalAtEveryChangeOfTheDigitCount) {
  std::vector<std::uint64_t> values{0,
                                    1,
                                    9,
                                    std::numeric_limits<std::uint64_t>::max(),
                                    std::numeric_limits<std::uint32_t>::max(),
                                    std::uint64_t{1} << 32};
  for (std::uint64_t p = 10; p <= 10'000'000'000'000'000'000u; p *= 10) {
    values.insert(values.end(), {p - 1, p, p + 1});
    if (p > std::numeric_limits<std::uint64_t>::max() / 10) break;
  }
  for (unsigned bit = 0; bit < 64; ++bit) {
    std::uint64_t const power = std::uint64_t{1} << bit;
    values.insert(values.end(), {power - 1, power});
  }
  for (std::uint64_t const n : values) {
    EXPECT_EQ(decimal(n), fmt::format("{}", n));
    EXPECT_EQ(digits::decimalCount(n), fmt::format("{}", n).size()) << n;
  }
}

TEST(NumberText, HexWordsKeepTheirLeadingZeros) {
  for (std::uint32_t const word : {0u, 1u, 0xfu, 0x10u, 0xabcdefu, 0x0a0b0c0du, 0xffffffffu}) {
    char text[8];
    digits::writeHexWord(text, word);
    EXPECT_EQ(std::string(text, 8), fmt::format("{:08x}", word));
  }
}

std::string address(FieldKind kind, FieldValue const& value) {
  char text[Plexo::kAddressTextMax];
  return {text, chip26_a0::layout::writeAddress(text, kind, value)};
}

// The field's words for its octets, first octet most significant.
template <std::size_t N>
FieldValue fieldOf(std::array<std::uint8_t, N> const& octets) {
  FieldValue::Words words{};
  for (std::size_t i = 0; i < N; ++i) {
    chip26_a0::bits::deposit(words, static_cast<unsigned>(8 * (N - 1 - i)), 8,
                             std::array<std::uint32_t, 1>{octets[i]});
  }
  return FieldValue(8 * N, words);
}

std::string ipv6Text(std::array<std::uint8_t, 16> const& octets) {
  char text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, octets.data(), text, sizeof text);
  return text;
}

// Every pattern of zero groups (each run of zeros a candidate for "::", ties and the IPv4 forms
// included), with groups of one to four digits: the text the C library writes.
TEST(NumberText, Ipv6AsTheCLibraryWritesItForEveryPatternOfZeroGroups) {
  std::mt19937 random(5952);
  for (unsigned zeroGroups = 0; zeroGroups < 256; ++zeroGroups) {
    for (unsigned round = 0; round < 8; ++round) {
      std::array<std::uint8_t, 16> v6{};
      for (unsigned g = 0; g < 8; ++g) {
        if (zeroGroups >> g & 1) continue;
        static constexpr std::uint16_t kGroups[] = {1, 0xa, 0xab, 0xabc, 0xffff, 0x100, 0x1000};
        std::uint16_t value = round < std::size(kGroups)
                                  ? kGroups[(round + g) % std::size(kGroups)]
                                  : static_cast<std::uint16_t>(random() % 0xffff + 1);
        if (g == 5 && round == 7) value = 0xffff;  // mapped IPv4 where the zeros allow it
        v6[2 * g] = static_cast<std::uint8_t>(value >> 8);
        v6[2 * g + 1] = static_cast<std::uint8_t>(value);
      }
      std::string const text = address(FieldKind::ipv6, fieldOf(v6));
      EXPECT_EQ(text, ipv6Text(v6)) << "zero groups " << zeroGroups << ", round " << round;
      EXPECT_LE(text.size(), Plexo::kAddressTextMax);
    }
  }
}

TEST(NumberText, Ipv4AndMacAddressesAsTheFormatStringsWriteThem) {
  std::mt19937 random(26);
  auto const octet = [&] {
    static constexpr std::uint8_t kEdges[] = {0, 1, 9, 10, 99, 100, 255};
    return random() % 2 == 0 ? kEdges[random() % std::size(kEdges)]
                             : static_cast<std::uint8_t>(random());
  };
  for (int round = 0; round < 500; ++round) {
    std::array<std::uint8_t, 4> v4{};
    for (auto& o : v4) o = octet();
    EXPECT_EQ(address(FieldKind::ipv4, fieldOf(v4)),
              fmt::format("{}.{}.{}.{}", v4[0], v4[1], v4[2], v4[3]));
    std::array<std::uint8_t, 6> mac{};
    for (auto& o : mac) o = octet();
    EXPECT_EQ(address(FieldKind::mac, fieldOf(mac)),
              fmt::format("{:02x}:{:02x}:{:02x}:{:02x}:{:02x}:{:02x}", mac[0], mac[1], mac[2],
                          mac[3], mac[4], mac[5]));
  }
  // The longest IPv6 text without a dotted quad; a number field has no address text.
  std::array<std::uint8_t, 16> const longest{0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44,
                                             0x55, 0x55, 0x66, 0x66, 0x77, 0x77, 0x88, 0x88};
  EXPECT_EQ(address(FieldKind::ipv6, fieldOf(longest)), "1111:2222:3333:4444:5555:6666:7777:8888");
  EXPECT_EQ(address(FieldKind::number, fieldOf(longest)), "");
}

}  // namespace
