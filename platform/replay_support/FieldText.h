// How people read the value of an entry field: a field that holds an address (its FieldKind in
// the format table) as that address, any other as its number.
#pragma once

#include <cstddef>
#include <string>

#include <fmt/format.h>

#include "chip26_a0/EntryLayout.h"
#include "plexo/Addresses.h"

namespace chip26_a0::layout {

// Writes the address an address field holds ("10.1.2.3", "2001:db8::1", "02:00:00:aa:bb:cc") at
// `to`, which has room for Plexo::kAddressTextMax bytes, and returns its end; `to` itself, writing
// nothing, for a number field (Plexo's text of the address, without a format string: the JSON
// form writes one for every address field of every entry).
char* writeAddress(char* to, FieldKind kind, FieldValue const& value);

// Appends the address an address field holds; returns false, appending nothing, for a number
// field.
bool appendAddress(fmt::memory_buffer& out, FieldKind kind, FieldValue const& value);

// The address of an address field, otherwise the value as FieldValue prints.
std::string fieldText(FieldKind kind, FieldValue const& value);

}  // namespace chip26_a0::layout
