// Checked casts of software integers into bounded hardware field types. A value above the
// field's maximum fails with std::range_error:
//   "Casting values: cast from unsigned char{ 20 } to U4 (max = 15) failed."
// Source type names come from a fixed table, so the text is the same with every compiler.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "hardware/FieldTypes.h"
#include "pelix/String.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace Asic::Detail {

template <class From>
struct SourceTypeName;
template <>
struct SourceTypeName<std::uint8_t> {
  static constexpr std::string_view value = "unsigned char";
};
template <>
struct SourceTypeName<std::uint16_t> {
  static constexpr std::string_view value = "short unsigned int";
};
template <>
struct SourceTypeName<std::uint32_t> {
  static constexpr std::string_view value = "unsigned int";
};
template <>
struct SourceTypeName<Gen3EsemCmds::Item> {
  static constexpr std::string_view value = "Gen3EsemCmds::Item";
};

[[noreturn]] void raiseCastText(std::string_view sourceType, std::uint64_t value, unsigned bits,
                                std::uint64_t max);

template <class Target, class From>
[[noreturn]] void raise_cast_integral(From value) {
  raiseCastText(SourceTypeName<From>::value, static_cast<std::uint64_t>(value), Target::kBits,
                Target::kMax);
}

}  // namespace Asic::Detail

namespace Asic {

// Narrows a software value into a bounded field type, failing above the type's maximum.
template <class Target, class From>
Target checkedCast(From value) {
  if (static_cast<std::uint64_t>(value) > Target::kMax) {
    Detail::raise_cast_integral<Target, From>(value);
  }
  return Target(static_cast<std::uint64_t>(value));
}

}  // namespace Asic
