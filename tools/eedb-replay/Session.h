// A replay session: the plug-in loaded through the platform's plug-in loader, the table
// utilities it registers for one FAP revision, created as the agent creates them, and the offer
// of one log line to every table utility of its software table through processSwEntry, with
// what the offer did (applicability, size, SCHAN commands, the shadow read back, the failure).
#pragma once

#include <any>
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
#include "Notes.h"
#include "TraceCapture.h"
#include "chip26_a0/EntryLayout.h"
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

struct ShadowField {
  std::string_view name;
  chip26_a0::layout::FieldValue value;
  chip26_a0::layout::FieldKind kind = chip26_a0::layout::FieldKind::number;
};

// One hardware entry as the shadow holds it.
struct ShadowView {
  std::uint8_t fap = 0;
  std::uint8_t instance = 0;
  std::uint32_t key = 0;
  bool present = false;
  std::string_view format;  // empty for an entry without a format
  std::vector<ShadowField> fields;
};

// A failure raised by an offer: the exception's type name and its text.
struct OfferError {
  std::string_view type;
  std::string message;
};

// The one input value a failure is pinned on: the software field ("mtuProfile",
// "key.dipOutlif", "unit.fap"), its value and, for a number, the largest value that translates.
struct FieldBlame {
  std::string field;
  ZuriErrm::Value value;
  std::optional<std::uint64_t> limit;
};

class Explainer;

// What one offer did. Reused from offer to offer.
struct OfferResult {
  std::string_view util;  // the table utility's tableName()
  std::string_view name;  // its class name without namespaces, e.g. "EedbOutrifUtil"
  std::optional<OfferError> error;
  std::optional<FieldBlame> blame;  // with an error that one input value explains (detail only)
  std::string reason;               // why the offer was not applicable (detail only)
  // Only when no error:
  bool applicable = false;
  std::uint32_t sizeBits = 0;
  ZuriAsicUtils::SchanCmds cmds;
  // Only when the offer was reported in detail and the shadow could be read back:
  bool shadowRead = false;
  ShadowView shadow;
  // While traces are captured: the trace lines of the offer, in order.
  bool traced = false;
  std::span<TraceLine const> traces;
  // Only when applicable: the input values a cut did not keep whole, and the entry of another
  // software table that the offer overwrote or deleted (Notes.h).
  std::vector<LossyNote> lossy;
  std::optional<OverwriteNote> overwrites;
};

// The type name and text of the exception being handled (call it inside a catch block).
OfferError currentError();

class Session {
 public:
  struct TableAccess;  // how the tool reads one class of hardware table

  struct Util {
    Pelix::Ptr<ZuriAsicUtils::UtilBase> util;
    std::string name;                     // tableName()
    TableAccess const* access = nullptr;  // null for a hardware table class the tool does not know
    std::string_view shortName;           // name without namespaces, within `name`
  };

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
                 ShadowView& out) const;

  // Every table utility the plug-in registers, for every revision, in registration order.
  std::vector<ZuriAsicUtils::UtilHolderContext::Registration> const& registrations() const {
    return context_->registrations();
  }
  Explainer& explainer() { return *explainer_; }

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

  Plugin::Library library_;
  std::unique_ptr<ZuriAsicUtils::UtilHolderContext> context_;
  Pelix::Ptr<ZuriAsicUtils::TableManager> tableManager_;
  Pelix::Ptr<ZuriMdb::TableManager> mdbTableManager_;
  Pelix::Ptr<ZuriAsicUtils::HwWriterStatus> hwWriterStatus_;
  Pelix::Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig> bulkDownloadErrConfig_;
  std::vector<Util> utils_;
  std::vector<std::vector<std::size_t>> byTable_;  // by TableInfo::index
  std::vector<OfferResult> results_;
  std::unique_ptr<Explainer> explainer_;  // of failures and refusals, after the fact only
  std::unique_ptr<ProgrammedCheck> programmed_;
  TraceCapture const* traces_ = nullptr;
  std::vector<std::pair<std::size_t, std::size_t>> traceEnds_;  // by result: capture range
};

// "chip26_a0::ZuriErrmUtil::EedbOutrifUtil" -> "EedbOutrifUtil"
std::string_view shortNameOf(std::string_view name) noexcept;

}  // namespace eedb::replay
