// A minimal host of the plug-in, as the agent loads it: the plug-in's path as the first argument
// (else the installed one), the table utility EedbOutrifUtil of chip type 26 revision A0 on the
// FAP 0, an entry added and deleted, and after each the SCHAN commands and the shadow entry.
#include <cstdio>
#include <string>

#include <fmt/format.h>

#include "asic/OrderedTableException.h"
#include "chip26_a0/EedbHwMdb.h"
#include "plugin/Library.h"
#include "zuri_asic_utils/UtilBase.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"
#include "zuri_errm/EedbOutrif.h"

using namespace ZuriAsicUtils;

// Offers one log entry; prints the commands that write the chip and what the shadow holds then.
void offer(UtilBase& util, ZuriErrm::EedbOutrifLogEntry const& entry, std::uint8_t flags) {
  auto const wrapper =
      Pelix::make<ZuriErrm::EedbOutrifLogEntryWrapper>(entry, Asic::UnitId(0), flags);
  try {
    for (SchanCmd const& command : util.processSwEntry(wrapper)) fmt::print("  {}\n", command);
  } catch (Asic::OrderedTableException const& e) {
    fmt::print("  failed: {}\n", e.what());  // the shadow is as it was
  }
  auto const* table = dynamic_cast<chip26_a0::EedbHwMdb const*>(util.hwTableBase().get());
  auto const* stored = table->findEntry({SchanAccel::FapId(0), 0},
                                        chip26_a0::EedbHwMdb::EntryKey(entry.key().value()));
  fmt::print("  shadow: {}\n", stored ? fmt::format("{}", *stored) : std::string("none"));
}

int main(int argc, char** argv) try {
  Plugin::Library const plugin = Plugin::loadLibrary(argc > 1 ? argv[1] : EEDB26_PLUGIN);
  UtilHolderContext context;  // the plug-in registers a factory per table utility and revision
  UtilPluginNamespace::DefaultUtilLoader()->initPlugins(&context);
  fmt::print("loaded {}: {} registrations\n", plugin.path(), context.registrations().size());

  UtilKey key{"chip26_a0::ZuriErrmUtil::EedbOutrifUtil", Asic::SwTableId(0x03010C07),
              Hardware::Zuri::FapRevision{Hardware::ChipType{26}, 'A', 0}};
  UtilFactory const* factory = context.findFactory(key);
  if (!factory) throw std::runtime_error("no EedbOutrifUtil for 26:A0");
  // The chip's table managers, shared by every table utility of one chip.
  Pelix::Ptr<UtilBase> const util =
      (*factory)(key, Pelix::make<TableManager>(), Pelix::make<ZuriMdb::TableManager>(),
                 Pelix::make<HwWriterStatus>(), Pelix::make<HwBulkDownloadErrConfig>());
  util->fapIdIs(Pelix::make<FapControlData const>(SchanAccel::FapId(0)));

  ZuriErrm::EedbOutrifLogEntry entry;
  entry.keyIs(ZuriErrm::EedbOutrifEntryKey(4096));
  entry.viewTypeIs(1);
  entry.mtuProfileIs(2);
  entry.fodoIs(100);
  fmt::print("add {}:\n", util->utilKey().utilName);
  offer(*util, entry, 0);
  fmt::print("delete:\n");
  offer(*util, entry, ZuriErrm::LogFlumeFlags::kDelete);
  return 0;
} catch (std::exception const& e) {
  fmt::print(stderr, "host: {}\n", e.what());
  return 1;
}
