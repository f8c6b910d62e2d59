// The options of a replay and their defaults.

#include "Options.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#ifndef EEDB_INSTALL_LIBDIR
#define EEDB_INSTALL_LIBDIR "lib"
#endif
#ifndef EEDB_PLUGIN_SOVERSION
#define EEDB_PLUGIN_SOVERSION "0"
#endif

namespace eedb::replay {

namespace {

unsigned fapOf(std::string_view text, std::string_view item) {
  unsigned value = 0;
  auto const [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    throw std::invalid_argument(fmt::format("'{}' is not a FAP id or range", item));
  }
  if (value > 128) {
    throw std::invalid_argument(fmt::format("{} is not a FAP id (0 to 128)", value));
  }
  return value;
}

}  // namespace

std::vector<std::uint8_t> parseFapList(std::string_view text) {
  std::vector<std::uint8_t> faps;
  while (true) {
    auto const comma = text.find(',');
    std::string_view const item = text.substr(0, comma);
    auto const dash = item.find('-');
    unsigned const first = fapOf(item.substr(0, dash), item);
    unsigned const last =
        dash == std::string_view::npos ? first : fapOf(item.substr(dash + 1), item);
    if (last < first) throw std::invalid_argument(fmt::format("range '{}' is empty", item));
    for (unsigned fap = first; fap <= last; ++fap) faps.push_back(static_cast<std::uint8_t>(fap));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  std::sort(faps.begin(), faps.end());
  faps.erase(std::unique(faps.begin(), faps.end()), faps.end());
  return faps;
}

std::string defaultPluginPath() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path const exe = fs::read_symlink("/proc/self/exe", ec);
  fs::path const dir = ec ? fs::path(".") : exe.parent_path();
  fs::path const dirs[] = {dir / ".." / EEDB_INSTALL_LIBDIR, dir / ".." / "lib",
                           dir / ".." / ".." / "src"};
  // The name of the plug-in's ABI first (a runtime package ships no unversioned link).
  char const* const names[] = {"libeedb26.so." EEDB_PLUGIN_SOVERSION, "libeedb26.so"};
  for (auto const& candidateDir : dirs) {
    for (char const* name : names) {
      fs::path const candidate = candidateDir / name;
      if (fs::exists(candidate, ec)) return candidate.lexically_normal().string();
    }
  }
  return (dirs[0] / names[0]).lexically_normal().string();
}

}  // namespace eedb::replay
