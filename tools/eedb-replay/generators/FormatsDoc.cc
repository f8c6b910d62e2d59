// eedb-formats-doc: writes docs/formats.md, one bit diagram per hardware entry format, to the
// file named on the command line (standard output without one).
#include <fmt/format.h>

#include "Bits.h"
#include "Document.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    fmt::print(stderr, "usage: eedb-formats-doc [OUTPUT]\n");
    return 2;
  }
  fmt::memory_buffer doc;
  eedb::replay::formatsDocument(doc);
  return eedb::generators::writeDocument("eedb-formats-doc", argc == 2 ? argv[1] : nullptr,
                                         std::string_view(doc.data(), doc.size()))
             ? 0
             : 2;
}
