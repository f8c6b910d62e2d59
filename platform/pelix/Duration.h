// Pelix::Duration: a span of time in whole nanoseconds, as the runtime's timers and log
// rate settings take it.
#pragma once

#include <chrono>
#include <compare>
#include <cstdint>

#include <fmt/format.h>

namespace Pelix {

class Duration {
 public:
  constexpr Duration() noexcept = default;
  constexpr explicit Duration(std::int64_t nanoseconds) noexcept : ns_(nanoseconds) {}
  constexpr Duration(std::chrono::nanoseconds d) noexcept : ns_(d.count()) {}

  static constexpr Duration nanoseconds(std::int64_t n) noexcept { return Duration(n); }
  static constexpr Duration microseconds(std::int64_t n) noexcept { return Duration(n * 1'000); }
  static constexpr Duration milliseconds(std::int64_t n) noexcept {
    return Duration(n * 1'000'000);
  }
  static constexpr Duration seconds(std::int64_t n) noexcept { return Duration(n * 1'000'000'000); }

  constexpr std::int64_t ns() const noexcept { return ns_; }
  constexpr double toSeconds() const noexcept { return static_cast<double>(ns_) / 1e9; }
  constexpr std::chrono::nanoseconds toChrono() const noexcept {
    return std::chrono::nanoseconds(ns_);
  }
  constexpr bool isZero() const noexcept { return ns_ == 0; }

  constexpr auto operator<=>(Duration const&) const noexcept = default;
  constexpr Duration operator+(Duration o) const noexcept { return Duration(ns_ + o.ns_); }
  constexpr Duration operator-(Duration o) const noexcept { return Duration(ns_ - o.ns_); }
  constexpr Duration& operator+=(Duration o) noexcept {
    ns_ += o.ns_;
    return *this;
  }
  constexpr Duration& operator-=(Duration o) noexcept {
    ns_ -= o.ns_;
    return *this;
  }

 private:
  std::int64_t ns_ = 0;
};

}  // namespace Pelix

// Written in nanoseconds, exactly: "1500ns".
template <>
struct fmt::formatter<Pelix::Duration> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Pelix::Duration const& d, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "{}ns", d.ns());
  }
};
