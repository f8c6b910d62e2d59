// SchanAccel::FapId and SchanAccel::Fapmask: FAP numbers and sets of them.
#pragma once

#include <array>
#include <cstdint>

#include <fmt/format.h>

namespace SchanAccel {

// A FAP number from 0 to 128; 128 is the null FAP id, which names no single FAP (in SCHAN
// commands it addresses every FAP).
class FapId {
 public:
  static constexpr std::uint32_t kMin = 0;
  static constexpr std::uint32_t kNull = 128;
  static FapId const null;

  constexpr FapId() noexcept = default;
  // Raises Pelix::RangeException for a value above 128.
  constexpr explicit FapId(std::uint32_t value) : value_(static_cast<std::uint8_t>(value)) {
    if (value > kNull) throwRange();
  }

  constexpr std::uint8_t value() const noexcept { return value_; }
  constexpr bool isNull() const noexcept { return value_ == kNull; }
  constexpr auto operator<=>(FapId const&) const noexcept = default;

 private:
  [[noreturn]] static void throwRange();
  std::uint8_t value_ = 0;
};

inline constexpr FapId FapId::null{FapId::kNull};

// A set of FAP ids, 256 bits.
class Fapmask {
 public:
  static constexpr unsigned kBits = 256;

  constexpr Fapmask() noexcept = default;
  static constexpr Fapmask of(FapId fap) noexcept {
    Fapmask m;
    m.set(fap);
    return m;
  }

  constexpr void set(FapId fap) noexcept { words_[fap.value() / 64] |= bit(fap); }
  constexpr void clear(FapId fap) noexcept { words_[fap.value() / 64] &= ~bit(fap); }
  constexpr bool test(FapId fap) const noexcept {
    return (words_[fap.value() / 64] & bit(fap)) != 0;
  }
  constexpr bool empty() const noexcept { return *this == Fapmask(); }

  constexpr Fapmask operator&(Fapmask const& o) const noexcept {
    Fapmask r;
    for (unsigned i = 0; i < words_.size(); ++i) r.words_[i] = words_[i] & o.words_[i];
    return r;
  }
  constexpr bool operator==(Fapmask const&) const noexcept = default;

  std::array<std::uint64_t, 4> const& words() const noexcept { return words_; }

 private:
  static constexpr std::uint64_t bit(FapId fap) noexcept {
    return std::uint64_t{1} << (fap.value() % 64);
  }
  std::array<std::uint64_t, 4> words_{};
};

}  // namespace SchanAccel

template <>
struct fmt::formatter<SchanAccel::FapId> : fmt::formatter<unsigned> {
  auto format(SchanAccel::FapId const& f, format_context& ctx) const {
    return fmt::formatter<unsigned>::format(f.value(), ctx);
  }
};

// Printed as the list of its FAP ids: {0,1,7}.
template <>
struct fmt::formatter<SchanAccel::Fapmask> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(SchanAccel::Fapmask const& m, format_context& ctx) const {
    auto out = fmt::format_to(ctx.out(), "{{");
    char const* sep = "";
    for (unsigned id = 0; id <= SchanAccel::FapId::kNull; ++id) {
      if (m.test(SchanAccel::FapId(id))) {
        out = fmt::format_to(out, "{}{}", sep, id);
        sep = ",";
      }
    }
    return fmt::format_to(out, "}}");
  }
};
