// The agent's log: descriptors, handles and the standard error (or test) sink.
#include "kiv/Log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace Kiv {
namespace {

struct LogOutput {
  std::mutex mutex;
  LogSink sink;
};

// Never destroyed: log handles of libraries are destroyed at exit in an order we do not know.
LogOutput& output() {
  static auto* const o = new LogOutput;
  return *o;
}

}  // namespace

void log(LogHandle const& handle, Pelix::String const& message) {
  std::string line;
  line.reserve(1 + handle.name().size() + 2 + message.size());
  line += '%';
  line += handle.name();
  line += ": ";
  line += message;
  handle.written_.fetch_add(1, std::memory_order_relaxed);
  auto& o = output();
  LogSink sink;
  {
    std::lock_guard lock(o.mutex);
    sink = o.sink;
  }
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void logSinkIs(LogSink sink) {
  auto& o = output();
  std::lock_guard lock(o.mutex);
  o.sink = std::move(sink);
}

}  // namespace Kiv
