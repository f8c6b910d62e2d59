// Failure handling shared by every table utility: the guards that turn any failure of key
// mapping, translation and per-format hooks into Asic::OrderedTableException with a context
// message, the reporting mode, graceful assertions, and the library's exception log.
#pragma once

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "kiv/Log.h"
#include "kiv/Trace.h"
#include "pelix/Assert.h"
#include "pelix/String.h"

namespace Asic {

// 0 throws the caught failure on as Asic::OrderedTableException; any other value reports it
// (trace, HW_ABSTRACTION_EXCEPTION log, recovery callable) and returns.
enum ExceptionHandlingMode : int { kThrow = 0, kReport = 1 };

// The trace handle of the guards' reports, created on first use; the plug-in exports its name
// (zuriPluginTraceHandles), so that tools know it before any failure.
inline constexpr char kExceptionTraceHandleName[] = "OrderedTableException";
Kiv::TraceHandle& exceptionUtilsTraceHandle();

// The HW_ABSTRACTION_EXCEPTION log of this library (the first table file's handle).
Kiv::LogHandle const* exceptionLogHandle() noexcept;
void exceptionLogHandleIs(Kiv::LogHandle const* handle) noexcept;

void handleKnownException(std::exception const& e, Pelix::String const& context,
                          ExceptionHandlingMode mode, std::function<void()> const& recovery);
void handleUnknownException(Pelix::String const& context, ExceptionHandlingMode mode,
                            std::function<void()> const& recovery);

// Runs body(args...). On a failure builds the context message (only then) and hands it to the
// handlers; in a reporting mode returns a value-initialised result after them. Inlined: a guard
// costs nothing until something fails.
template <class Body, class MessageBuilder, class... Args>
[[gnu::always_inline]] inline auto exceptionHandlingWrapper(ExceptionHandlingMode mode, Body&& body,
                                                            MessageBuilder&& message,
                                                            std::function<void()> const& recovery,
                                                            Args&&... args)
    -> decltype(body(std::forward<Args>(args)...)) {
  using Result = decltype(body(std::forward<Args>(args)...));
  try {
    return body(std::forward<Args>(args)...);
  } catch (std::exception const& e) {
    handleKnownException(e, message(), mode, recovery);
  } catch (...) {
    handleUnknownException(message(), mode, recovery);
  }
  if constexpr (std::is_void_v<Result>) {
    return;
  } else if constexpr (std::is_default_constructible_v<Result>) {
    return Result{};
  } else {
    std::terminate();  // a reporting guard around a body whose result has no empty value
  }
}

// The recovery of the throwing mode: nothing. At namespace scope, so that a guard reaches it
// without the initialisation check of a local static.
inline std::function<void()> const kNoRecovery;

// The guard: the throwing mode with a recovery that does nothing.
template <class Body, class MessageBuilder, class... Args>
[[gnu::always_inline]] inline auto throwIfException(Body&& body, MessageBuilder&& message,
                                                    Args&&... args)
    -> decltype(body(std::forward<Args>(args)...)) {
  return exceptionHandlingWrapper(kThrow, std::forward<Body>(body),
                                  std::forward<MessageBuilder>(message), kNoRecovery,
                                  std::forward<Args>(args)...);
}

// Formats the message, then "AssertionError at FILE:LINE (CONDITION) - MESSAGE", and raises
// Asic::GracefulAssertException with it.
[[noreturn]] void throwGracefulAssertExceptionText(char const* file, int line,
                                                   char const* condition,
                                                   Pelix::String const& message);

template <class... Args>
[[noreturn]] void throwGracefulAssertException(char const* file, int line, char const* condition,
                                               fmt::format_string<Args...> format, Args&&... args) {
  throwGracefulAssertExceptionText(file, line, condition,
                                   fmt::format(format, std::forward<Args>(args)...));
}

// The process-wide assertion mode: 1 makes graceful assertions fatal.
bool gracefulAssertFatal() noexcept;

}  // namespace Asic

// A check inside translation: fatal (Pelix::fmassert) in assertion mode 1, otherwise
// Asic::GracefulAssertException, which the enclosing guard reports.
#define EEDB_GRACEFUL_ASSERT(condition, ...)                                             \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      if (::Asic::gracefulAssertFatal()) {                                               \
        ::Pelix::fmassert(__FILE__, __func__, __LINE__, ::fmt::format(__VA_ARGS__));     \
      }                                                                                  \
      ::Asic::throwGracefulAssertException(__FILE__, __LINE__, #condition, __VA_ARGS__); \
    }                                                                                    \
  } while (false)
