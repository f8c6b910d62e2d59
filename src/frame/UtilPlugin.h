// Registration of table utilities with the agent. Each table's source file owns one
// TableUtilFile object, whose members are built at library load in this order: the three log
// handles, the process-wide assertion mode, the file's reflection module, and the registration
// object, which hooks an init caller into the default util loader. When the loader initialises
// its plug-ins for a context, the registration object registers the table utility's factory
// for every supported FAP revision of chip type 26.
#pragma once

#include <new>

#include "frame/Export.h"
#include "frame/FileInit.h"
#include "frame/Reflection.h"
#include "hardware/FapRevision.h"
#include "pelix/MemTrack.h"
#include "pelix/String.h"
#include "plugin/Loader.h"
#include "translate/TableContract.h"
#include "zuri_asic_utils/UtilBase.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace ZuriAsicUtils {

template <class Constants, class Util, Hardware::ChipType Chip>
class UtilPlugin : public Plugin::PluginBase<UtilHolderContext> {
 public:
  using Loader = Plugin::Loader<UtilHolderContext>;
  using ListNode = typename Loader::ListNode;

  UtilPlugin() {
    Pelix::String const text3;
    Pelix::String const text4;
    Loader* loader = UtilPluginNamespace::DefaultUtilLoader();
    Pelix::String const name = Pelix::String(Util::kName) + "Plugin";
    // The node belongs to the loader from here on; it is never freed by this object.
    void* storage = Plugin::Impl::nodeAlloc(sizeof(ListNode));
    Pelix::MemTrack::Impl::alloc(&Pelix::Allocator<ListNode>::tracker_, "Plugin::Loader::ListNode",
                                 sizeof(ListNode), 1);
    auto* node = new (storage) ListNode{nullptr, {loader, this->initCaller()}};
    loader->pushFront(node);
    Plugin::Impl::LoaderImpl::registerPlugin(loader->text1(), name, loader->text2(), text3, text4,
                                             &node->payload);
  }
  ~UtilPlugin() override {}

  // Registers the factory once per supported revision of the chip type, in ascending order;
  // revisions added while registering are visited when they lie beyond the current one.
  void init(UtilHolderContext* context) override {
    Pelix::Ptr<SupportedFapRevList> const list = SupportedFapRevList::fapRevisionList();
    for (auto revision = list->first(); revision; revision = list->next(*revision)) {
      if (revision->chipType() != Chip) continue;
      UtilFactory const factory(&Util::factory);
      UtilKey const key{Pelix::String(Util::kName), Constants::swTableId, *revision};
      context->registerUtil(key, factory);
    }
  }
};

}  // namespace ZuriAsicUtils

namespace eedb {

// Announces the table utility's reflection module to the runtime.
template <class Util>
struct ModuleLoaded {
  ModuleLoaded() { Pelix::HideMe<Util>::module.loaded(); }
};

// Everything a table's source file builds at load, in order.
template <class Util>
struct TableUtilFile {
  FileLogHandles logs;
  AssertModeInit assertMode;
  ModuleLoaded<Util> module;
  ZuriAsicUtils::UtilPlugin<typename Util::ConstantsType, Util, Hardware::ChipType{26}> plugin;
};

}  // namespace eedb

// The free factory of a table utility and its file's registration objects. Here the table class
// is complete, so its contract with the frame is checked here (translate/TableContract.h).
#define EEDB_TABLE_UTIL(Util, factoryFunction, fileObject)           \
  static_assert(eedb::kKeepsTableContract<Util>);                    \
  EEDB_EXPORT Pelix::Ptr<Util> factoryFunction(                      \
      ZuriAsicUtils::UtilKey const& utilKey,                         \
      Pelix::Ptr<ZuriAsicUtils::TableManager> const& hwTableManager, \
      Util::ThirdArg const& third) {                                 \
    return Util::create(utilKey, hwTableManager, third);             \
  }                                                                  \
  EEDB_EXPORT eedb::TableUtilFile<Util> fileObject
