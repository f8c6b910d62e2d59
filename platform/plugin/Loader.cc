// The plug-in loader: the init callers that plug-in libraries record at load.
#include "plugin/Loader.h"

#include "pelix/Slab.h"

namespace Plugin::Impl {

namespace {

struct PluginRecord {
  Pelix::String loaderText1;
  Pelix::String name;
  Pelix::String loaderText2;
  Pelix::String text3;
  Pelix::String text4;
  LoaderInitCaller* caller;
};

// Plug-ins are never unrecorded and their libraries are never closed, so the record outlives
// every static destructor: it is deliberately never freed.
std::vector<PluginRecord>& records() {
  static auto* const all = new std::vector<PluginRecord>();
  return *all;
}

}  // namespace

void LoaderImpl::registerPlugin(Pelix::String const& loaderText1, Pelix::String const& pluginName,
                                Pelix::String const& loaderText2, Pelix::String const& text3,
                                Pelix::String const& text4, LoaderInitCaller* caller) {
  records().push_back({loaderText1, pluginName, loaderText2, text3, text4, caller});
}

std::size_t LoaderImpl::pluginCount() {
  return records().size();
}

void LoaderImpl::initAll() {
  // By index: an init may record further plug-ins and grow the record.
  auto const& all = records();
  for (std::size_t i = 0; i < all.size(); ++i) (*all[i].caller)();
}

std::vector<Pelix::String> LoaderImpl::pluginNames() {
  std::vector<Pelix::String> names;
  names.reserve(records().size());
  for (auto const& r : records()) names.push_back(r.name);
  return names;
}

// Nodes are made during static initialisation on the loading thread and freed, if ever, at
// exit: the slab allocator's single-thread rule holds.
void* nodeAlloc(std::size_t size) {
  return Pelix::slabAllocOrStdMalloc(size);
}

void nodeFree(void* p, std::size_t size) noexcept {
  Pelix::slabFree(p, size);
}

}  // namespace Plugin::Impl
