// Kiv::TraceHandle and Pelix::fmtrace: leveled tracing.
//
// A handle has a name and levels 0 to 9, each on or off. Handles are configured from the
// environment variable ZURI_TRACE, a comma-separated list of HANDLE/LEVELS items
// ("EedbOutrifUtil/3", "EedbArpTableUtil/0-8", "*/0,3"); unset, every level is off. A trace
// line goes to standard error, or to the sink that a test installs, as
//   HANDLE LEVEL FILE:LINE FUNCTION [CLASS] MESSAGE
// or, in its parts, to a record sink (a tool that shows each trace beside what caused it).
// Callers test the level first (EEDB_TRACE does): a level that is off formats nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace Kiv {

class TraceHandle {
 public:
  static constexpr unsigned kLevels = 10;

  // Takes its levels from the current configuration (ZURI_TRACE or traceConfigIs).
  explicit TraceHandle(std::string name, bool flag = false);
  ~TraceHandle();
  TraceHandle(TraceHandle const&) = delete;
  TraceHandle& operator=(TraceHandle const&) = delete;

  std::string const& name() const noexcept { return name_; }
  bool enabled(unsigned level) const noexcept { return (levels_ >> level & 1u) != 0; }
  void levelIs(unsigned level, bool on) noexcept;
  std::uint16_t levels() const noexcept { return levels_; }
  bool flag() const noexcept { return flag_; }

 private:
  friend void traceConfigIs(std::string_view spec);
  friend bool traceConfigAdd(std::string_view spec);
  std::string name_;
  std::uint16_t levels_ = 0;
  bool flag_;
};

// Replaces the trace configuration (same syntax as ZURI_TRACE) and applies it to every live
// handle and to handles created later. Returns false, changing nothing, when the text is
// malformed.
bool traceConfigValid(std::string_view spec);
void traceConfigIs(std::string_view spec);
// Adds the items of `spec` to the configuration: the levels of both are on. Returns false,
// changing nothing, when the text is malformed.
bool traceConfigAdd(std::string_view spec);

// Records handle names that a loaded library creates on first use: a handle that does not live
// yet is still a known name (a library's handles are function-local statics).
void traceHandleNamesDeclared(std::vector<std::string_view> const& names);

// Names of the live and the declared handles, sorted, each once.
std::vector<std::string> traceHandleNames();
// Handle names in the configuration that no live or declared handle has ("*" aside), in order,
// each once.
std::vector<std::string> traceConfigUnknownHandles();

// Where trace lines go; an empty function restores standard error.
using TraceSink = std::function<void(std::string_view line)>;
void traceSinkIs(TraceSink sink);

// One trace line in its parts; the views live for the sink call only.
struct TraceRecord {
  std::string_view handle;
  unsigned level = 0;
  std::string_view file;  // without its directory
  int line = 0;
  std::string_view function;
  std::string_view classLabel;
  std::string_view message;
};

// Where trace lines go in their parts; while one is installed, the line sink and standard error
// get nothing. An empty function removes it.
using TraceRecordSink = std::function<void(TraceRecord const& record)>;
void traceRecordSinkIs(TraceRecordSink sink);
// The record sink installed now; empty when none is.
TraceRecordSink traceRecordSink();

}  // namespace Kiv

// "HANDLE LEVEL FILE:LINE FUNCTION [CLASS] MESSAGE", the line a trace sink receives.
template <>
struct fmt::formatter<Kiv::TraceRecord> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(Kiv::TraceRecord const& r, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "{} {} {}:{} {} [{}] {}", r.handle, r.level, r.file, r.line,
                          r.function, r.classLabel, r.message);
  }
};

namespace Pelix {
namespace Impl {

// Writes one formatted trace line to the trace sink.
void vfmtrace(Kiv::TraceHandle const& handle, unsigned level, char const* file,
              char const* function, int line, std::string_view classLabel, fmt::string_view format,
              fmt::format_args args);

}  // namespace Impl

// Formats a trace line and hands it to Impl::vfmtrace. Callers test the level first; kept out
// of line and cold, so that a disabled trace costs its callers only the test.
template <class... Args>
[[gnu::cold, gnu::noinline]] void fmtrace(Kiv::TraceHandle const& handle, unsigned level,
                                          char const* file, char const* function, int line,
                                          std::string_view classLabel,
                                          fmt::format_string<Args...> format, Args&&... args) {
  Impl::vfmtrace(handle, level, file, function, line, classLabel, format,
                 fmt::make_format_args(args...));
}

}  // namespace Pelix

// Traces at a level of a handle, formatting only when the level is on.
#define EEDB_TRACE(handle, level, function, classLabel, ...)                            \
  do {                                                                                  \
    if ((handle).enabled(level)) {                                                      \
      ::Pelix::fmtrace((handle), (level), __FILE__, (function), __LINE__, (classLabel), \
                       __VA_ARGS__);                                                    \
    }                                                                                   \
  } while (false)
