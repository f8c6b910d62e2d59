// The plug-in loaded, its table utilities created, and a line offered to each.

#include "Session.h"

#include <algorithm>
#include <array>
#include <new>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <variant>

#include <fmt/format.h>

#include "Explainer.h"
#include "Notes.h"
#include "asic/OrderedTableException.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "chip26_a0/HwShadow.h"
#include "kiv/Sassert.h"
#include "pelix/RangeException.h"
#include "zuri_asic_utils/UtilPluginNamespace.h"

namespace eedb::replay {

using ZuriAsicUtils::HwCommonTableBase;
using ZuriAsicUtils::HwShadowKey;

OfferError currentError() {
  // Most derived first: a graceful assertion is an ordered-table exception too.
  try {
    throw;
  } catch (Asic::GracefulAssertException const& e) {
    return {"Asic::GracefulAssertException", e.what()};
  } catch (Asic::OrderedTableException const& e) {
    return {"Asic::OrderedTableException", e.what()};
  } catch (Pelix::RangeException const& e) {
    return {"Pelix::RangeException", e.what()};
  } catch (Kiv::SassertException const& e) {
    return {"Kiv::SassertException", e.what()};
  } catch (chip26_a0::SchanDecodeException const& e) {
    return {"chip26_a0::SchanDecodeException", e.what()};
  } catch (std::bad_any_cast const& e) {
    return {"std::bad_any_cast", e.what()};
  } catch (std::bad_alloc const& e) {
    return {"std::bad_alloc", e.what()};
  } catch (std::logic_error const& e) {
    return {"std::logic_error", e.what()};
  } catch (std::runtime_error const& e) {
    return {"std::runtime_error", e.what()};
  } catch (std::exception const& e) {
    return {"std::exception", e.what()};
  } catch (...) {
    return {"unknown", "unknown exception"};
  }
}

// How the tool reads one class of hardware table: the values that reflection hands back, the
// shadow itself (presence, every entry).
struct TableAccess {
  bool (*is)(HwCommonTableBase const* table);
  // Fills the view's key, presence, format and fields; false when the values are not of the
  // table's types.
  bool (*read)(HwCommonTableBase const& table, HwShadowKey shadowKey, std::any const& key,
               std::any const& entry, ShadowView& view);
  // As read() with the entry that readShadowEntry answers (the stored one, or the key's blank
  // entry), taken from the shadow itself: for output only, where no trace line shows the call.
  bool (*readStored)(HwCommonTableBase const& table, HwShadowKey shadowKey, std::any const& key,
                     ShadowView& view);
  void (*dump)(HwCommonTableBase const& table, std::function<void(ShadowView const&)> const& visit);
  // Fills the view's key, format and fields from an entry value; false for another type.
  bool (*decode)(std::any const& entry, ShadowView& view);
  // Entries have a size in bits, which the commands carry.
  bool sized;
};

namespace {

void fillEntry(chip26_a0::EedbHwMdb::Entry const& entry, ShadowView& view) {
  auto const* format = entry.format();
  view.format = format != nullptr ? format->name : std::string_view();
  entry.forEachField(
      [&](chip26_a0::layout::FieldSpec const& field, chip26_a0::layout::FieldValue const& value) {
        view.fields.push_back({field.name, value, field.kind});
      });
}

// A direct entry has no format, only its one bit.
template <class Entry>
requires requires {
  Entry::kFieldName;
}
void fillEntry(Entry const& entry, ShadowView& view) {
  view.format = {};
  chip26_a0::layout::FieldValue::Words words{};
  words[0] = static_cast<std::uint32_t>(entry.bit().value());
  view.fields.push_back({Entry::kFieldName, chip26_a0::layout::FieldValue(1, words)});
}

template <class Table>
struct AccessOf {
  using Entry = typename Table::Entry;
  using EntryKey = typename Table::EntryKey;

