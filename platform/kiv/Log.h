// Kiv logging: log descriptors name the agent's log messages, log handles are what code writes
// through. Kiv::log writes "%NAME: MESSAGE" to standard error, or to the sink that a test
// installs. Logging happens on failures only; it is not meant for per-entry paths.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "pelix/Duration.h"
#include "pelix/String.h"

namespace Kiv {

// One log message of the agent. The texts are literals that outlive every handle built on them.
struct LogDescriptor {
  std::string_view name;         // "HW_ABSTRACTION_EXCEPTION"
  std::string_view format;       // printf-style, filled by the caller: "%s"
  std::string_view explanation;  // for the operator: what happened and what follows
  std::string_view category;     // one byte naming the facility's category ("\x01")
  int severity;                  // syslog scale: 3 is an error
};

// A writable log. The rate settings follow the agent's logging facility: at most `burst`
// messages are written back to back before `holdoff` applies between messages, stretched by
// `backoff` after each suppression, up to `maxSuppressed` in a row (0: no limit). Our stand-in
// keeps them for inspection and writes every message.
class LogHandle {
 public:
  LogHandle(LogDescriptor const& descriptor, Pelix::Duration holdoff, double backoff,
            unsigned burst, unsigned maxSuppressed) noexcept
      : descriptor_(descriptor),
        holdoff_(holdoff),
        backoff_(backoff),
        burst_(burst),
        maxSuppressed_(maxSuppressed) {}
  LogHandle(LogHandle const&) = delete;
  LogHandle& operator=(LogHandle const&) = delete;

  LogDescriptor const& descriptor() const noexcept { return descriptor_; }
  std::string_view name() const noexcept { return descriptor_.name; }
  Pelix::Duration holdoff() const noexcept { return holdoff_; }
  double backoff() const noexcept { return backoff_; }
  unsigned burst() const noexcept { return burst_; }
  unsigned maxSuppressed() const noexcept { return maxSuppressed_; }
  // Messages written through this handle.
  std::uint64_t written() const noexcept { return written_.load(std::memory_order_relaxed); }

 private:
  friend void log(LogHandle const& handle, Pelix::String const& message);

  LogDescriptor descriptor_;
  Pelix::Duration holdoff_;
  double backoff_;
  unsigned burst_;
  unsigned maxSuppressed_;
  mutable std::atomic<std::uint64_t> written_{0};
};

// Writes "%NAME: MESSAGE", NAME the descriptor's name.
void log(LogHandle const& handle, Pelix::String const& message);

// Where log lines go (without the line end); an empty function restores standard error.
using LogSink = std::function<void(std::string_view line)>;
void logSinkIs(LogSink sink);

}  // namespace Kiv
