// Everything the replay tool prints, behind one interface with one printer per output form: the
// report of each offer and of each rejected line, the traces, the shadow dump, --verify's
// differences, the summary, --list-tables, --describe and --version. The text form is aligned
// for people (TextPrinter.cc), the JSON form one object per line for scripts (JsonPrinter.cc);
// the form is chosen once, by makePrinter.
//
// Everything goes into one buffer, written out by flush(). The run hands the printer only what
// the --show filters let through (Run.cc); of that, --quiet hides what went as asked: it
// shows the traces, the dump, the summary and every failure (a rejected line, an offer that
// raised, an unmet expectation, an overwrite, a lossy note under --strict). Captured traces
// appear with the offer that caused them (text: indented under it; JSON: its "trace" array), or
// on their own where no offer caused them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "Digits.h"
#include "Escape.h"
#include "OfferResult.h"

namespace chip26_a0 {
struct MemoryDifference;
}

namespace eedb::replay {

struct TableDescription;
struct TableListing;

enum class Form { text, json };

// The version of the JSON output's format, given as "format" in the summary and in --version:
// raised when a member changes meaning or goes away (a member added keeps it).
inline constexpr int kOutputFormat = 1;

// A catalogue value as JSON (numbers, texts, null, objects).
void jsonValue(fmt::memory_buffer& out, ZuriErrm::Value const& value);
// A field value in JSON: a number up to 64 bits, a wider one as "0x" and 32 hex digits, most
// significant first.
void appendJsonFieldValue(fmt::memory_buffer& out, chip26_a0::layout::FieldValue const& value);
// The same between `quote`s (none: as the text form shows a number).
void appendFieldNumber(fmt::memory_buffer& out, chip26_a0::layout::FieldValue const& value,
                       std::string_view quote);

// The counts of one table utility at the end of a replay, kept beyond the session's end.
struct UtilCounts {
  std::string name;
  std::string shortName;
  std::uint64_t add = 0;
  std::uint64_t del = 0;
  std::uint64_t updateOnDelete = 0;
  std::uint64_t fapmaskMismatch = 0;
  std::string text;  // the counts as the table utility shows them

  bool busy() const noexcept {
    return add != 0 || del != 0 || updateOnDelete != 0 || fapmaskMismatch != 0;
  }
};

struct Summary {
  std::size_t lines = 0;     // lines read, blank lines aside
  std::size_t rejected = 0;  // lines refused as input
  std::size_t offers = 0;
  std::size_t errors = 0;       // offers that raised
  std::size_t expected = 0;     // lines with an expectation
  std::size_t unmet = 0;        // lines whose result differs from their expectation
  std::size_t lossy = 0;        // input values that a cut did not keep whole
  std::size_t overwrites = 0;   // entries of another software table overwritten or deleted
  std::size_t unforeseen = 0;   // lines rejected or raising without an expectation that says so
  std::size_t differences = 0;  // --verify: places where the chip differs from the shadow
  bool passed = true;           // the exit status is 0: the stream did what it expects
  std::vector<UtilCounts> utils;
};

// What --version shows: the tool's version and commit, and the plug-in's once it loaded.
struct VersionInfo {
  std::string_view tool;
  std::string_view toolCommit;
  std::string_view pluginPath;
  bool loaded = false;
  std::string_view plugin;  // empty: the plug-in names no version
  std::string_view pluginCommit;
};

// --shrink's report: how much of the stream was kept, and the failure it keeps.
struct ShrinkReport {
  enum class Kept { nothing, line, verify };
  std::size_t lines = 0;    // of the whole stream
  std::size_t kept = 0;     // lines written to `out`
  std::size_t members = 0;  // members taken out of the lines kept
  std::size_t probes = 0;
  double seconds = 0;
  std::string_view out;  // the file written (none is when nothing fails)
  Kept failure = Kept::nothing;
  std::size_t line = 0;   // Kept::line: its number in its input
  std::string_view file;  // Kept::line: its input, when several were replayed
  std::string_view what;  // what it fails on
};

// --compare-plugin: a plug-in as the report names it.
struct PluginId {
  std::string path;
  std::string version;  // empty: the plug-in names none
  std::string commit;
};
// One member of a line's records where the two replays differ: its value on either side, as
// JSON text; none where that side has no such member.
struct MemberDifference {
  std::string member;
  std::optional<std::string> values[2];
};
// A line of the stream: its number, and its input when several were replayed.
struct StreamPlace {
  std::size_t line = 0;
  std::string_view file;
};

// Writing the output failed: the replay stops at once (nobody reads what follows).
struct WriteFailed {
  int error;
};

class Printer {
 public:
  virtual ~Printer() = default;

