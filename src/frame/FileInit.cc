// What a table file builds at load: the assertion mode read once for the process, and the log
// handles of the library's three log descriptors (the first file's exception log is the library's).
#include <cstdlib>
#include <cstring>

#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "frame/FileInit.h"
#include "pipeline/Failure.h"

namespace eedb {

AssertModeInit::AssertModeInit() noexcept {
  if (Asic::modeInitialized) return;
  Asic::modeInitialized = true;
  char const* value = std::getenv("GRACEFUL_ASSERT_MODE");
  Asic::mode = value != nullptr && std::strcmp(value, "assert") == 0 ? 1 : 0;
}

// Function-local: table files build their log handles during static initialisation, in any
// order relative to this file.
Kiv::LogDescriptor const& hwAbstractionErrorDescriptor() {
  static Kiv::LogDescriptor const descriptor{
      "HW_ABSTRACTION_ERROR", "Hardware abstraction error: unable to load item: %s",
      "Hardware abstraction error: unable to load some persistent items. Some agents will be "
      "restarted",
      "\x01", 3};
  return descriptor;
}

Kiv::LogDescriptor const& hwAbstractionRelaunchErrorDescriptor() {
  static Kiv::LogDescriptor const descriptor{"HW_ABSTRACTION_RELAUNCH_ERROR", "%s",
                                             "Duplicate Writer Detected, flume path not cleaned up",
                                             "\x01", 3};
  return descriptor;
}

Kiv::LogDescriptor const& hwAbstractionExceptionDescriptor() {
  static Kiv::LogDescriptor const descriptor{"HW_ABSTRACTION_EXCEPTION", "%s", "Exception", "\x01",
                                             3};
  return descriptor;
}

FileLogHandles::FileLogHandles()
    : error(hwAbstractionErrorDescriptor(), Pelix::Duration(), 1.0, 0u, 0u),
      relaunchError(hwAbstractionRelaunchErrorDescriptor(), Pelix::Duration(), 1.0, 0u, 0u),
      exception(hwAbstractionExceptionDescriptor(), Pelix::Duration(), 1.0, 0u, 0u) {
  if (Asic::exceptionLogHandle() == nullptr) Asic::exceptionLogHandleIs(&exception);
}

}  // namespace eedb
