// The shadow and hardware table keys: their printed form and hash.
#include "zuri_asic_utils/HwKeys.h"

#include <absl/hash/hash.h>

namespace ZuriAsicUtils {

Pelix::String HwShadowKey::toString() const {
  return fmt::format("{}", *this);
}

std::size_t HwTableKey::hash(std::uint32_t seed) const noexcept {
  return absl::HashOf(seed, tableName_, static_cast<unsigned>(fapRevision_.chipType()),
                      fapRevision_.letter(), fapRevision_.digit());
}

}  // namespace ZuriAsicUtils
