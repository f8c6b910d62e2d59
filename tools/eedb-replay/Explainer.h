// Explanations that the plug-in does not give: which input value a failed offer stumbled on
// (its field, value and the largest value that translates) and why an offer was not applicable
// (a view the table utility does not have, a FAP outside its FAP mask). Everything is found by
// translating again through the table utility's reflected translateToHwFormat, which writes
// neither the shadow nor the chip, and only after the offer failed or was refused.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Input.h"
#include "OfferResult.h"
#include "Translator.h"
#include "kiv/Trace.h"

namespace eedb::replay {

// The text of a failure without the contexts that guards put before it ("translateToHwFormat:
// [logEntry: ...]: "), which change with every input value.
std::string_view failureCause(std::string_view message) noexcept;

// "0-3,7"
std::string fapMaskText(SchanAccel::Fapmask const& mask);

// The catalogue field that selects a table's view ("viewType"), or nullptr for a table without
// views.
ZuriErrm::FieldInfo const* viewField(ZuriErrm::TableInfo const& table) noexcept;

// One leaf input field with its path from the entry ("key.dipOutlif").
struct FieldPath {
  std::string path;
  ZuriErrm::FieldInfo const* info;
};
// Every leaf field of the table that the entry shows (with `all`, also view data of other
// views), in storage order.
std::vector<FieldPath> leafFields(ZuriErrm::TableInfo const& table,
                                  ZuriErrm::AnyLogEntry const& entry, bool all = false);

// The translations of an explanation are not the replay's: while one lives, trace lines are
// dropped.
class QuietTraces {
 public:
  QuietTraces();
  ~QuietTraces();
  QuietTraces(QuietTraces const&) = delete;
  QuietTraces& operator=(QuietTraces const&) = delete;

 private:
  Kiv::TraceRecordSink saved_;
};

class Explainer {
 public:
  static constexpr unsigned kMaxViews = 256;
  using ViewSet = std::bitset<kMaxViews>;

  explicit Explainer(Translator const& translator) : translator_(translator) {}

  // Fills result.blame after a failure, result.reason after a refusal.
  void explain(LoadedUtil const& util, LogLine const& line, OfferResult& result);

  // The blame of a failed translation of the line, if one input value explains it.
  std::optional<FieldBlame> blame(LoadedUtil const& util, LogLine const& line) const;
  // Why the table utility does not take the line, into `out` (left empty when nothing explains
  // it).
  void reason(LoadedUtil const& util, LogLine const& line, std::string& out);

  // The view types whose entries the table utility translates into a format (or fails to),
  // found once per table utility by translating an empty entry of each view type.
  ViewSet const& views(LoadedUtil const& util, ZuriErrm::TableInfo const& table);

  // The outcome of one translation: the entry, or the cause of the failure.
  struct Attempt {
    bool ok = false;
    std::string cause;
    ShadowView entry;
    bool sameAs(Attempt const& other) const {
      return ok == other.ok && (ok || cause == other.cause);
    }
  };
  Attempt attempt(LoadedUtil const& util, ZuriErrm::TableInfo const& table,
                  ZuriErrm::AnyLogEntry const& entry, Asic::UnitId unitId,
                  std::uint8_t flags = 0) const;

 private:
  Translator const& translator_;
  struct Views {
    ViewSet set;
    std::string list;
    std::vector<std::string> refused;         // by view not in `set`: why, once it was said
    std::optional<SchanAccel::Fapmask> mask;  // the FAP mask last shown, and its text
    std::string maskText;
  };
  Views& viewsOf(LoadedUtil const& util, ZuriErrm::TableInfo const& table);
  std::unordered_map<ZuriAsicUtils::UtilBase const*, Views> views_;
};

}  // namespace eedb::replay
