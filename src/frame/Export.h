// Symbols of the plug-in are hidden by default; registration objects and factories are the
// ones the agent may look up, and are exported on purpose.
#pragma once

#define EEDB_EXPORT __attribute__((visibility("default")))
