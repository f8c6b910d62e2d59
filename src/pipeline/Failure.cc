// What the guards do with a caught failure: throw it on as Asic::OrderedTableException, or report
// it (trace, exception log, recovery); the graceful assertion's text; the exception trace handle.
#include "pipeline/Failure.h"

#include "frame/Export.h"
#include "plugin/Library.h"

namespace Asic {
namespace {
Kiv::LogHandle const* gExceptionLog = nullptr;
}  // namespace

Kiv::TraceHandle& exceptionUtilsTraceHandle() {
  static Kiv::TraceHandle handle(std::string(kExceptionTraceHandleName), false);
  return handle;
}

Kiv::LogHandle const* exceptionLogHandle() noexcept {
  return gExceptionLog;
}
void exceptionLogHandleIs(Kiv::LogHandle const* handle) noexcept {
  gExceptionLog = handle;
}

bool gracefulAssertFatal() noexcept {
  return Asic::mode == 1;
}

namespace {
void report(Pelix::String const& context, std::function<void()> const& recovery) {
  if (gExceptionLog != nullptr) Kiv::log(*gExceptionLog, context);
  if (recovery) recovery();
}
}  // namespace

void handleKnownException(std::exception const& e, Pelix::String const& context,
                          ExceptionHandlingMode mode, std::function<void()> const& recovery) {
  if (mode == kThrow) throwOrderedTableException(context, e.what());
  EEDB_TRACE(exceptionUtilsTraceHandle(), 0, "handleKnownException", "", "Exception: {} [{}]",
             context, e.what());
  report(context, recovery);
}

void handleUnknownException(Pelix::String const& context, ExceptionHandlingMode mode,
                            std::function<void()> const& recovery) {
  if (mode == kThrow) throwOrderedTableExceptionUnknown(context);
  EEDB_TRACE(exceptionUtilsTraceHandle(), 0, "handleUnknownException", "", "Unknown exception: {}",
             context);
  report(context, recovery);
}

void throwGracefulAssertExceptionText(char const* file, int line, char const* condition,
                                      Pelix::String const& message) {
  throw GracefulAssertException(
      fmt::format("AssertionError at {}:{} ({}) - {}", file, line, condition, message));
}

}  // namespace Asic

// The trace handles of the plug-in outside its table utilities (each of those is named after its
// class and lives from the table utility's creation on), for the loader to declare.
extern "C" EEDB_EXPORT Plugin::TraceHandleNames const* zuriPluginTraceHandles() {
  static constexpr char const* kNames[] = {Asic::kExceptionTraceHandleName};
  static constexpr Plugin::TraceHandleNames kList{kNames, std::size(kNames)};
  return &kList;
}
