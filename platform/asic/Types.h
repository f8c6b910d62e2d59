// Asic value types: unit ids and software table ids.
#pragma once

#include <compare>
#include <cstdint>

#include <fmt/format.h>

namespace Asic {

// 16 bits: high byte the FAP id, low byte the instance id. Any 16-bit value is stored; the
// FAP id is range-checked where it is taken out (SchanAccel::FapId).
class UnitId {
 public:
  constexpr UnitId() noexcept = default;
  constexpr explicit UnitId(std::uint16_t value) noexcept : value_(value) {}
  static constexpr UnitId of(std::uint8_t fapId, std::uint8_t instanceId) noexcept {
    return UnitId(static_cast<std::uint16_t>(fapId << 8 | instanceId));
  }

  constexpr std::uint16_t value() const noexcept { return value_; }
  constexpr std::uint8_t fapIdRaw() const noexcept {
    return static_cast<std::uint8_t>(value_ >> 8);
  }
  constexpr std::uint8_t instanceId() const noexcept { return static_cast<std::uint8_t>(value_); }
  constexpr auto operator<=>(UnitId const&) const noexcept = default;

 private:
  std::uint16_t value_ = 0;
};

// Software table identifier: agent id (top byte), group id (next byte), table id (low 16 bits).
class SwTableId {
 public:
  constexpr SwTableId() noexcept = default;
  constexpr explicit SwTableId(std::uint32_t value) noexcept : value_(value) {}

  constexpr std::uint32_t value() const noexcept { return value_; }
  constexpr std::uint8_t agentId() const noexcept {
    return static_cast<std::uint8_t>(value_ >> 24);
  }
  constexpr std::uint8_t groupId() const noexcept {
    return static_cast<std::uint8_t>(value_ >> 16);
  }
  constexpr std::uint16_t tableId() const noexcept { return static_cast<std::uint16_t>(value_); }
  constexpr auto operator<=>(SwTableId const&) const noexcept = default;

 private:
  std::uint32_t value_ = 0;
};

}  // namespace Asic

// Printed as 0x0102 (FAP 1, instance 2).
template <>
struct fmt::formatter<Asic::UnitId> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Asic::UnitId const& u, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "0x{:04x}", u.value());
  }
};

// Printed as agent:group:table, 0x03010C07 as 03:01:0c07.
template <>
struct fmt::formatter<Asic::SwTableId> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Asic::SwTableId const& id, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "{:02x}:{:02x}:{:04x}", id.agentId(), id.groupId(),
                          id.tableId());
  }
};
