// The agent's default util loader, which every table-utility plug-in hooks into.
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace ZuriAsicUtils::UtilPluginNamespace {

// Never destroyed: the plug-ins' registration objects and their list nodes live until the
// process ends, and their static destructors may run after ours.
Plugin::Loader<UtilHolderContext>* DefaultUtilLoader() {
  static auto* const loader =
      new Plugin::Loader<UtilHolderContext>("ZuriAsicUtils", "UtilHolderContext");
  return loader;
}

}  // namespace ZuriAsicUtils::UtilPluginNamespace
