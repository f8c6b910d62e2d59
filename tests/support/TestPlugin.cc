// A plug-in library for the loader tests. At load, two registration objects hook into the
// default util loader, each recording a plug-in whose init registers one factory of a minimal
// table utility under chip 26 revision A0.

#include <cstdint>
#include <new>

#include "asic/Mode.h"
#include "asic/OrderedTableException.h"
#include "plugin/Loader.h"
#include "zuri_asic_utils/UtilBase.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace {

using namespace ZuriAsicUtils;
using Loader = Plugin::Loader<UtilHolderContext>;

class DummyUtil final : public NonMdbUtilBase {
 public:
  using NonMdbUtilBase::NonMdbUtilBase;

  static Pelix::Ptr<UtilBase> factory(UtilKey const& key, Pelix::Ptr<TableManager> const& tm,
                                      Pelix::Ptr<ZuriMdb::TableManager> const&,
                                      Pelix::Ptr<HwWriterStatus> const& status,
                                      Pelix::Ptr<HwBulkDownloadErrConfig> const&) {
    return Pelix::make<DummyUtil>(key, tm, status);
  }

  Pelix::TypeRecord const* typeData() const override { return nullptr; }
  SchanCmds processSwEntry(Pelix::Ptr<Asic::LogEntryWrapperBase> const&) override { return {}; }
  bool utilApplicable(Pelix::Ptr<Asic::LogEntryWrapperBase> const&) override { return false; }
  Pelix::String hwTableType() const override { return "TestPlugin::NoTable"; }
  std::uint32_t writeSwEntryToShadow(Pelix::Ptr<Asic::LogEntryWrapperBase> const&) override {
    return 0;
  }
  SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const&, std::uint32_t) override {
    return {};
  }
  SchanCmds clearHwTable(Asic::UnitId) override { return {}; }
};

class TestPlugin : public Plugin::PluginBase<UtilHolderContext> {
 public:
  TestPlugin(char const* utilName, std::uint32_t swTableId)
      : utilName_(utilName), swTableId_(swTableId) {
    Loader* loader = UtilPluginNamespace::DefaultUtilLoader();
    void* storage = Plugin::Impl::nodeAlloc(sizeof(Loader::ListNode));
    auto* node = new (storage)
        Loader::ListNode{nullptr, Loader::LoaderInitCallerWithContext(loader, initCaller())};
    loader->pushFront(node);
    Plugin::Impl::LoaderImpl::registerPlugin(loader->text1(), utilName_ + "Plugin", loader->text2(),
                                             {}, {}, &node->payload);
  }

  void init(UtilHolderContext* context) override {
    context->registerUtil(UtilKey{utilName_, Asic::SwTableId(swTableId_),
                                  Hardware::Zuri::FapRevision::fapRevGen3A0()},
                          &DummyUtil::factory);
  }

 private:
  Pelix::String utilName_;
  std::uint32_t swTableId_;
};

TestPlugin firstPlugin("TestPlugin::FirstUtil", 0x7f000001);
TestPlugin secondPlugin("TestPlugin::SecondUtil", 0x7f000002);

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
