// What an applicable offer programmed other than the line asked, though nothing failed: an input
// value that a cut rule does not keep whole (fodo 40000 becomes 7232 in a 15-bit field), and an
// entry of another software table that the offer overwrote or deleted in a shared hardware
// table (an Out-RIF entry under the key an MPLS tunnel entry then takes).
//
// Both are the tool's findings, beside the offer: the cut rules come from probing each view once,
// as --describe does, the first time an offer of the view is applicable; the owners come from
// the SCHAN commands. Entries are owned by software table, not by table utility: the table
// utilities of one software table take turns on a key by design (an IP tunnel key that changes
// view moves from one utility to its sibling).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "FieldRead.h"
#include "Input.h"
#include "OfferResult.h"

namespace eedb::replay {

class Session;

// "fodo 40000 programmed as 7232 (low 15 bits)"; the hardware field is named when it has
// another name ("label1 1048677 programmed as mplsLabel 101 (low 20 bits)").
std::string lossyText(LossyNote const& note);
// "overwrites EedbOutrifUtil's entry (format EedbRifBasicEtpsEthRif60Entry)", "deletes ..."
std::string overwriteText(OverwriteNote const& note);

class ProgrammedCheck {
 public:
  explicit ProgrammedCheck(Session& session);
  ~ProgrammedCheck();
  ProgrammedCheck(ProgrammedCheck const&) = delete;
  ProgrammedCheck& operator=(ProgrammedCheck const&) = delete;

  // After the offer of `line` to the table utility utils()[util] returned without error: fills
  // result.lossy and result.overwrites (left empty when the offer was not applicable).
  void check(LogLine const& line, std::size_t util, OfferResult& result);

 private:
  // A field that a cut rule does not keep whole, read straight from the log entry.
  struct CutRule {
    std::string field;
    std::string target;
    std::string rule;
    NumberRead read;
    unsigned lowBits;
    std::uint64_t kept;  // the mask of the bits kept
  };
  std::vector<CutRule> const& cutRules(std::size_t util, LogLine const& line);
  void checkOwners(LogLine const& line, std::size_t util, OfferResult& result);
  std::size_t memoryNumber(std::string_view memory);

  Session& session_;
  // By table utility, then by view (the last slot for a table without views): computed once.
  std::vector<std::vector<std::unique_ptr<std::vector<CutRule>>>> rules_;
  // By TableInfo::index: the reader of the field that selects the view, found once (none for a
  // table without views).
  struct ViewSelector {
    bool found = false;
    NumberRead read = nullptr;
  };
  std::vector<ViewSelector> views_;
  struct Owner {
    std::uint16_t table;  // TableInfo::index of the software table; kNoOwner: none
    std::uint16_t util;   // index into Session::utils()
    std::uint8_t format;  // the result type written
  };
  static constexpr std::uint16_t kNoOwner = 0xFFFF;
  // The owners of the places of a hardware table, in pages of neighbouring indexes, so that the
  // map is looked up by page (few, and met again and again) and not once per place written (as
  // many as the entries, each a new slot): a stream's keys tend to be near each other.
  static constexpr std::size_t kPagePlaces = 1024;
  using Page = std::array<Owner, kPagePlaces>;
  std::vector<std::string_view> memories_;  // the memories met, by their number in the keys
  absl::flat_hash_map<std::uint64_t, std::unique_ptr<Page>> owners_;  // by place key / kPagePlaces
};

}  // namespace eedb::replay
