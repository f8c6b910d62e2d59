// Command-line values of the replay tool that need more than CLI11 checks: FAP lists ("0-3,7")
// and where the plug-in lies by default.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace eedb::replay {

// Parses "0-3,7" into ascending, distinct FAP ids (0 to 128). Raises std::invalid_argument
// with the reason.
std::vector<std::uint8_t> parseFapList(std::string_view text);

// The plug-in beside the tool: in <exe dir>/../<libdir>/, <exe dir>/../lib/, then the build
// tree's <exe dir>/../../src/, libeedb26.so.<SOVERSION> or else libeedb26.so; the first that
// exists, else the first of them.
std::string defaultPluginPath();

}  // namespace eedb::replay
