// Trace lines captured while offers run, to be shown with the offer that caused them.

#include "TraceCapture.h"

#include <fmt/format.h>

#include "Escape.h"

namespace eedb::replay {

TraceCapture::TraceCapture() {
  Kiv::traceRecordSinkIs([this](Kiv::TraceRecord const& r) {
    lines_.push_back({std::string(r.handle), r.level, std::string(r.file), r.line,
                      std::string(r.function), std::string(r.classLabel), std::string(r.message)});
  });
}

TraceCapture::~TraceCapture() {
  Kiv::traceRecordSinkIs({});
}

void printTraces(std::FILE* stream, std::span<TraceLine const> lines) {
  for (auto const& line : lines) {
    fmt::print(stream, "{}\n", escapedText(fmt::format("{}", line.record())));
  }
}

void warnUnknownTraceHandles(std::FILE* stream) {
  auto const unknown = Kiv::traceConfigUnknownHandles();
  if (unknown.empty()) return;
  std::vector<std::string> quoted;
  for (auto const& name : unknown) quoted.push_back(fmt::format("'{}'", escapedText(name)));
  fmt::print(stream,
             "eedb-replay: warning: ZURI_TRACE/--trace: no trace handle named {}; known "
             "handles: {}\n",
             fmt::join(quoted, ", "), fmt::join(Kiv::traceHandleNames(), ", "));
}

}  // namespace eedb::replay
