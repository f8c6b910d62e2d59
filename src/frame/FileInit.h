// What every table's source file builds at load before its registration object: the three log
// handles of the library's log descriptors and the process-wide assertion mode.
#pragma once

#include "kiv/Log.h"

namespace eedb {

// Reads GRACEFUL_ASSERT_MODE once for the process: the first table file to load decides.
struct AssertModeInit {
  AssertModeInit() noexcept;
};

// The log descriptors of the library; only HW_ABSTRACTION_EXCEPTION is ever written.
Kiv::LogDescriptor const& hwAbstractionErrorDescriptor();
Kiv::LogDescriptor const& hwAbstractionRelaunchErrorDescriptor();
Kiv::LogDescriptor const& hwAbstractionExceptionDescriptor();

struct FileLogHandles {
  FileLogHandles();
  Kiv::LogHandle error;
  Kiv::LogHandle relaunchError;
  Kiv::LogHandle exception;
};

}  // namespace eedb
