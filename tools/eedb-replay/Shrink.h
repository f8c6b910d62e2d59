// --shrink: the smallest sub-stream (lines in their order) that still fails as the whole stream
// fails. The failure kept is the first one the whole replay shows: the first line that fails
// (refused, raising, unmet, or failed by a note under --strict), with what it failed on, or else
// the first place where --verify finds the chip different from the shadow. Every probe replays
// a candidate sub-stream in-process on table utilities of its own; cheap cuts (the lines after
// the failing line, the lines of other keys and tables) come first, then delta debugging over
// the lines that are left, which ends with no single line removable.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Printer.h"
#include "Run.h"
#include "Session.h"

namespace eedb::replay {

// The lines of a stream, kept in one buffer (each followed by readable padding, as the parser
// needs), with where each came from.
class StreamLines {
 public:
  void add(std::string_view text, std::size_t file, std::size_t number);
  // Makes the lines readable; no line may be added after.
  void seal();
  std::size_t size() const noexcept { return spans_.size(); }
  std::string_view text(std::size_t i) const noexcept {
    return {buffer_.data() + spans_[i].offset, spans_[i].length};
  }
  std::size_t file(std::size_t i) const noexcept { return spans_[i].file; }
  std::size_t number(std::size_t i) const noexcept { return spans_[i].number; }

 private:
  struct Span {
    std::size_t offset;
    std::size_t length;
    std::size_t file;
    std::size_t number;
  };
  std::string buffer_;
  std::vector<Span> spans_;
};

// The failure a shrunk stream keeps.
struct Failure {
  enum class Kind { none, line, verify };
  Kind kind = Kind::none;
  std::size_t line = 0;  // Kind::line: the index of the failing line in the stream
  std::string what;      // what it failed on, as the report says it
};

struct ShrinkResult {
  Failure failure;
  std::vector<std::size_t> kept;  // indices of the lines kept, ascending
  // Lines kept with members taken out, by index: their text, written in JSON's compact form.
  std::map<std::size_t, std::string> rewritten;
  std::size_t members = 0;  // members taken out of the lines kept
  std::size_t probes = 0;   // replays of a sub-stream, the whole stream's aside
  std::chrono::duration<double> seconds{};
};

// Writes the lines kept to `path`, one a line. Raises std::runtime_error when it cannot.
void writeShrunk(std::string const& path, StreamLines const& lines, ShrinkResult const& result);

// The report of `result`: how many lines were kept, where, and the failure kept. It refers to
// `files`, `out` and `result`.
ShrinkReport reportOf(ShrinkResult const& result, StreamLines const& lines,
                      std::vector<std::string> const& files, std::string_view out);

// Finds the failure of the whole stream and shrinks it. `lines` must be sealed. Raises
// SetupError when a session cannot start.
ShrinkResult shrink(SessionConfig const& config, RunSettings settings, StreamLines const& lines);

}  // namespace eedb::replay