  static bool is(HwCommonTableBase const* table) {
    return dynamic_cast<Table const*>(table) != nullptr;
  }
  static bool read(HwCommonTableBase const& base, HwShadowKey shadowKey, std::any const& key,
                   std::any const& entry, ShadowView& view) {
    auto const* hwKey = std::any_cast<EntryKey>(&key);
    auto const* stored = std::any_cast<Entry>(&entry);
    if (hwKey == nullptr || stored == nullptr) return false;
    view.key = hwKey->value();
    view.present = static_cast<Table const&>(base).findEntry(shadowKey, *hwKey) != nullptr;
    view.fields.clear();
    fillEntry(*stored, view);
    return true;
  }
  static bool readStored(HwCommonTableBase const& base, HwShadowKey shadowKey, std::any const& key,
                         ShadowView& view) {
    auto const* hwKey = std::any_cast<EntryKey>(&key);
    if (hwKey == nullptr) return false;
    Entry const* const stored = static_cast<Table const&>(base).findEntry(shadowKey, *hwKey);
    view.key = hwKey->value();
    view.present = stored != nullptr;
    view.fields.clear();
    if (stored != nullptr) {
      fillEntry(*stored, view);
    } else {
      fillEntry(Entry(*hwKey), view);
    }
    return true;
  }
  static void dump(HwCommonTableBase const& base,
                   std::function<void(ShadowView const&)> const& visit) {
    ShadowView view;
    static_cast<Table const&>(base).forEachEntry([&](HwShadowKey shadowKey, Entry const& e) {
      view.fap = shadowKey.fapId().value();
      view.instance = shadowKey.instanceId();
      view.key = e.key().value();
      view.present = true;
      view.fields.clear();
      fillEntry(e, view);
      visit(view);
    });
  }
  static bool decode(std::any const& entry, ShadowView& view) {
    auto const* e = std::any_cast<Entry>(&entry);
    if (e == nullptr) return false;
    view.key = e->key().value();
    view.present = true;
    view.fields.clear();
    fillEntry(*e, view);
    return true;
  }
  static constexpr TableAccess kAccess{&is,   &read,   &readStored,
                                       &dump, &decode, Table::kEntriesHaveSize};
};

constexpr TableAccess const* kTableAccess[] = {
    &AccessOf<chip26_a0::EedbHwMdb>::kAccess,
    &AccessOf<chip26_a0::EedbAgMemTlmHwDirect>::kAccess,
    &AccessOf<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect>::kAccess,
};

TableAccess const* accessFor(HwCommonTableBase const* table) {
  if (table == nullptr) return nullptr;
  for (auto const* access : kTableAccess) {
    if (access->is(table)) return access;
  }
  return nullptr;
}

Plugin::Library loadPlugin(std::string const& path) {
  try {
    return Plugin::loadLibrary(path);
  } catch (Plugin::LoadError const& e) {
    throw SetupError(e.what());
  }
}

// The table utility's reflected tableName(); its class name when that is not offered.
std::string tableNameOf(ZuriAsicUtils::UtilBase& util) {
  if (auto const* type = util.typeData()) {
    std::any name;
    if (Pelix::inspect(util, *type, "tableName", Pelix::Access::call, {}, &name) ==
        Pelix::kInspectDone) {
      if (auto const* text = std::any_cast<Pelix::String>(&name)) return *text;
    }
  }
  return util.utilKey().utilName;
}

// Whether the type record offers the operation, as Pelix::inspect finds it.
bool offersCall(Pelix::TypeRecord const* type, std::string_view name) {
  if (type == nullptr || type->inspect == nullptr) return false;
  Pelix::MemberRecord const* member = type->findMember(name);
  return member != nullptr && member->kind != Pelix::MemberKind::attribute;
}

std::uint64_t actedCount(ZuriAsicUtils::UtilStats const* stats) {
  return stats == nullptr ? 0 : stats->addCnt() + stats->deleteCnt() + stats->updateOnDelCnt();
}

}  // namespace

std::string_view shortNameOf(std::string_view name) noexcept {
  auto const colon = name.rfind("::");
  return colon == std::string_view::npos ? name : name.substr(colon + 2);
}

Session::Session(SessionConfig const& config)
    : library_(loadPlugin(config.pluginPath)),
      context_(std::make_unique<ZuriAsicUtils::UtilHolderContext>()),
      tableManager_(Pelix::make<ZuriAsicUtils::TableManager>()),
      mdbTableManager_(Pelix::make<ZuriMdb::TableManager>()),
      hwWriterStatus_(Pelix::make<ZuriAsicUtils::HwWriterStatus>()),
      bulkDownloadErrConfig_(Pelix::make<ZuriAsicUtils::HwBulkDownloadErrConfig>()),
      byTable_(ZuriErrm::tables().size()),
      mapArgs_(ZuriErrm::tables().size()) {
  try {
    ZuriAsicUtils::UtilPluginNamespace::DefaultUtilLoader()->initPlugins(context_.get());
  } catch (...) {
    auto const e = currentError();
    throw SetupError(fmt::format("initialising the plug-ins failed: {}: {}", e.type, e.message));
  }
  for (auto const& registration : context_->registrations()) {
    auto const& key = registration.key;
    if (key.fapRevision != config.revision) continue;
    Pelix::Ptr<ZuriAsicUtils::UtilBase> util;
    try {
      util = registration.factory(key, tableManager_, mdbTableManager_, hwWriterStatus_,
                                  bulkDownloadErrConfig_);
      if (!util) throw SetupError("the factory returned nothing");
      for (std::uint8_t fap : config.faps) {
        util->fapIdIs(Pelix::make<ZuriAsicUtils::FapControlData>(SchanAccel::FapId(fap)));
      }
    } catch (...) {
      auto const e = currentError();
      throw SetupError(fmt::format("cannot create {}: {}", key.utilName, e.message));
    }
    if (config.updateOnDelete && util->hwTableBase()) {
      util->hwTableBase()->updateOnDeleteIs(true);
    }
    for (auto const& table : ZuriErrm::tables()) {
      if (table.swTableId == key.swTableId) byTable_[table.index].push_back(utils_.size());
    }
    utils_.push_back({util,
                      tableNameOf(*util),
                      accessFor(util->hwTableBase().get()),
                      {},
                      offersCall(util->typeData(), "mapToHwKey")});
  }
  explainer_ = std::make_unique<Explainer>(*this);
  programmed_ = std::make_unique<ProgrammedCheck>(*this);
  for (auto& util : utils_) util.shortName = shortNameOf(util.name);  // names no longer move
  if (utils_.empty()) {
    // Name the revisions it does register for.
    std::vector<std::string> known;
    for (auto const& registration : context_->registrations()) {
      auto name = fmt::format("{}", registration.key.fapRevision);
      if (std::find(known.begin(), known.end(), name) == known.end()) known.push_back(name);
    }
    std::sort(known.begin(), known.end());
    std::string names;
    for (auto const& name : known) names += (names.empty() ? "" : ", ") + name;
    throw SetupError(
        fmt::format("{} registers no table utility for revision {} (known revisions: {})",
                    config.pluginPath, config.revision, names.empty() ? "none" : names));
  }
}

Session::~Session() = default;

std::span<OfferResult const> Session::offer(LogLine const& line, bool detail) {
  auto const& indices = byTable_[line.table->index];
  if (results_.size() < indices.size()) {
    results_.resize(indices.size());
    traceEnds_.resize(indices.size());
  }
  auto const& wrapper = line.wrapper();
  std::array<std::any, 2>& args = mapArgs_[line.table->index];
  if (detail) {
    std::visit(
        [&](auto const& entry) {
          using Entry = std::remove_cvref_t<decltype(entry)>;
          if (auto* held = std::any_cast<Entry>(&args[0])) {
            *held = entry;
          } else {
            args[0] = entry;
          }
        },
        line.entry);
    if (auto* unitId = std::any_cast<Asic::UnitId>(&args[1])) {
      *unitId = line.unitId;
    } else {
      args[1] = line.unitId;
    }
  }
  std::span<std::any const, 2> const mapArgs(args);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    Util const& util = utils_[indices[i]];
    OfferResult& result = results_[i];
    result.util = util.name;
    result.name = util.shortName;
    result.error.reset();
    result.blame.reset();
    result.reason.clear();
    result.applicable = false;
    result.sizeBits = 0;
    result.cmds.clear();
    result.shadowRead = false;
    result.shownUnder = {};
    result.traced = traces_ != nullptr;
    result.traces = {};
    std::size_t const traceBegin = result.traced ? traces_->size() : 0;
    ZuriAsicUtils::UtilStats const* stats = util.util->stats().get();
    std::uint64_t const before = actedCount(stats);
    try {
      result.cmds = util.util->processSwEntry(wrapper);
      // processSwEntry answers with the commands only. Shadow writing counts exactly one add,
      // delete or update-on-delete for an applicable entry and nothing for another, and a
      // sized table's commands cover the size that shadow writing returned (none for 0).
      result.applicable = actedCount(stats) != before;
      if (util.access != nullptr && util.access->sized && !result.cmds.empty()) {
        result.sizeBits = result.cmds.front().sizeBits;
      }
    } catch (...) {
      result.error = currentError();
    }
    programmed_->check(line, indices[i], result);
    if (detail) readBack(util, line, mapArgs, result.traced, result);
    if (result.traced) traceEnds_[i] = {traceBegin, traces_->size()};
    // Only after the fact: a failure or a refusal is explained by translating again, with its
    // trace lines dropped.
    if (detail && (result.error || !result.applicable)) explainer_->explain(util, line, result);
  }
  if (detail) markSiblingEntries(indices);
  if (traces_ != nullptr) {
    // The capture grows while the offers run: their views are taken once it is complete.
    for (std::size_t i = 0; i < indices.size(); ++i) {
      results_[i].traces = traces_->lines(traceEnds_[i].first, traceEnds_[i].second);
    }
  }
  return {results_.data(), indices.size()};
}

