// A replay session: the plug-in loaded through the platform's plug-in loader, the table
// utilities it registers for one FAP revision, created as the agent creates them, and the offer
// of one log line to every table utility of its software table through processSwEntry, with
// what the offer did (applicability, size, SCHAN commands, the shadow read back, the failure).
#pragma once

#include <any>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Input.h"
#include "OfferResult.h"
#include "TraceCapture.h"
#include "Translator.h"
#include "hardware/FapRevision.h"
#include "pelix/Ptr.h"
#include "pelix/Reflection.h"
#include "plugin/Library.h"
#include "zuri_asic_utils/UtilBase.h"

namespace eedb::replay {

// The session cannot start: the plug-in does not load, registers nothing for the revision, or
// a table utility cannot be created.
class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SessionConfig {
  std::string pluginPath;
  Hardware::Zuri::FapRevision revision = Hardware::Zuri::FapRevision::fapRevGen3A0();
  std::vector<std::uint8_t> faps{0};  // every table utility's FAP mask
  bool updateOnDelete = false;
};

class Explainer;
class ProgrammedCheck;

class Session final : public Translator {
 public:
  using Util = LoadedUtil;

  // Loads the plug-in, initialises its plug-ins for a new context and creates every table
  // utility registered for the revision, in registration order, with the FAP mask and the
  // update-on-delete flag set. Raises SetupError.
  explicit Session(SessionConfig const& config);
  ~Session();
  Session(Session const&) = delete;
  Session& operator=(Session const&) = delete;

  std::vector<Util> const& utils() const noexcept { return utils_; }
  // The table utilities of a catalogue table, in registration order.
  std::vector<std::size_t> const& utilsOf(ZuriErrm::TableInfo const& table) const {
    return byTable_[table.index];
  }

  // From now on, offers record the trace lines captured while each runs; null stops that.
  void traceCaptureIs(TraceCapture const* capture) noexcept { traces_ = capture; }

  // Offers the line to every table utility of its table and returns what each offer did, valid
  // until the next offer. With `detail`, the shadow under the entry's hardware key is read back
  // through the table utility's reflected mapToHwKey and readShadowEntry.
  std::span<OfferResult const> offer(LogLine const& line, bool detail);

  // Translates an entry as shadow writing would, through the table utility's reflected
  // translateToHwFormat, which writes neither the shadow nor the chip. Fills `out` with the
  // hardware key, format and fields (present: always true); raises what translation raised.
  void translate(Util const& util, ZuriErrm::TableInfo const& table,
                 ZuriErrm::AnyLogEntry const& entry, Asic::UnitId unitId, std::uint8_t flags,
                 ShadowView& out) const override;

  // Every table utility the plug-in registers, for every revision, in registration order.
  std::vector<ZuriAsicUtils::UtilHolderContext::Registration> const& registrations() const {
    return context_->registrations();
  }
  Explainer& explainer() { return *explainer_; }

  // The hardware key that utils()[util] maps the line's entry to (its reflected mapToHwKey);
  // empty when it cannot say.
  std::optional<std::uint32_t> hwKeyOf(std::size_t util, LogLine const& line) const;

  // Calls visit(table type, ShadowView const&) for every entry of every hardware table, each
  // table once, in shadow order.
  void dumpShadow(std::function<void(std::string_view, ShadowView const&)> const& visit);

 private:
  // mapArgs: the line's log entry and unit id as reflection arguments, built once for all table
  // utilities of the line. The key is mapped through reflection, the system's interface; the
  // entry is read through it only while traces are captured (they show the call), else straight
  // from the shadow.
  static void readBack(Util const& util, LogLine const& line, std::span<std::any const, 2> mapArgs,
                       bool traced, OfferResult& result);
  // Sets shownUnder of the line's offers that read back an entry a sibling wrote.
  void markSiblingEntries(std::vector<std::size_t> const& indices);

  Plugin::Library library_;
  std::unique_ptr<ZuriAsicUtils::UtilHolderContext> context_;
  Pelix::Ptr<ZuriAsicUtils::TableManager> tableManager_;
  Pelix::Ptr<ZuriMdb::TableManager> mdbTableManager_;
  Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> hwWriterStatus_;
  Pelix::Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig> bulkDownloadErrConfig_;
  std::vector<Util> utils_;
  std::vector<std::vector<std::size_t>> byTable_;  // by TableInfo::index
  std::vector<OfferResult> results_;
  // The arguments of mapToHwKey (log entry, unit id), by TableInfo::index, kept from line to
  // line: a line copies its entry into the value its table's lines left, so that a stream that
  // changes table every line makes no new value (a log entry is too big to be held in place).
  std::vector<std::array<std::any, 2>> mapArgs_;
  std::unique_ptr<Explainer> explainer_;  // of failures and refusals, after the fact only
  std::unique_ptr<ProgrammedCheck> programmed_;
  TraceCapture const* traces_ = nullptr;
  std::vector<std::pair<std::size_t, std::size_t>> traceEnds_;  // by result: capture range
};

// "chip26_a0::ZuriErrmUtil::EedbOutrifUtil" -> "EedbOutrifUtil"
std::string_view shortNameOf(std::string_view name) noexcept;

}  // namespace eedb::replay
