// The direct reader of a line's entry: the JSON object of a log entry's fields, read from the
// parsed line straight into the table's log entry through code made from the table's field list
// (ZuriErrm::Fields), without the catalogue's generic values. It only says whether it took the
// entry: one it does not take is read again through the catalogue (ZuriErrm::FieldSetter), which
// names the fault. It takes exactly what the catalogue takes, and sets the same entry.
#pragma once

#include <cstdint>

#include <simdjson.h>

#include "replay_support/Catalog.h"

namespace eedb::replay {

// An unsigned number of at most `max`: a JSON integer, or a text "0x1f" or "31".
bool unsignedIn(simdjson::dom::element const& e, std::uint64_t max, std::uint64_t& n) noexcept;

// Reads the members of `fields` into `entry`, a new entry of its table. False, with the entry
// partly set, for anything that the catalogue refuses.
bool readEntry(simdjson::dom::element const& fields, ZuriErrm::AnyLogEntry& entry);

}  // namespace eedb::replay
