// Hardware::ChipType and Hardware::Zuri::FapRevision: which chip and revision a FAP is.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

#include <fmt/format.h>

namespace Hardware {

enum class ChipType : std::uint8_t {};

namespace Zuri {

// A chip type and its revision (a letter and a digit); printed as 26:A0. Ordered by chip type,
// then revision.
class FapRevision {
 public:
  constexpr FapRevision() noexcept = default;
  constexpr FapRevision(ChipType chipType, char letter, unsigned digit) noexcept
      : chipType_(chipType),
        revision_(
            static_cast<std::uint8_t>(static_cast<unsigned>(letter - 'A') << 4 | (digit & 0xFu))) {}

  // Chip type 26, revision A0.
  static constexpr FapRevision fapRevGen3A0() noexcept { return {ChipType{26}, 'A', 0}; }
  // Parses "26:A0"; nullopt for any other shape.
  static std::optional<FapRevision> parse(std::string_view text) noexcept;

  constexpr ChipType chipType() const noexcept { return chipType_; }
  constexpr char letter() const noexcept { return static_cast<char>('A' + (revision_ >> 4)); }
  constexpr unsigned digit() const noexcept { return revision_ & 0xF; }
  constexpr bool isEq(FapRevision const& o) const noexcept { return *this == o; }
  constexpr auto operator<=>(FapRevision const&) const noexcept = default;

 private:
  ChipType chipType_{};
  std::uint8_t revision_ = 0;
};

// An out-LIF value, or none (not valid).
class Outlif {
 public:
  constexpr Outlif() noexcept = default;
  constexpr explicit Outlif(std::uint32_t value) noexcept : value_(value), valid_(true) {}
  static constexpr Outlif invalid() noexcept { return Outlif(); }

  constexpr bool valid() const noexcept { return valid_; }
  constexpr std::uint32_t value() const noexcept { return value_; }
  constexpr bool operator==(Outlif const&) const noexcept = default;

 private:
  std::uint32_t value_ = 0;
  bool valid_ = false;
};

}  // namespace Zuri
}  // namespace Hardware

template <>
struct fmt::formatter<Hardware::ChipType> : fmt::formatter<unsigned> {
  auto format(Hardware::ChipType const& c, format_context& ctx) const {
    return fmt::formatter<unsigned>::format(static_cast<unsigned>(c), ctx);
  }
};

template <>
struct fmt::formatter<Hardware::Zuri::FapRevision> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Hardware::Zuri::FapRevision const& r, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "{}:{}{}", static_cast<unsigned>(r.chipType()), r.letter(),
                          r.digit());
  }
};

// Printed as the number, or "invalid".
template <>
struct fmt::formatter<Hardware::Zuri::Outlif> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Hardware::Zuri::Outlif const& o, format_context& ctx) const {
    return o.valid() ? fmt::format_to(ctx.out(), "{:#x}", o.value())
                     : fmt::format_to(ctx.out(), "invalid");
  }
};