// The table utilities of one software table share a hardware table (an IP tunnel key moves from
// one to its sibling when it changes view): an offer that wrote nothing reads back, under its
// key, the entry that a sibling wrote or deleted in the same line. It points to that sibling,
// whose offer shows the entry, instead of showing it as if it had written it.
void Session::markSiblingEntries(std::vector<std::size_t> const& indices) {
  auto const wrote = [](OfferResult const& r) { return !r.error && r.applicable; };
  for (std::size_t i = 0; i < indices.size(); ++i) {
    OfferResult& result = results_[i];
    if (!result.shadowRead || wrote(result)) continue;
    auto const* table = utils_[indices[i]].util->hwTableBase().get();
    for (std::size_t j = 0; j < indices.size(); ++j) {
      OfferResult const& writer = results_[j];
      if (j == i || !writer.shadowRead || !wrote(writer) ||
          utils_[indices[j]].util->hwTableBase().get() != table ||
          writer.shadow.fap != result.shadow.fap ||
          writer.shadow.instance != result.shadow.instance ||
          writer.shadow.key != result.shadow.key) {
        continue;
      }
      result.shownUnder = writer.name;
      break;
    }
  }
}

void Session::readBack(Util const& util, LogLine const& line, std::span<std::any const, 2> mapArgs,
                       bool traced, OfferResult& result) {
  auto const* type = util.util->typeData();
  if (util.access == nullptr || type == nullptr || !util.mapsToHwKey) return;
  try {
    // The member was found once (mapsToHwKey): the call goes to the type's glue directly.
    std::any key;
    if (type->inspect(*util.util, "mapToHwKey", Pelix::Access::call, mapArgs, &key) !=
        Pelix::kInspectDone) {
      return;
    }
    SchanAccel::FapId const fapId(line.unitId.fapIdRaw());
    ZuriAsicUtils::InstanceId const instanceId = line.unitId.instanceId();
    HwShadowKey const shadowKey(fapId, instanceId);
    result.shadow.fap = fapId.value();
    result.shadow.instance = instanceId;
    if (!traced) {
      result.shadowRead =
          util.access->readStored(*util.util->hwTableBase(), shadowKey, key, result.shadow);
      return;
    }
    // Traced: through the table utility, whose trace lines the output shows.
    std::any const readArgs[] = {std::any(fapId), std::any(instanceId), key};
    std::any entry;
    if (Pelix::inspect(*util.util, *type, "readShadowEntry", Pelix::Access::call, readArgs,
                       &entry) != Pelix::kInspectDone) {
      return;
    }
    result.shadowRead =
        util.access->read(*util.util->hwTableBase(), shadowKey, key, entry, result.shadow);
  } catch (...) {
    // What cannot be read back (a FAP id out of range, a key that does not map) is left out.
    result.shadowRead = false;
  }
}

