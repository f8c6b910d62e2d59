// The agent's default util loader: every table-utility plug-in hooks into it at load.
#pragma once

#include "plugin/Loader.h"
#include "zuri_asic_utils/UtilBase.h"

namespace ZuriAsicUtils::UtilPluginNamespace {

// The process's loader of table-utility plug-ins; never null, never destroyed. Its two texts
// are "ZuriAsicUtils" and "UtilHolderContext".
Plugin::Loader<UtilHolderContext>* DefaultUtilLoader();

}  // namespace ZuriAsicUtils::UtilPluginNamespace
