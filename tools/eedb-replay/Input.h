// Input of the replay tool: JSON Lines of software log entries. LineReader cuts a byte stream
// into lines inside one padded buffer (so the JSON parser reads them in place); LineParser turns
// one line into a catalogue log entry with its unit, flags and expected result, or rejects it
// with ZuriErrm::InputError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <simdjson.h>

#include "EntryReader.h"
#include "Expect.h"
#include "asic/Types.h"
#include "replay_support/Catalog.h"

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
  // The line's "expect" member, when it has one.
  bool hasExpect = false;
  Expectation expect;

  // The entry in its table's wrapper, as the table utilities take it; valid until the wrapper
  // of the next line of the same table is asked for.
  Pelix::Ptr<Asic::LogEntryWrapperBase> const& wrapper() const {
    return wrappers_.wrap(*table, entry, unitId, flags);
  }

 private:
  mutable ZuriErrm::WrapperSlots wrappers_;  // used again line after line
};

class LineParser {
 public:
  // `direct`: a usual line is read straight into the log entry (EntryReader.h), the catalogue
  // reading only the others; false reads every line through the catalogue.
  explicit LineParser(bool direct = true) : direct_(direct) {}

  // Reads one line (without its line end) into `out`. The line must be followed by at least
  // simdjson::SIMDJSON_PADDING readable bytes, as LineReader guarantees. Raises
  // ZuriErrm::InputError with the reason; `out` then holds only the line's expectation (when
  // the line is JSON and its "expect" member could be read) and, once it named a known table,
  // that table (`table` is left as it was before then: the caller clears it).
  void parse(std::string_view line, LogLine& out);
  // The lines that parse() is given next, in order (some may be left out), and the rest of them,
  // held in one buffer as LineReader::wholeLines() gives them, until the next call: their JSON
  // structure is found once for all of them (BlockReader).
  void linesAhead(std::string_view lines) {
    if (direct_) block_.start(lines);
  }

 private:
  class Reader;
  void parseWithBigNumbers(std::string_view line, LogLine& out, simdjson::error_code error);

  bool direct_;
  BlockReader block_;
  simdjson::ondemand::parser onDemand_;
  simdjson::dom::parser parser_;
  std::string rewritten_;  // a line whose numbers beyond 64 bits are marked as such
};

// Reads a file descriptor in large blocks and hands out whole lines. Each line handed out is
// followed by SIMDJSON_PADDING readable bytes. Input that starts with gzip's magic bytes is
// decompressed as it is read (several gzip members in a row, as `cat a.gz b.gz` gives, are one
// stream). A UTF-8 byte-order mark at the start (of the decompressed text) is skipped.
// Lines end with "\n" ("\r\n" too: the "\r" is dropped), or with "\r" alone when that is how
// the first line ends; the last line may lack its line end. A line longer than the maximum is
// skipped without being kept whole and handed out empty, marked overlong().
class LineReader {
 public:
  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;
  static constexpr std::size_t kDefaultMaxLine = std::size_t{1} << 20;

  // `beforeRead` runs before every read from the descriptor, which may block: a good moment to
  // flush output for whoever is watching.
  explicit LineReader(int fd, std::function<void()> beforeRead = {},
                      std::size_t blockSize = kDefaultBlockSize,
                      std::size_t maxLine = kDefaultMaxLine);
  ~LineReader();
  LineReader(LineReader const&) = delete;
  LineReader& operator=(LineReader const&) = delete;

  // The next line, or false at the end of input. Raises std::system_error when reading fails,
  // and ZuriErrm::InputError for input that is not UTF-8 text (a UTF-16 byte-order mark) or a
  // gzip stream that is damaged or cut short.
  bool next(std::string_view& line);
  // Number of the line last handed out, from 1.
  std::size_t lineNumber() const noexcept { return lineNumber_; }
  // Whether the line last handed out was longer than the maximum; its length then, in bytes.
  bool overlong() const noexcept { return overlong_; }
  std::size_t overlongLength() const noexcept { return overlongLength_; }
  std::size_t maxLine() const noexcept { return maxLine_; }
  // The line last handed out and the whole lines after it read so far, in place, followed by
  // SIMDJSON_PADDING readable bytes (empty when that line was too long). They stay where they
  // are until the reader reads again, which reads() tells.
  std::string_view wholeLines() const noexcept;
  std::size_t reads() const noexcept { return reads_; }

 private:
  enum class LineEnd : std::uint8_t { unknown, lf, cr };

  class Gunzip;

  void fill();
  std::size_t readSome(char* to, std::size_t size);
  std::size_t readRaw(char* to, std::size_t size);
  bool startRead();
  char* findLineEnd();
  void handOut(std::string_view& line, std::size_t length, std::size_t consumed);

  int fd_;
  std::unique_ptr<Gunzip> gunzip_;  // set once the input shows gzip's magic bytes
  bool sniffed_ = false;            // whether the first bytes were looked at
  std::string head_;                // those of them not handed out yet, of plain input
  std::function<void()> beforeRead_;
  std::size_t blockSize_;
  std::size_t maxLine_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;    // first unread byte
  std::size_t scanned_ = 0;  // bytes from begin_ on known to hold no line end
  std::size_t end_ = 0;      // one past the last byte read
  std::size_t skipped_ = 0;  // bytes dropped of an overlong line so far
  bool skipping_ = false;
  bool started_ = false;  // the byte-order mark is dealt with
  bool eof_ = false;
  LineEnd lineEnd_ = LineEnd::unknown;
  bool overlong_ = false;
  std::size_t overlongLength_ = 0;
  std::size_t lineNumber_ = 0;
  std::size_t lineBegin_ = 0;  // where the line last handed out starts
  std::size_t reads_ = 0;
};

}  // namespace eedb::replay
