// Output of the replay tool: one report per offer and per rejected line, the shadow dump and
// the summary, as aligned text for people or as one JSON object per line for scripts. Everything
// goes into one buffer that the caller flushes; --quiet hides what went as asked: it shows the
// traces, the dump, the summary and every failure (a rejected line, an offer that raised, an
// unmet expectation, an overwrite, a lossy note under --strict). Captured traces appear with the
// offer that caused them (text: indented under it; JSON: its "trace" array), or on their own where
// no offer caused them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "OfferResult.h"
#include "Translator.h"

namespace eedb::replay {

enum class Form { text, json };

// The version of the JSON output's format, given as "format" in the summary and in --version:
// raised when a member changes meaning or goes away (a member added keeps it).
inline constexpr int kOutputFormat = 1;

// A catalogue value as JSON (numbers, texts, null, objects).
void jsonValue(fmt::memory_buffer& out, ZuriErrm::Value const& value);
// A field value in JSON: a number up to 64 bits, a wider one as "0x" and 32 hex digits, most
// significant first.
void appendJsonFieldValue(fmt::memory_buffer& out, chip26_a0::layout::FieldValue const& value);

struct Summary {
  std::size_t lines = 0;     // lines read, blank lines aside
  std::size_t rejected = 0;  // lines refused as input
  std::size_t offers = 0;
  std::size_t errors = 0;      // offers that raised
  std::size_t expected = 0;    // lines with an expectation
  std::size_t unmet = 0;       // lines whose result differs from their expectation
  std::size_t lossy = 0;       // input values that a cut did not keep whole
  std::size_t overwrites = 0;  // entries of another software table overwritten or deleted
  bool passed = true;          // the exit status is 0: the stream did what it expects
};

class Reporter {
 public:
  Reporter(Form form, bool quiet) : form_(form), quiet_(quiet) {}

  Form form() const noexcept { return form_; }
  // False with --quiet: offers need not be read back.
  bool detailed() const noexcept { return !quiet_; }
  // Text form: draw every shadow entry as a bit diagram (--bits).
  void bitsIs(bool bits) noexcept { bits_ = bits; }
  // --strict: a lossy note is a failure, shown with --quiet too.
  void strictIs(bool strict) noexcept { strict_ = strict; }

  void offer(std::size_t line, OfferResult const& result);
  // Trace lines that no shown offer carries: those of an input line with --quiet, or of no
  // line at all (start-up, the end).
  void traces(std::optional<std::size_t> line, std::span<TraceLine const> lines);
  void rejected(std::size_t line, std::string_view message);
  // A line whose result differs from its expectation (`expect`, JSON) in what `differs` says.
  void unmet(std::size_t line, std::string_view expect, std::string_view differs);
  // The input file the lines come from, shown with each line when several are replayed.
  void fileIs(std::string_view file) { file_ = file; }
  void dumpEntry(std::string_view table, ShadowView const& entry);
  void summary(Summary const& summary, std::vector<LoadedUtil> const& utils);

  std::size_t pending() const noexcept { return out_.size(); }
  // Writes out what is buffered; false when the stream refuses it.
  bool flushTo(std::FILE* stream);

 private:
  void jsonOffer(std::size_t line, OfferResult const& result);
  void textOffer(std::size_t line, OfferResult const& result);
  void jsonShadow(ShadowView const& shadow, bool withPresence);
  void jsonAddresses(ShadowView const& shadow);
  void textShadow(ShadowView const& shadow);
  void jsonSchan(ZuriAsicUtils::SchanCmd const& cmd);
  void jsonTraces(std::span<TraceLine const> lines);
  void textTraces(std::string_view first, std::span<TraceLine const> lines);
  void textTrace(TraceLine const& trace);
  void jsonNotes(OfferResult const& result);
  void textNotes(OfferResult const& result);

  Form form_;
  bool quiet_;
  std::string_view file_;
  bool bits_ = false;
  bool strict_ = false;
  fmt::memory_buffer out_;
};

}  // namespace eedb::replay
