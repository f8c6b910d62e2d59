#include "pipeline/Failure.h"

#include "ancillary/Utility.h"
#include "kiv/Sassert.h"
#include "pipeline/CheckedCast.h"
#include "pipeline/Downcast.h"

namespace Asic {
namespace {
Kiv::LogHandle const* gExceptionLog = nullptr;
}  // namespace

Kiv::TraceHandle& exceptionUtilsTraceHandle() {
  static Kiv::TraceHandle handle("OrderedTableException", false);
  return handle;
}

namespace {
// Created when the plug-in loads, so that tools can name it among the known handles.
[[maybe_unused]] Kiv::TraceHandle const& gExceptionTraceAtLoad = exceptionUtilsTraceHandle();
}  // namespace

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

namespace Asic::Detail {

void raiseCastText(std::string_view sourceType, std::uint64_t value, unsigned bits,
                   std::uint64_t max) {
  Ancillary::Utility::raise(
      std::range_error(fmt::format("Casting values: cast from {}{{ {} }} to U{} (max = {}) failed.",
                                   sourceType, value, bits, max)));
}

}  // namespace Asic::Detail

namespace ZuriAsicUtils::detail {

void failNotOfTable(std::string_view className, char const* operation, char const* file, int line) {
  Kiv::SassertHelper::fail("\"logPtr\" == nullptr", "logPtr is NULL",
                           fmt::format("{}::{}", className, operation).c_str(), file, line);
}

}  // namespace ZuriAsicUtils::detail
