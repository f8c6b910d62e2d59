// A leaf field of a log entry read as a plain member: found once by its path from the entry
// ("fodo", "key.outlif", "etpsSrv6150.nofSids"), then read on every line without a catalogue
// value in between. What the tool checks on every applicable offer (the views, the cut rules)
// reads through these.
#pragma once

#include <cstdint>
#include <string_view>

#include "replay_support/Catalog.h"

namespace eedb::replay {

// Reads the field's number into `out`; false when the field holds no number (an address, an
// out-LIF that is not valid), as the catalogue's value of it is then no number either. The entry
// must be of the table the reader was found for.
using NumberRead = bool (*)(ZuriErrm::AnyLogEntry const& entry, std::uint64_t& out) noexcept;

// The reader of the table's leaf field at `path`; nullptr when the table has no leaf field
// there.
NumberRead numberRead(ZuriErrm::TableInfo const& table, std::string_view path) noexcept;

}  // namespace eedb::replay