  // --quiet: offers that did what was asked are not shown, nor read back.
  void quietIs(bool quiet) noexcept { quiet_ = quiet; }
  bool detailed() const noexcept { return !quiet_; }
  // --strict: a lossy note is a failure, shown with --quiet too.
  void strictIs(bool strict) noexcept { strict_ = strict; }
  // Text form: draw every shadow entry as a bit diagram (--bits).
  void bitsIs(bool bits) noexcept { bits_ = bits; }
  // The input file the lines come from, shown with each line when several are replayed.
  void fileIs(std::string_view file) { file_ = file; }
  // Where flush() writes; none keeps everything in text().
  void streamIs(std::FILE* stream) noexcept { stream_ = stream; }

  // The replay.
  void offer(std::size_t line, OfferResult const& result);
  // Trace lines that no shown offer carries: those of an input line with --quiet, or of no
  // line at all (start-up, the end).
  virtual void traces(std::optional<std::size_t> line, std::span<TraceLine const> lines) = 0;
  virtual void rejected(std::size_t line, std::string_view message) = 0;
  // A line whose result differs from its expectation (`expect`, JSON) in what `differs` says.
  virtual void unmet(std::size_t line, std::string_view expect, std::string_view differs) = 0;
  virtual void dumpEntry(std::string_view table, ShadowView const& entry) = 0;
  virtual void summary(Summary const& summary) = 0;

  // --verify: a command the chip model refused, a place where it differs from the shadow, and
  // the totals.
  virtual void verifyRefused(std::string_view message) = 0;
  virtual void verifyDifference(chip26_a0::MemoryDifference const& difference) = 0;
  virtual void verified(std::size_t commands, std::size_t differences) = 0;

  // Discovery and the version: nothing is replayed.
  virtual void tableList(std::span<TableListing const> tables) = 0;
  virtual void description(TableDescription const& description) = 0;
  virtual void version(VersionInfo const& version) = 0;

  // --shrink: the report.
  virtual void shrunk(ShrinkReport const& report) = 0;
  // --compare-plugin: the two plug-ins (A and B, named again in every JSON record), each line
  // where their replays differ, and the totals.
  virtual void comparing(PluginId const (&sides)[2]) = 0;
  virtual void lineDiffers(StreamPlace const& at,
                           std::span<MemberDifference const> differences) = 0;
  virtual void compared(std::size_t lines, std::size_t differing,
                        std::optional<StreamPlace> const& first) = 0;

  std::size_t pending() const noexcept { return out_.size(); }
  std::string_view text() const noexcept { return {out_.data(), out_.size()}; }
  // Writes out what is buffered to the stream; raises WriteFailed when the stream refuses it.
  void flush();
  // The same once much is buffered.
  void flushIfFull() {
    if (out_.size() > (std::size_t{1} << 16)) flush();
  }

 protected:
  virtual void shownOffer(std::size_t line, OfferResult const& result) = 0;

  // Appends text: a resize and one copy, which for a literal (its size known) is a few moves.
  [[gnu::always_inline]] void put(std::string_view text) {
    if (text.empty()) return;
    std::size_t const at = out_.size();
    out_.resize(at + text.size());
    detail::copyText(out_.data() + at, text.data(), text.size());
  }
  template <std::size_t N>
  [[gnu::always_inline]] void put(char const (&text)[N]) {
    std::size_t const at = out_.size();
    out_.resize(at + N - 1);
    std::memcpy(out_.data() + at, text, N - 1);
  }
  // A number's digits.
  void putNumber(std::uint64_t n) {
    std::size_t const at = out_.size();
    out_.reserve(at + digits::kMaxDecimal);
    out_.resize(static_cast<std::size_t>(digits::writeDecimal(out_.data() + at, n) - out_.data()));
  }
  template <class... Args>
  void print(fmt::format_string<Args...> format, Args&&... args) {
    fmt::format_to(std::back_inserter(out_), format, std::forward<Args>(args)...);
  }

  bool quiet_ = false;
  bool strict_ = false;
  bool bits_ = false;
  std::string_view file_;
  fmt::memory_buffer out_;

 private:
  std::FILE* stream_ = nullptr;
};

std::unique_ptr<Printer> makePrinter(Form form);

// A message to standard error, "eedb-replay: " first. It never fails the tool: a closed or full
// standard error loses it.
void say(std::string_view message);

}  // namespace eedb::replay
