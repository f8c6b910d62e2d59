// chip26_a0::ChipMemory: a model of the chip's memories as the SCHAN commands leave them, to
// check that the commands produced for the shadow program exactly what the shadow holds.
//
// A place is (memory, FAP id, instance id, index). A write stores its result type, size and
// data words; a clear of n bits zeroes bits 0 to n-1 of the place, and a place whose words are
// all zero without a result type reads as empty. The null FAP id 128 addresses every FAP: a
// command for it changes the place on all FAPs at once, and what a single FAP wrote there before
// is written over (a write) or cleared with it (a clear). Not a hot path: it allocates freely.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace chip26_a0 {

// A command that no chip executes: a FAP id above 128, an unknown operation, more bits than a
// command carries, a clear with data or data beyond the command's size.
class SchanExecuteException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ChipMemory {
 public:
  static constexpr std::uint8_t kEveryFap = 128;

  struct Place {
    std::string_view memory;  // the commands' static memory names
    std::uint8_t fapId = 0;   // 128: the content that every FAP sees unless it wrote its own
    std::uint8_t instanceId = 0;
    std::uint32_t index = 0;
    auto operator<=>(Place const&) const = default;
  };

  // What a place holds. Empty: no result type and every data word zero.
  struct Content {
    std::uint8_t resultType = 0;
    std::uint16_t sizeBits = 0;
    std::array<std::uint32_t, ZuriAsicUtils::SchanCmd::kMaxWords> data{};
    bool empty() const noexcept;
    bool operator==(Content const&) const = default;
  };

  // Runs the command on the model. Raises SchanExecuteException for a command no chip runs; the
  // model is then unchanged.
  void execute(ZuriAsicUtils::SchanCmd const& cmd);
  void execute(ZuriAsicUtils::SchanCmds const& cmds) {
    for (auto const& cmd : cmds) execute(cmd);
  }

  // What a FAP (0 to 127) reads at the place, or the common content of every FAP (128).
  Content read(std::string_view memory, std::uint8_t fapId, std::uint8_t instanceId,
               std::uint32_t index) const;

  // Places that hold something (the common content under FAP 128), in Place order.
  std::vector<Place> places(std::string_view memory) const;
  std::size_t commandsExecuted() const noexcept { return executed_; }

 private:
  // FAP 0 to 127: what a FAP wrote itself (an empty Content: it cleared the common content
  // away). FAP 128: the common content.
  std::map<Place, Content> contents_;
  std::size_t executed_ = 0;
};

// One field of a place where the chip and the shadow differ.
struct FieldDifference {
  std::string name;
  std::string shadow;  // "-" when the side holds no such field; an address field as its address
  std::string chip;
  // The same as values; none when the side holds no such field.
  std::optional<layout::FieldValue> shadowValue;
  std::optional<layout::FieldValue> chipValue;
  layout::FieldKind kind = layout::FieldKind::number;
};

// A place where the chip differs from the shadow, both decoded.
struct MemoryDifference {
  ChipMemory::Place place;
  std::string shadow;  // the entry as the shadow holds it, or "nothing"
  std::string chip;    // the decoded content, "nothing", or why it does not decode
  std::vector<FieldDifference> fields;
};

// Every place where the chip memory differs from the shadow of one hardware table, in Place
// order. FAP f (0 to 127) must read what the shadow means for it (entrySeenBy, HwShadow.h): its
// own shadow entry, or the null FAP's entry when it has none; the common content must equal the
// null FAP's shadow.
std::vector<MemoryDifference> compareWithShadow(ChipMemory const& chip, EedbHwMdb const& table);
std::vector<MemoryDifference> compareWithShadow(ChipMemory const& chip,
                                                EedbAgMemTlmHwDirect const& table);
std::vector<MemoryDifference> compareWithShadow(ChipMemory const& chip,
                                                EedbDataByLocalOutlifMsbsHwDirect const& table);

}  // namespace chip26_a0

// "EEDB[4096] fap 0 instance 0"; the null FAP as "every fap".
template <>
struct fmt::formatter<chip26_a0::ChipMemory::Place> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(chip26_a0::ChipMemory::Place const& p, format_context& ctx) const {
    if (p.fapId == chip26_a0::ChipMemory::kEveryFap) {
      return fmt::format_to(ctx.out(), "{}[{}] every fap instance {}", p.memory, p.index,
                            p.instanceId);
    }
    return fmt::format_to(ctx.out(), "{}[{}] fap {} instance {}", p.memory, p.index, p.fapId,
                          p.instanceId);
  }
};

// "EEDB[4096] fap 0 instance 0: shadow ..., chip ... (mtuProfile: shadow 2, chip 0)"
template <>
struct fmt::formatter<chip26_a0::MemoryDifference> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(chip26_a0::MemoryDifference const& d, format_context& ctx) const {
    auto out = fmt::format_to(ctx.out(), "{}: shadow {}, chip {}", d.place, d.shadow, d.chip);
    char const* sep = " (";
    for (auto const& f : d.fields) {
      out = fmt::format_to(out, "{}{}: shadow {}, chip {}", sep, f.name, f.shadow, f.chip);
      sep = "; ";
    }
    return d.fields.empty() ? out : fmt::format_to(out, ")");
  }
};
