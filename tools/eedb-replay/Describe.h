// Discovery: what the plug-in's table utilities take and what they make of it. --list-tables
// lists the catalogue's software tables with the table utilities registered for them and their
// revisions; --describe TABLE shows, per table utility, each view with the format it selects and
// the rule by which every input field reaches the hardware entry, and an example line per view.
//
// Nothing here is a second list of tables, fields or formats: the tables and fields come from
// the catalogue, the utilities from the plug-in's registrations, and the rules from translating
// chosen values through each table utility's reflected translateToHwFormat (no shadow write)
// and comparing the hardware fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "Session.h"

namespace eedb::replay {

// How one input field reaches the entry of one view, named as the table files name their rules
// (cut, copy, checked, bounded, flag); derived for any other computation.
struct FieldRule {
  enum class Kind { selectsView, copy, cut, checked, bounded, flag, derived, unused, fails };
  std::string field;  // path from the entry, "key.outlif"
  Kind kind = Kind::unused;
  std::vector<std::string> targets;  // hardware fields; "hardware key" for the key
  unsigned lowBits = 0;              // cut: only the low N bits are kept
  std::optional<std::uint64_t> max;  // the largest value that translates, when one fails
  std::string note;                  // what else there is to know ("IPv4 address")
  // A flag or derived field of a small domain, value by value: "ttlMode 1 -> 1, any other -> 0".
  std::string mapping;

  // "cut to fodo (low 15 bits)", "checked to mtuProfile (max 15)", "not used by this view"
  std::string text() const;
};
std::string_view kindName(FieldRule::Kind kind);

struct ViewDescription {
  std::optional<unsigned> view;  // none for a table without views
  std::string format;            // empty for a direct table's one-bit entry
  unsigned sizeBits = 0;
  std::string failure;  // the cause when an empty entry of the view does not translate
  std::vector<FieldRule> rules;
};

struct UtilDescription {
  std::string util;
  std::string hwTable;
  std::vector<ViewDescription> views;
};

struct TableDescription {
  ZuriErrm::TableInfo const* table = nullptr;
  std::vector<UtilDescription> utils;
  std::vector<std::string> examples;  // input lines (JSON), one per view
};

TableDescription describeTable(Session& session, ZuriErrm::TableInfo const& table);
// One view of one table utility (`view` empty for a table without views).
ViewDescription describeView(Explainer& explainer, Session::Util const& util,
                             ZuriErrm::TableInfo const& table, std::optional<unsigned> view);

// --list-tables: a catalogue table with the table utilities registered for it, in registration
// order, each with its revisions.
struct TableListing {
  ZuriErrm::TableInfo const* table = nullptr;
  std::size_t fields = 0;
  std::vector<std::pair<std::string, std::vector<std::string>>> utils;
};
std::vector<TableListing> listTables(Session const& session);

// The catalogue table of that name; nullptr with `message` set ("unknown table 'X'; did you
// mean 'Y'?") for another.
ZuriErrm::TableInfo const* tableNamed(std::string_view name, std::string& message);

}  // namespace eedb::replay
