// The range failures of the bounded hardware field types and of the per-unit bit map.
#include "hardware/FieldTypes.h"

namespace Hardware::detail {

void throwBoundedRange(unsigned bits, std::uint64_t max) {
  // The maximum is printed with two hex digits per byte of the smallest fitting storage.
  int const digits = bits <= 8 ? 2 : bits <= 16 ? 4 : bits <= 32 ? 8 : 16;
  Pelix::RangeException::throwException(
      fmt::format("U{}::value < 0 or > 0x{:0{}x} not allowed", bits, max, digits));
}

}  // namespace Hardware::detail

void PerUnitBitmap::throwWordRange(unsigned word) {
  Pelix::RangeException::throwException(
      fmt::format("PerUnitBitmap::word {} > {} not allowed", word, kWords - 1));
}
