// The plug-in's own version, for the agent and tools that load it (Plugin::Library::version).
#include "BuildVersion.h"
#include "frame/Export.h"
#include "plugin/Library.h"

extern "C" EEDB_EXPORT Plugin::PluginVersion const* zuriPluginVersion() {
  static constexpr Plugin::PluginVersion kVersion{EEDB_VERSION, EEDB_COMMIT};
  return &kVersion;
}
