// What the generators share: writing the document made to its file, or to standard output.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>

#include <fmt/format.h>

namespace eedb::generators {

// Writes `text` to `path` (standard output when null); false, said on standard error with the
// program's name, when that fails.
inline bool writeDocument(std::string_view program, char const* path, std::string_view text) {
  if (path == nullptr) return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.flush()) return true;
  fmt::print(stderr, "{}: cannot write {}: {}\n", program, path, std::strerror(errno));
  return false;
}

}  // namespace eedb::generators
