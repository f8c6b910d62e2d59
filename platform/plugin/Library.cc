// Loading a plug-in library by path (dlopen) and checking that it recorded its plug-ins.
#include "plugin/Library.h"

#include <dlfcn.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "kiv/Trace.h"
#include "plugin/Loader.h"

namespace Plugin {

namespace {

// Libraries loaded so far; like the libraries themselves, never released.
std::vector<Library>& loaded() {
  static auto* const all = new std::vector<Library>();
  return *all;
}

// The dynamic linker's text, without the path it starts with ("PATH: cannot open shared object
// file: ..."): LoadError names the path once.
std::string dlerrorText(std::string_view path) {
  char const* text = dlerror();
  std::string_view reason = text ? text : "unknown dynamic linker failure";
  if (reason.starts_with(path) && reason.substr(path.size()).starts_with(": ")) {
    reason.remove_prefix(path.size() + 2);
  }
  return std::string(reason);
}

void declareTraceHandles(void* handle) {
  auto* const namesOf =
      reinterpret_cast<TraceHandleNames const* (*)()>(dlsym(handle, kTraceHandlesSymbol));
  if (namesOf == nullptr) return;
  TraceHandleNames const* const list = namesOf();
  if (list == nullptr) return;
  Kiv::traceHandleNamesDeclared(
      std::vector<std::string_view>(list->names, list->names + list->count));
}

}  // namespace

LoadError::LoadError(std::string path, std::string reason)
    : std::runtime_error(fmt::format("cannot load plug-in library {}: {}", path, reason)),
      path_(std::move(path)),
      reason_(std::move(reason)) {}

LoadError::~LoadError() = default;

void* Library::symbol(char const* name) const noexcept {
  return dlsym(handle_, name);
}

PluginVersion const* Library::version() const noexcept {
  auto* const versionOf = reinterpret_cast<PluginVersion const* (*)()>(symbol(kVersionSymbol));
  return versionOf != nullptr ? versionOf() : nullptr;
}

Library loadLibrary(std::string const& path) {
  std::size_t const before = Impl::LoaderImpl::pluginCount();
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) throw LoadError(path, dlerrorText(path));

  // A second dlopen of a loaded library runs no static initialisation: give back its record
  // and drop the extra reference.
  auto& all = loaded();
  auto known = std::find_if(all.begin(), all.end(),
                            [handle](Library const& l) { return l.handle() == handle; });
  if (known != all.end()) {
    dlclose(handle);
    return *known;
  }

  std::size_t const after = Impl::LoaderImpl::pluginCount();
  if (after == before) {
    dlclose(handle);
    throw LoadError(path, "registers no plug-in");
  }
  declareTraceHandles(handle);
  auto names = Impl::LoaderImpl::pluginNames();
  names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(before));
  all.push_back(Library(path, handle, std::move(names)));
  return all.back();
}

}  // namespace Plugin
