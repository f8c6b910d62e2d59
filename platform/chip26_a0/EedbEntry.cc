// Entries of the MDB-backed EEDB table: bitmap fields, formats by name, fields set and read by
// name.
#include "chip26_a0/EedbEntry.h"

#include <stdexcept>

namespace chip26_a0::layout {

PerUnitBitmap FieldValue::bitmap() const {
  PerUnitBitmap b;
  for (unsigned w = 0; w < PerUnitBitmap::kWords; ++w) b.bitListIs(w, words_[w]);
  return b;
}

}  // namespace chip26_a0::layout

namespace chip26_a0::mdb {

layout::FormatSpec const* formatByName(std::string_view name) noexcept {
  for (auto const* spec : kFormatSpecs) {
    if (spec->name == name) return spec;
  }
  return nullptr;
}

std::optional<layout::FieldValue> Entry::fieldValue(std::string_view name) const noexcept {
  auto const* spec = format();
  auto const* field = spec ? spec->field(name) : nullptr;
  if (field == nullptr) return std::nullopt;
  return fieldValue(*field);
}

namespace {

// The field must be one of the entry's own format, else its bits would land anywhere.
void requireOwnField(layout::FormatSpec const* spec, layout::FieldSpec const& field,
                     bool wideValue) {
  if (spec == nullptr || spec->fields.empty() || &field < spec->fields.data() ||
      &field >= spec->fields.data() + spec->fields.size()) {
    throw std::invalid_argument(fmt::format("field {} is not a field of {}", field.name,
                                            spec ? spec->name : "an entry without a format"));
  }
  if (field.wide() != wideValue) {
    throw std::invalid_argument(
        fmt::format("field {} of {} is {} bits wide: {}", field.name, spec->name, field.width,
                    wideValue ? "set it with a number" : "set it with a PerUnitBitmap"));
  }
}

}  // namespace

void Entry::fieldIs(layout::FieldSpec const& field, std::uint64_t value) {
  requireOwnField(format(), field, false);
  if (value > bits::lowMask(field.width)) {
    Hardware::detail::throwBoundedRange(field.width, bits::lowMask(field.width));
  }
  depositField(field, value);
}

void Entry::fieldIs(layout::FieldSpec const& field, PerUnitBitmap const& value) {
  requireOwnField(format(), field, true);
  depositField(field, value);
}

}  // namespace chip26_a0::mdb
