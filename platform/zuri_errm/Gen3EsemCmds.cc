// The hardware value of each ESEM command item on a given FAP revision.
#include "zuri_errm/Gen3EsemCmds.h"

#include <array>

namespace Gen3EsemCmds {

namespace {

// Hardware values of items 0 to 4 on Gen3 A0; item 4 is wider than the 6-bit ESEM field.
constexpr std::array<std::uint32_t, 5> kGen3A0Values = {0, 21, 22, 42, 64};

}  // namespace

std::uint32_t hwValue(Hardware::Zuri::FapRevision const& revision, Item item) noexcept {
  auto const number = static_cast<std::uint8_t>(item);
  if (revision == Hardware::Zuri::FapRevision::fapRevGen3A0() && number < kGen3A0Values.size()) {
    return kGen3A0Values[number];
  }
  return number;
}

}  // namespace Gen3EsemCmds
