// A plug-in library for the loader tests. At load, two registration objects hook into the
// default util loader, each recording a plug-in (whose init registers nothing).

#include <cstdint>
#include <new>

#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "plugin/Loader.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace {

using namespace ZuriAsicUtils;
using Loader = Plugin::Loader<UtilHolderContext>;

class TestPlugin : public Plugin::PluginBase<UtilHolderContext> {
 public:
  explicit TestPlugin(char const* utilName) : utilName_(utilName) {
    Loader* loader = UtilPluginNamespace::DefaultUtilLoader();
    void* storage = Plugin::Impl::nodeAlloc(sizeof(Loader::ListNode));
    auto* node = new (storage)
        Loader::ListNode{nullptr, Loader::LoaderInitCallerWithContext(loader, initCaller())};
    loader->pushFront(node);
    Plugin::Impl::LoaderImpl::registerPlugin(loader->text1(), utilName_ + "Plugin", loader->text2(),
                                             {}, {}, &node->payload);
  }

  void init(UtilHolderContext*) override {}

 private:
  Pelix::String utilName_;
};

TestPlugin firstPlugin("TestPlugin::FirstUtil");
TestPlugin secondPlugin("TestPlugin::SecondUtil");

}  // namespace

// Probes for the tests, found with dlsym.
extern "C" void const* eedbTestPluginInitCaller(int index) {
  return index == 0 ? firstPlugin.initCaller() : secondPlugin.initCaller();
}

extern "C" void eedbTestPluginThrow() {
  throw Asic::GracefulAssertException("raised inside the plug-in");
}

extern "C" std::int32_t* eedbTestPluginModeAddress() {
  return &Asic::mode;
}
