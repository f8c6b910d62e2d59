// eedb-formats-doc: writes docs/formats.md, one bit diagram per hardware entry format, to the
// file named on the command line (standard output without one).
#include <cstdio>
#include <cstring>
#include <fstream>

#include <fmt/format.h>

#include "Bits.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    fmt::print(stderr, "usage: eedb-formats-doc [OUTPUT]\n");
    return 2;
  }
  fmt::memory_buffer doc;
  eedb::replay::formatsDocument(doc);
  if (argc == 1) {
    return std::fwrite(doc.data(), 1, doc.size(), stdout) == doc.size() ? 0 : 2;
  }
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file.write(doc.data(), static_cast<std::streamsize>(doc.size()));
  if (!file.flush()) {
    fmt::print(stderr, "eedb-formats-doc: cannot write {}: {}\n", argv[1], std::strerror(errno));
    return 2;
  }
  return 0;
}
