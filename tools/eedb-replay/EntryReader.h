// The direct reader of a line: the usual line (its table, unit or unit id, flags and entry, no
// expectation) read with simdjson's On-Demand API straight into the table's log entry, each field
// set through code made from the table's field list (ZuriErrm::Fields), without a document tree
// and without the catalogue's generic values. It only says whether it took the line: one it does
// not take is parsed again as a document and read through the catalogue (LineParser), which names
// the fault. It takes exactly what the catalogue takes, and sets the same entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <simdjson.h>

#include "replay_support/Catalog.h"

namespace eedb::replay {

struct LogLine;

// The members of a line and of its unit, each with its bit in a mask of members given.
inline constexpr std::string_view kLineMembers[] = {"table",  "entry",       "unit",  "unitId",
                                                    "delete", "tableDelete", "expect"};
enum LineMember : unsigned { kTable, kEntry, kUnit, kUnitId, kDelete, kTableDelete, kExpect };
inline constexpr std::string_view kUnitMembers[] = {"fap", "instance"};

// An unsigned number of at most `max`: a JSON integer, or a text "0x1f" or "31".
bool unsignedIn(simdjson::ondemand::value& e, std::uint64_t max, std::uint64_t& n) noexcept;

// Reads the members of the object `fields` into `entry`, a new entry of its table. False, with
// the entry partly set, for anything that the catalogue refuses (and for a few things it takes:
// keys written with escapes, an integer written -0).
bool readEntry(simdjson::ondemand::value& fields, ZuriErrm::AnyLogEntry& entry);

// Reads the line (followed by simdjson::SIMDJSON_PADDING readable bytes) into `out`. False for a
// line with an expectation, one whose "entry" comes before its "table", and any fault: `out` then
// holds nothing of the line's that the caller may rely on (its table is left as it was).
bool readLine(simdjson::ondemand::parser& parser, std::string_view line, LogLine& out);

// The direct reader over a block of whole lines, with the JSON parser's first stage (finding the
// structure of the text) run once over the block instead of once per line: that stage has a
// fixed cost per call that is a fifth of a usual line's reading. A line is taken only when its
// document starts and ends within it (what the first stage finds in such a line is what it finds
// in the line alone, and the block's last line is left to readLine); at the first line it cannot
// take, for whatever reason, it gives up the block, and the caller reads that line and the rest
// of the block one by one, as readLine does.
class BlockReader {
 public:
  // `lines`: whole lines of the stream, followed by simdjson::SIMDJSON_PADDING readable bytes,
  // kept until the next start(); the lines given to read() come from it, in order, each once
  // (blank lines and lines too long may be left out).
  void start(std::string_view lines);
  // Reads `line`, one of the block's, as readLine does; false when it does not.
  bool read(std::string_view line, LogLine& out);

 private:
  simdjson::ondemand::parser parser_;
  simdjson::ondemand::document_stream stream_;
  simdjson::ondemand::document_stream::iterator at_;
  std::size_t batch_ = 0;
  char const* begin_ = nullptr;
  bool taking_ = false;  // false: no block, or given up
};

}  // namespace eedb::replay
