// Gen3EsemCmds: the ESEM command items of the software tables and the value that each item
// takes in the hardware of a given FAP revision.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "hardware/FapRevision.h"

namespace Gen3EsemCmds {

// An ESEM command item number, as the software tables carry it.
enum class Item : std::uint8_t {};

// The hardware value of `item` on `revision`. Gen3 A0 (26:A0) renumbers items 1 to 4; every
// other revision, and every other item, uses the item number itself.
std::uint32_t hwValue(Hardware::Zuri::FapRevision const& revision, Item item) noexcept;

}  // namespace Gen3EsemCmds

template <>
struct fmt::formatter<Gen3EsemCmds::Item> : fmt::formatter<unsigned> {
  auto format(Gen3EsemCmds::Item const& item, format_context& ctx) const {
    return fmt::formatter<unsigned>::format(static_cast<unsigned>(item), ctx);
  }
};