void Session::translate(Util const& util, ZuriErrm::TableInfo const& table,
                        ZuriErrm::AnyLogEntry const& entry, Asic::UnitId unitId, std::uint8_t flags,
                        ShadowView& out) const {
  auto const* type = util.util->typeData();
  if (util.access == nullptr || type == nullptr) {
    throw std::logic_error(fmt::format("{} cannot be inspected", util.name));
  }
  std::any const args[] = {std::any(table.makeWrapper(entry, unitId, flags))};
  std::any translated;
  if (Pelix::inspect(*util.util, *type, "translateToHwFormat", Pelix::Access::call, args,
                     &translated) != Pelix::kInspectDone ||
      !util.access->decode(translated, out)) {
    throw std::logic_error(fmt::format("{} does not offer translateToHwFormat", util.name));
  }
  out.fap = unitId.fapIdRaw();
  out.instance = unitId.instanceId();
}

std::optional<std::uint32_t> Session::hwKeyOf(std::size_t util, LogLine const& line) const {
  Util const& u = utils_[util];
  auto const* type = u.util->typeData();
  if (u.access == nullptr || type == nullptr) return std::nullopt;
  try {
    std::any const args[] = {
        std::visit([](auto const& entry) { return std::any(entry); }, line.entry),
        std::any(line.unitId)};
    std::any key;
    ShadowView view;
    if (Pelix::inspect(*u.util, *type, "mapToHwKey", Pelix::Access::call, args, &key) !=
            Pelix::kInspectDone ||
        !u.access->readStored(*u.util->hwTableBase(), HwShadowKey(), key, view)) {
      return std::nullopt;
    }
    return view.key;
  } catch (...) {
    return std::nullopt;  // a key that does not map
  }
}

void Session::dumpShadow(std::function<void(std::string_view, ShadowView const&)> const& visit) {
  std::vector<HwCommonTableBase const*> done;
  for (auto const& util : utils_) {
    HwCommonTableBase const* table = util.util->hwTableBase().get();
    if (util.access == nullptr || std::find(done.begin(), done.end(), table) != done.end()) {
      continue;
    }
    done.push_back(table);
    std::string const type = table->tableType();
    util.access->dump(*table, [&](ShadowView const& view) { visit(type, view); });
  }
}

}  // namespace eedb::replay
