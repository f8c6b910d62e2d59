// One replay of a stream on one session: opened on a session and a printer, fed one line at a
// time, finished once. Each line is read, offered to the table utilities of its table, held
// against its expectation (and --strict), printed, and counted; what it came to stays available
// as data (LineOutcome) until the next line, and the counts (Summary) to the end, so that a
// caller may replay lines in-process and look at the outcome instead of the printed text.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ChipCheck.h"
#include "Input.h"
#include "OfferResult.h"
#include "Printer.h"
#include "Session.h"
#include "ShowFilter.h"
#include "TraceCapture.h"

namespace eedb::replay {

struct RunSettings {
  bool strict = false;      // a lossy note or an overwrite fails the line
  bool verify = false;      // run the commands on the chip model, compare at the end
  bool dumpShadow = false;  // every shadow entry at the end
};

// What one input line came to.
struct LineOutcome {
  std::size_t number = 0;
  std::string rejected;                 // why the line was refused as input; empty: it was read
  std::span<OfferResult const> offers;  // what each offer did, in registration order
  // How the line differs from its expectation, or the first note that --strict does not let
  // pass; empty when it did what it expects.
  std::string differs;
  bool unforeseen = false;  // rejected or raising with no expectation that says so, or unmet
};

class ShadowStream;

class Run {
 public:
  // Opens the replay on a session of its own (raises SetupError when it cannot start): the trace
  // lines captured by `traces` (none: no tracing) so far are printed on their own, and from now
  // on with the offer that caused them.
  Run(SessionConfig const& config, Printer& printer, RunSettings settings,
      TraceCapture* traces = nullptr);
  ~Run();
  Run(Run const&) = delete;
  Run& operator=(Run const&) = delete;

  // One line of the stream, without its line end, followed by simdjson::SIMDJSON_PADDING
  // readable bytes (as LineReader hands it out, or a simdjson::padded_string). The outcome and
  // the offers in it are valid until the next line.
  LineOutcome const& line(std::string_view text, std::size_t number);
  // The lines that line() is given next, as LineParser::linesAhead() takes them: a reader's
  // whole lines, from the next line's start, each time it has read more.
  void linesAhead(std::string_view lines) { parser_.linesAhead(lines); }
  // A line longer than the maximum, refused unread.
  LineOutcome const& overlong(std::size_t number, std::size_t length, std::size_t maxLine);

  // --dump-shadow=stream: at the end, the shadow is also written to `path` as the input lines that
  // rebuild it, and checked by replaying them on fresh table utilities (a difference counts as
  // one of --verify). Raises std::runtime_error when `path` cannot be written or is an input.
  // --show: from now on only the records that `filter` lets through are printed; every line is
  // still replayed and counted. Raises SetupError when a filter names a table utility that the
  // session does not have.
  void showOnly(ShowFilter filter);

  void streamShadowTo(std::string path, std::span<std::string const> inputs);

  // Ends the replay: the shadow dump, the stream of the shadow, the chip check, then the session
  // ends (with the table utilities' traces of the end) and the summary is printed. `inputsRead`:
  // every input was read to its end. No line may follow.
  Summary const& finish(bool inputsRead);

  Summary const& summary() const noexcept { return summary_; }
  Session& session() noexcept { return *session_; }

 private:
  void start(std::size_t number);
  LineOutcome const& rejected(std::string reason);
  LineOutcome const& offered();
  void looseTraces();

  SessionConfig config_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<ShadowStream> stream_;
  Printer& printer_;
  RunSettings settings_;
  TraceCapture* traces_;
  std::optional<ChipCheck> chip_;
  LineParser parser_;
  LogLine line_;
  LineOutcome outcome_;
  Summary summary_;
  std::string revision_;
  ShowFilter show_;
  bool shown_ = true;  // the line passes the --show filters of the line as a whole
};

}  // namespace eedb::replay
