// --show: which of a replay's records are printed. A filter changes what is printed, never what
// is replayed: every line is still offered, held against its expectation and counted in the
// summary. The summary, the --dump-shadow dump, --verify's report and the trace lines of no line
// are printed whole.
//
//   table=NAME   the lines of the software table NAME (EedbOutrif)
//   util=NAME    the offers to the table utility NAME (EedbOutrifUtil, or its tableName()), and
//                the unmet expectations of the lines offered to it
//   fap=LIST     the lines whose unit is on a FAP of LIST (0-3,7; the null FAP is 128)
//   lines=LIST   the lines whose number, in their file, is in LIST (100-200,250; 100- to the end)
//   failed       the failures: rejected lines, offers that raised, overwrote or deleted an entry
//                of another software table or left a lossy note, and unmet expectations
//
// A key given several times takes any of its values; keys of different names must all hold. What
// a line cannot tell does not match: a rejected line has no table utility and no FAP, and a table
// only when it was read.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ZuriErrm {
struct TableInfo;
}

namespace eedb::replay {

// The filters as --show takes them; "failed" takes no value.
inline constexpr std::string_view kShowFilters[] = {"table=", "util=", "fap=", "lines=", "failed"};

class ShowFilter {
 public:
  // Adds one --show value. Raises std::invalid_argument with a message that names the filter
  // and its value (escaped).
  void add(std::string_view filter);
  bool empty() const noexcept { return keys_ == 0; }

  // Finds the util= names among the session's table utilities: nameOf(i) gives the i-th one's
  // tableName() and its class name without namespaces. Raises std::invalid_argument for a name
  // that none has, naming the filter and the revision.
  void bind(std::size_t utils,
            std::function<std::pair<std::string_view, std::string_view>(std::size_t)> const& nameOf,
            std::string_view revision);

  // Whether the records of a line may be shown at all: its number, its table (none: not read)
  // and the FAP of its unit (-1: not read).
  bool line(std::size_t number, ZuriErrm::TableInfo const* table, int fap) const;
  // On a line that line() lets through: the offer to the session's table utility `util`;
  // `failed`: it raised, overwrote or left a note.
  bool offer(std::size_t util, bool failed) const {
    return (!has(kUtil) || utilShown(util)) && (!has(kFailed) || failed);
  }
  // On a line that line() lets through: its rejection.
  bool rejected() const noexcept { return !has(kUtil); }
  // On a line that line() lets through: its unmet expectation, the line offered to the session's
  // table utilities `utils` (none for a rejected line).
  bool unmet(std::vector<std::size_t> const* utils) const;

 private:
  enum Key : unsigned { kTable = 1, kUtil = 2, kFap = 4, kLines = 8, kFailed = 16 };
  bool has(Key key) const noexcept { return (keys_ & key) != 0; }
  bool utilShown(std::size_t util) const noexcept {
    return util < utilShown_.size() && utilShown_[util];
  }

  unsigned keys_ = 0;
  std::vector<ZuriErrm::TableInfo const*> tables_;
  std::vector<std::pair<std::string, std::string>> utilNames_;  // the filter, the name
  std::vector<bool> utilShown_;                                 // by session table utility
  std::bitset<129> faps_;
  std::vector<std::pair<std::size_t, std::size_t>> lines_;  // first, last
};

}  // namespace eedb::replay
