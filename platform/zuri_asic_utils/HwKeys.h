// ZuriAsicUtils::HwShadowKey (which unit's shadow) and ZuriAsicUtils::HwTableKey (which
// hardware table object in the table manager's collection).
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>

#include <fmt/format.h>

#include "hardware/FapRevision.h"
#include "pelix/String.h"
#include "schan_accel/FapId.h"

namespace ZuriAsicUtils {

using InstanceId = std::uint8_t;

// One unit's shadow: FAP id first, instance id second.
class HwShadowKey {
 public:
  constexpr HwShadowKey() noexcept = default;
  constexpr HwShadowKey(SchanAccel::FapId fapId, InstanceId instanceId) noexcept
      : fapId_(fapId), instanceId_(instanceId) {}

  constexpr SchanAccel::FapId fapId() const noexcept { return fapId_; }
  constexpr InstanceId instanceId() const noexcept { return instanceId_; }
  // Both bytes as one number, FAP id high: a dense map key.
  constexpr std::uint16_t packed() const noexcept {
    return static_cast<std::uint16_t>(fapId_.value() << 8 | instanceId_);
  }
  // "fap 0 instance 1"
  Pelix::String toString() const;

  constexpr auto operator<=>(HwShadowKey const&) const noexcept = default;

 private:
  SchanAccel::FapId fapId_;
  InstanceId instanceId_ = 0;
};

class HwTableKey {
 public:
  HwTableKey(Pelix::String tableName, Hardware::Zuri::FapRevision fapRevision)
      : tableName_(std::move(tableName)), fapRevision_(fapRevision) {}

  Pelix::String const& tableName() const noexcept { return tableName_; }
  Hardware::Zuri::FapRevision fapRevision() const noexcept { return fapRevision_; }
  std::size_t hash(std::uint32_t seed) const noexcept;

  bool operator==(HwTableKey const&) const noexcept = default;

 private:
  Pelix::String tableName_;
  Hardware::Zuri::FapRevision fapRevision_;
};

}  // namespace ZuriAsicUtils

template <>
struct fmt::formatter<ZuriAsicUtils::HwShadowKey> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(ZuriAsicUtils::HwShadowKey const& k, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "fap {} instance {}", k.fapId().value(), k.instanceId());
  }
};

template <>
struct fmt::formatter<ZuriAsicUtils::HwTableKey> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(ZuriAsicUtils::HwTableKey const& k, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "{}@{}", k.tableName(), k.fapRevision());
  }
};
