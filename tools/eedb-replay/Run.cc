// One replay: each line read, offered, held against its expectation, printed and counted.

#include "Run.h"

#include <new>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "Escape.h"
#include "Expect.h"
#include "Notes.h"
#include "ShadowStream.h"

namespace eedb::replay {

Run::Run(SessionConfig const& config, Printer& printer, RunSettings settings, TraceCapture* traces)
    : config_(config),
      session_(std::make_unique<Session>(config)),
      printer_(printer),
      settings_(settings),
      traces_(traces),
      revision_(fmt::format("{}", config.revision)) {
  if (settings_.verify) chip_.emplace();
  // Traces of no offer (start-up, the end) appear on their own, where they happened.
  looseTraces();
  session_->traceCaptureIs(traces_);
}

Run::~Run() = default;

void Run::showOnly(ShowFilter filter) {
  auto const& utils = session_->utils();
  try {
    filter.bind(
        utils.size(),
        [&](std::size_t i) {
          return std::pair<std::string_view, std::string_view>(utils[i].name, utils[i].shortName);
        },
        revision_);
  } catch (std::invalid_argument const& e) {
    throw SetupError(e.what());
  }
  show_ = std::move(filter);
}

void Run::streamShadowTo(std::string path, std::span<std::string const> inputs) {
  stream_ = std::make_unique<ShadowStream>(*session_, config_, std::move(path), inputs);
}

void Run::looseTraces() {
  if (traces_ == nullptr) return;
  printer_.traces(std::nullopt, traces_->lines());
  traces_->clear();
}

// A new line: counted, its outcome cleared (keeping the room of its texts).
void Run::start(std::size_t number) {
  ++summary_.lines;
  outcome_.number = number;
  outcome_.rejected.clear();
  outcome_.offers = {};
  outcome_.differs.clear();
  outcome_.unforeseen = false;
  line_.table = nullptr;  // known again once the line's table is read
}

LineOutcome const& Run::overlong(std::size_t number, std::size_t length, std::size_t maxLine) {
  start(number);
  line_.hasExpect = false;
  return rejected(fmt::format("line of {} bytes is longer than the maximum, {} (--max-line-length)",
                              length, maxLine));
}

LineOutcome const& Run::line(std::string_view text, std::size_t number) {
  start(number);
  std::string reason;
  try {
    parser_.parse(text, line_);
    if (session_->utilsOf(*line_.table).empty()) {
      reason = fmt::format("no table utility takes table '{}' on revision {}", line_.table->name,
                           revision_);
    }
  } catch (ZuriErrm::InputError const& e) {
    reason = e.message();
  } catch (std::bad_alloc const&) {
    line_.hasExpect = false;
    reason = "out of memory while reading the line";
  }
  LineOutcome const& outcome = reason.empty() ? offered() : rejected(std::move(reason));
  if (traces_ != nullptr) traces_->clear();
  printer_.flushIfFull();
  return outcome;
}

// A line refused as input, held against its expectation.
LineOutcome const& Run::rejected(std::string reason) {
  if (line_.hasExpect) ++summary_.expected;
  ++summary_.rejected;
  // --show: a rejected line has no FAP and no table utility, and a table when it was read.
  shown_ = show_.line(outcome_.number, line_.table, -1);
  if (shown_ && show_.rejected()) printer_.rejected(outcome_.number, reason);
  outcome_.rejected = std::move(reason);
  if (line_.hasExpect) outcome_.differs = differencesOfRejected(line_.expect, outcome_.rejected);
  if (line_.hasExpect && outcome_.differs.empty()) return outcome_;
  outcome_.unforeseen = true;
  ++summary_.unforeseen;
  if (!line_.hasExpect) return outcome_;
  ++summary_.unmet;
  if (shown_ && show_.unmet(nullptr)) {
    printer_.unmet(outcome_.number, line_.expect.written, outcome_.differs);
  }
  return outcome_;
}

// A line offered to its table utilities, held against its expectation and --strict.
LineOutcome const& Run::offered() {
  bool const expects = line_.hasExpect;
  if (expects) ++summary_.expected;
  std::vector<std::size_t> const& utils = session_->utilsOf(*line_.table);
  shown_ = show_.line(outcome_.number, line_.table, line_.unitId.fapIdRaw());
  // A line with an expectation needs the shadow read back and, when it differs over a failure,
  // the field that explains it; a line that --show hides needs neither for its output.
  outcome_.offers = session_->offer(line_, (shown_ && printer_.detailed()) || expects);
  if (stream_) stream_->record(line_, outcome_.offers);
  bool raised = false;
  std::string strictFailure;  // the first note that --strict does not let pass
  for (std::size_t i = 0; i < outcome_.offers.size(); ++i) {
    OfferResult const& result = outcome_.offers[i];
    if (chip_) chip_->execute(result.cmds);
    ++summary_.offers;
    if (result.error) {
      ++summary_.errors;
      raised = true;
    }
    summary_.lossy += result.lossy.size();
    if (result.overwrites) ++summary_.overwrites;
    if (settings_.strict && strictFailure.empty()) {
      for (auto const& note : result.lossy) {
        if (expects && foreseesLossy(line_.expect, result, note.field)) continue;
        strictFailure = lossyText(note);
        break;
      }
      if (strictFailure.empty() && result.overwrites) {
        strictFailure = fmt::format("{} {}", result.name, overwriteText(*result.overwrites));
      }
    }
    if (shown_ &&
        show_.offer(utils[i], result.error || result.overwrites || !result.lossy.empty())) {
      printer_.offer(outcome_.number, result);
    }
  }
  if (expects) outcome_.differs = differences(line_.expect, outcome_.offers);
  if (outcome_.differs.empty() && !strictFailure.empty()) {
    outcome_.differs = "--strict: " + strictFailure;
  }
  // An offer that raised fails the line unless its expectation says so; only --strict fails a
  // line without an expectation otherwise, listed like an unmet one.
  bool const differs = !outcome_.differs.empty();
  outcome_.unforeseen = expects ? raised && differs : raised || differs;
  if (outcome_.unforeseen) ++summary_.unforeseen;
  if (outcome_.differs.empty()) return outcome_;
  if (expects) ++summary_.unmet;
  if (shown_ && show_.unmet(&utils)) {
    printer_.unmet(outcome_.number, expects ? std::string_view(line_.expect.written) : "{}",
                   outcome_.differs);
  }
  return outcome_;
}

Summary const& Run::finish(bool inputsRead) {
  printer_.fileIs({});
  if (settings_.dumpShadow) {
    session_->dumpShadow([&](std::string_view table, ShadowView const& entry) {
      printer_.dumpEntry(table, entry);
      printer_.flushIfFull();
    });
  }
  if (stream_) {
    std::string const differs = stream_->finish();
    if (!differs.empty()) {
      printer_.flush();
      say(fmt::format("the dump in {} does not rebuild the shadow:\n{}", shownName(stream_->path()),
                      differs));
      ++summary_.differences;
    }
    stream_.reset();  // before the session it reads
  }
  if (chip_) summary_.differences += chip_->report(*session_, printer_);
  for (auto const& util : session_->utils()) {
    UtilCounts& counts = summary_.utils.emplace_back();
    counts.name = util.name;
    counts.shortName = util.shortName;
    if (auto const* stats = util.util->stats().get()) {
      counts.add = stats->addCnt();
      counts.del = stats->deleteCnt();
      counts.updateOnDelete = stats->updateOnDelCnt();
      counts.fapmaskMismatch = stats->fapmaskMismatch();
      counts.text = fmt::format("{}", *stats);
    }
  }
  summary_.passed =
      inputsRead && summary_.unforeseen == 0 && summary_.unmet == 0 && summary_.differences == 0;
  // The session ends before the summary, with the table utilities' traces of the end.
  session_.reset();
  looseTraces();
  printer_.summary(summary_);
  return summary_;
}

}  // namespace eedb::replay
