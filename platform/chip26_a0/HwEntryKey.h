// chip26_a0::HwEntryKey: the 32-bit hardware key of an entry (its index in the chip memory).
// The tag keeps the keys of different tables apart.
#pragma once

#include <compare>
#include <cstdint>

#include <fmt/format.h>

namespace chip26_a0 {

template <class Tag>
class HwEntryKey {
 public:
  constexpr HwEntryKey() noexcept = default;
  constexpr explicit HwEntryKey(std::uint32_t value) noexcept : value_(value) {}

  constexpr void valueIs(unsigned value) noexcept { value_ = value; }
  constexpr std::uint32_t value() const noexcept { return value_; }
  constexpr auto operator<=>(HwEntryKey const&) const noexcept = default;

 private:
  std::uint32_t value_ = 0;
};

}  // namespace chip26_a0

// Printed in hex: 0x1000.
template <class Tag>
struct fmt::formatter<chip26_a0::HwEntryKey<Tag>> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(chip26_a0::HwEntryKey<Tag> const& k, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "0x{:x}", k.value());
  }
};
