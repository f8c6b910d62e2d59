// ZuriAsicUtils::SchanCmd: one S-channel write command, and the list type that the hardware
// tables return. A command is a plain value: building or copying one allocates nothing.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include <absl/container/inlined_vector.h>
#include <fmt/format.h>

namespace ZuriAsicUtils {

struct SchanCmd {
  static constexpr unsigned kMaxWords = 5;  // 160 bits: the widest EEDB entry is 150 bits

  enum class Op : std::uint8_t {
    write,  // write data words to the entry's place
    clear,  // clear the entry's place (the data words are zero)
  };

  Op op = Op::write;
  std::uint8_t fapId = 0;  // 128 (the null FAP id) addresses every FAP
  std::uint8_t instanceId = 0;
  std::string_view memory;                      // static text naming the chip memory, e.g. "EEDB"
  std::uint32_t index = 0;                      // the entry's hardware key
  std::uint8_t resultType = 0;                  // the entry's format code (0: none)
  std::uint16_t sizeBits = 0;                   // bits of data that the command covers
  std::array<std::uint32_t, kMaxWords> data{};  // word 0 holds bits 0 to 31

  unsigned wordCount() const noexcept { return (sizeBits + 31u) / 32u; }
  bool operator==(SchanCmd const&) const noexcept = default;
};

// Most calls produce at most one command. A null-FAP command is followed by a write of every
// single FAP's own entry at the key (chip26_a0/HwShadow.h): the inline slots hold it and those of
// up to four FAPs, so that a system of that size programs a null-FAP entry without the heap. A
// longer list moves to the heap; building an empty list costs the same whatever the slots.
inline constexpr unsigned kInlineSchanCmds = 5;
using SchanCmds = absl::InlinedVector<SchanCmd, kInlineSchanCmds>;

}  // namespace ZuriAsicUtils

// Printed as "write EEDB[4096] fap 0 instance 0 type 1 0x...", data most significant word first.
template <>
struct fmt::formatter<ZuriAsicUtils::SchanCmd> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(ZuriAsicUtils::SchanCmd const& c, format_context& ctx) const {
    auto out = fmt::format_to(ctx.out(), "{} {}[{}] fap {} instance {} type {} 0x",
                              c.op == ZuriAsicUtils::SchanCmd::Op::write ? "write" : "clear",
                              c.memory, c.index, c.fapId, c.instanceId, c.resultType);
    // A command read off the wire may claim more bits than it carries: print what it carries.
    unsigned const n = std::clamp(c.wordCount(), 1u, ZuriAsicUtils::SchanCmd::kMaxWords);
    for (unsigned i = n; i-- > 0;) out = fmt::format_to(out, "{:08x}", c.data[i]);
    return out;
  }
};
