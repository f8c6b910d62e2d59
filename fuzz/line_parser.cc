// The replay tool's line parser under arbitrary bytes. A line is either read or rejected with
// ZuriErrm::InputError, never anything else; a line that is read, written back as JSON from the
// catalogue's view of its entry, reads back to the same table, unit, flags and shown fields; the
// input's lines read the same in a block as one by one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "Check.h"
#include "Input.h"
#include "replay_support/Catalog.h"

namespace {

using eedb::fuzz::fail;

// Numbers, null and the catalogue's texts (addresses and numbers: nothing to escape) print as
// JSON; objects are written member by member.
void appendJson(std::string& out, ZuriErrm::Value const& v) {
  if (v.kind() != ZuriErrm::Value::Kind::object) {
    out += fmt::format("{}", v);
    return;
  }
  out += '{';
  char const* sep = "";
  for (auto const& m : v.members()) {
    out += fmt::format("{}\"{}\": ", sep, m.name);
    appendJson(out, m.value);
    sep = ", ";
  }
  out += '}';
}

std::string writeLine(eedb::replay::LogLine const& line) {
  std::string out = fmt::format(
      R"({{"table": "{}", "unitId": {}, "delete": {}, "tableDelete": {}, "entry": {{)",
      line.table->name, line.unitId.value(), (line.flags & eedb::replay::kDeleteFlag) != 0,
      (line.flags & eedb::replay::kTableDeleteFlag) != 0);
  char const* sep = "";
  line.table->visit(line.entry, [&](ZuriErrm::FieldInfo const& field, ZuriErrm::Value const& v) {
    out += fmt::format("{}\"{}\": ", sep, field.name);
    appendJson(out, v);
    sep = ", ";
  });
  out += "}}";
  return out;
}

// What a line reads to, or why it is refused.
std::string outcome(eedb::replay::LineParser& parser, std::string_view line) {
  eedb::replay::LogLine out;
  try {
    parser.parse(line, out);
  } catch (ZuriErrm::InputError const& e) {
    return fmt::format("refused: {}", e.what());
  }
  return writeLine(out);
}

// The input as a stream of lines: each reads the same whether the parser finds the JSON
// structure of all the lines at once or of one line at a time. (Blank lines are left out, as the
// tool leaves them.)
void compareBlockAndLines(std::string_view input) {
  static eedb::replay::LineParser byBlock;
  static eedb::replay::LineParser byLine;
  static std::string buffer;
  buffer.assign(input);
  std::size_t const size = buffer.size();
  buffer.resize(size + simdjson::SIMDJSON_PADDING, '\0');
  std::string_view const text(buffer.data(), size);
  byBlock.linesAhead(text);
  for (std::size_t at = 0; at < size;) {
    std::size_t const end = std::min(text.find('\n', at), size);
    std::string_view const line = text.substr(at, end - at);
    at = end + 1;
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    std::string const inBlock = outcome(byBlock, line);
    std::string const alone = outcome(byLine, line);
    if (inBlock != alone) {
      fail("a line reads differently in a block of lines:\n  {}\n  {}\n  {}", line, inBlock, alone);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static eedb::replay::LineParser parser;
  compareBlockAndLines(std::string_view(reinterpret_cast<char const*>(data), size));
  std::string_view line(reinterpret_cast<char const*>(data), size);
  line = line.substr(0, line.find('\n'));

  eedb::replay::LogLine first;
  try {
    eedb::fuzz::parseLine(parser, line, first);
  } catch (ZuriErrm::InputError const&) {
    return 0;
  }
  if (first.table == nullptr || !first.table->holds(first.entry)) {
    fail("a line was read without its table's entry: {}", line);
  }
  std::string const written = writeLine(first);
  eedb::replay::LogLine again;
  try {
    eedb::fuzz::parseLine(parser, written, again);
  } catch (ZuriErrm::InputError const& e) {
    fail("the line written back is rejected ({}): {}", e.what(), written);
  }
  // Compared as written: what the catalogue shows must survive the round trip (SRv6 data of a
  // view other than the entry's own is refused as input, so nothing hidden is stored).
  if (again.table != first.table || again.unitId != first.unitId || again.flags != first.flags ||
      writeLine(again) != written) {
    fail("the line written back reads differently:\n  {}\n  {}\n  {}", line, written,
         writeLine(again));
  }
  return 0;
}
