// Text from outside (input values echoed in messages, exception texts, trace messages) reaches
// the report only through these two escapers, so that no input line can break a JSON line,
// forge report lines or send control sequences to a terminal. Every string of the JSON form
// goes through appendJsonString.
#pragma once

#include <string>
#include <string_view>

#include <fmt/format.h>

namespace eedb::replay {

// Appends `text` as a quoted JSON string: '"' and '\' escaped, control characters (C0, DEL and
// C1) as \n, \t, \r, \b, \f or \u00XX, a byte that is not UTF-8 as \ufffd.
void appendJsonString(fmt::memory_buffer& out, std::string_view text);

// Appends `text` for the text form: control characters as \n, \t, \r, \xXX (C0 and DEL) or
// \u00XX (C1), a byte that is not UTF-8 as \xXX; everything else as it is.
void appendEscapedText(fmt::memory_buffer& out, std::string_view text);
std::string escapedText(std::string_view text);

}  // namespace eedb::replay
