// The trace lines of a replay, captured instead of going to standard error, so that the report
// shows each one beside the offer that caused it. Installed only while some trace level is on:
// with tracing off nothing is captured and nothing costs.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "kiv/Trace.h"

namespace eedb::replay {

// One trace line in its parts (Kiv::TraceRecord, owning its text).
struct TraceLine {
  std::string handle;
  unsigned level = 0;
  std::string file;
  int line = 0;
  std::string function;
  std::string classLabel;
  std::string message;

  Kiv::TraceRecord record() const noexcept {
    return {handle, level, file, line, function, classLabel, message};
  }
};

class TraceCapture {
 public:
  // Installs itself as the platform's trace record sink until destroyed.
  TraceCapture();
  ~TraceCapture();
  TraceCapture(TraceCapture const&) = delete;
  TraceCapture& operator=(TraceCapture const&) = delete;

  std::size_t size() const noexcept { return lines_.size(); }
  std::span<TraceLine const> lines() const noexcept { return lines_; }
  std::span<TraceLine const> lines(std::size_t begin, std::size_t end) const noexcept {
    return std::span<TraceLine const>(lines_).subspan(begin, end - begin);
  }
  void clear() noexcept { lines_.clear(); }

 private:
  std::vector<TraceLine> lines_;
};

// Writes trace lines to `stream` as the platform writes them to standard error, escaped.
void printTraces(std::FILE* stream, std::span<TraceLine const> lines);

// One warning on `stream` naming the handles of the trace configuration (ZURI_TRACE and
// --trace) that no trace handle has, with the names of the known ones; nothing when every name
// is known. Call it once the table utilities exist.
void warnUnknownTraceHandles(std::FILE* stream);

}  // namespace eedb::replay
