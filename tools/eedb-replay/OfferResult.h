// What one offer of a log line to a table utility did, and the values it is made of: the
// hardware entry as the shadow holds it, the failure raised, the input value a failure is pinned
// on, and the notes of an applicable offer. Plain values: whoever prints, draws or checks them
// needs this header only, not the session that produced them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "TraceCapture.h"
#include "chip26_a0/EntryLayout.h"
#include "replay_support/Catalog.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace eedb::replay {

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

// The type name and text of the exception being handled (call it inside a catch block).
OfferError currentError();

// The one input value a failure is pinned on: the software field ("mtuProfile",
// "key.dipOutlif", "unit.fap"), its value and, for a number, the largest value that translates.
struct FieldBlame {
  std::string field;
  ZuriErrm::Value value;
  std::optional<std::uint64_t> limit;
};

// An input value that its cut rule does not keep whole (Notes.h).
struct LossyNote {
  std::string_view field;   // the input field, "fodo", "key.outlif"
  std::string_view target;  // the hardware field, or "hardware key"
  std::string_view rule;    // "cut to fodo (low 15 bits)"
  std::uint64_t input = 0;
  std::uint64_t programmed = 0;
  unsigned lowBits = 0;
};

// The entry of another software table that an offer overwrote (write) or deleted (clear).
struct OverwriteNote {
  std::string_view util;    // the table utility that wrote it, tableName()
  std::string_view name;    // its class name without namespaces
  std::string_view format;  // its format; empty for an entry without one
  bool deleted = false;
};

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
  // An offer that wrote nothing reads back the entry that a sibling table utility of the line
  // wrote (or deleted) under the same key of their shared hardware table: that sibling's name,
  // under whose offer the entry is shown. Empty otherwise.
  std::string_view shownUnder;
  // While traces are captured: the trace lines of the offer, in order.
  bool traced = false;
  std::span<TraceLine const> traces;
  // Only when applicable: the input values a cut did not keep whole, and the entry of another
  // software table that the offer overwrote or deleted (Notes.h).
  std::vector<LossyNote> lossy;
  std::optional<OverwriteNote> overwrites;
};

}  // namespace eedb::replay
