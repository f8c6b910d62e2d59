// Loading plug-in libraries by path: dlopen the shared object, whose static initialisation
// records its plug-ins with the loader, and check that it recorded at least one.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "pelix/String.h"

namespace Plugin {

// A library could not be loaded as a plug-in. what() is "cannot load plug-in library PATH:
// REASON"; the reason is the dynamic linker's text, or "registers no plug-in".
class LoadError : public std::runtime_error {
 public:
  LoadError(std::string path, std::string reason);
  ~LoadError() override;

  std::string const& path() const noexcept { return path_; }
  std::string const& reason() const noexcept { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// What a plug-in library says of itself, through the function it exports by the name
// kVersionSymbol: `extern "C" Plugin::PluginVersion const* zuriPluginVersion()`.
struct PluginVersion {
  char const* version;  // "0.1.0"
  char const* commit;   // the source's commit, "" when it was not built from a git work tree
};
inline constexpr char kVersionSymbol[] = "zuriPluginVersion";

// The trace handles a plug-in library creates on first use, through the function it exports by
// the name kTraceHandlesSymbol: `extern "C" Plugin::TraceHandleNames const*
// zuriPluginTraceHandles()`. Loading the library declares them to Kiv, so that tools know the
// names before any handle lives.
struct TraceHandleNames {
  char const* const* names;
  std::size_t count;
};
inline constexpr char kTraceHandlesSymbol[] = "zuriPluginTraceHandles";

// A loaded plug-in library. It stays loaded until the process ends: the loader's list nodes
// and recorded callers point into its code.
class Library {
 public:
  std::string const& path() const noexcept { return path_; }
  void* handle() const noexcept { return handle_; }
  // The plug-ins that the library recorded while it was loaded, in the order of recording.
  std::vector<Pelix::String> const& pluginNames() const noexcept { return pluginNames_; }
  // The address of an exported symbol, or null.
  void* symbol(char const* name) const noexcept;
  // The library's own version, or null when it exports none.
  PluginVersion const* version() const noexcept;

 private:
  friend Library loadLibrary(std::string const& path);
  Library(std::string path, void* handle, std::vector<Pelix::String> pluginNames)
      : path_(std::move(path)), handle_(handle), pluginNames_(std::move(pluginNames)) {}

  std::string path_;
  void* handle_;
  std::vector<Pelix::String> pluginNames_;
};

// Loads the shared object at `path` (RTLD_NOW | RTLD_LOCAL) and declares the trace handle names
// it exports (kTraceHandlesSymbol). Loading a library that is
// already loaded returns its first record. Raises LoadError for a missing file, a file that is
// not a loadable library, or a library that records no plug-in; the loader is then left as it
// was (a library that recorded nothing is closed again). Call it from the agent's thread.
Library loadLibrary(std::string const& path);

}  // namespace Plugin
