// Input of the replay tool: JSON Lines of software log entries. LineReader cuts a byte stream
// into lines inside one padded buffer (so the JSON parser reads them in place); LineParser turns
// one line into a catalogue log entry with its unit and flags, or rejects it with
// ZuriErrm::InputError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <simdjson.h>

#include "asic/Types.h"
#include "zuri_errm/Catalog.h"

namespace eedb::replay {

// The flags byte of a log Flume entry.
inline constexpr std::uint8_t kDeleteFlag = 0x1;
inline constexpr std::uint8_t kTableDeleteFlag = 0x2;

// One input line, read.
struct LogLine {
  ZuriErrm::TableInfo const* table = nullptr;
  ZuriErrm::AnyLogEntry entry;
  Asic::UnitId unitId;
  std::uint8_t flags = 0;
};

class LineParser {
 public:
  // Reads one line (without its line end) into `out`. The line must be followed by at least
  // simdjson::SIMDJSON_PADDING readable bytes, as LineReader guarantees. Raises
  // ZuriErrm::InputError with the reason; `out` is then unspecified.
  void parse(std::string_view line, LogLine& out);

 private:
  simdjson::dom::parser parser_;
};

// Reads a file descriptor in large blocks and hands out whole lines. Each line handed out is
// followed by SIMDJSON_PADDING readable bytes. Lines end with "\n"; a "\r" before it is dropped;
// the last line may lack its "\n".
class LineReader {
 public:
  // `beforeRead` runs before every read from the descriptor, which may block: a good moment to
  // flush output for whoever is watching.
  explicit LineReader(int fd, std::function<void()> beforeRead = {},
                      std::size_t blockSize = std::size_t{1} << 20);

  // The next line, or false at the end of input. Raises std::system_error when reading fails.
  bool next(std::string_view& line);
  // Number of the line last handed out, from 1.
  std::size_t lineNumber() const noexcept { return lineNumber_; }

 private:
  bool fill();

  int fd_;
  std::function<void()> beforeRead_;
  std::size_t blockSize_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // one past the last byte read
  bool eof_ = false;
  std::size_t lineNumber_ = 0;
};

}  // namespace eedb::replay
