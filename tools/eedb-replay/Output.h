// Output of the replay tool: one report per offer and per rejected line, the shadow dump and
// the summary, as aligned text for people or as one JSON object per line for scripts. Everything
// goes into one buffer that the caller flushes; nothing is printed with --quiet but the dump
// and the summary.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "Session.h"

namespace eedb::replay {

enum class Form { text, json };

// A JSON string of the text, escaped; and a catalogue value as JSON (numbers, texts, null,
// objects).
void jsonString(fmt::memory_buffer& out, std::string_view text);
void jsonValue(fmt::memory_buffer& out, ZuriErrm::Value const& value);

struct Summary {
  std::size_t lines = 0;     // lines read, blank lines aside
  std::size_t rejected = 0;  // lines refused as input
  std::size_t offers = 0;
  std::size_t errors = 0;    // offers that raised
  std::size_t expected = 0;  // lines with an expectation
  std::size_t unmet = 0;     // lines whose result differs from their expectation
};

class Reporter {
 public:
  Reporter(Form form, bool quiet) : form_(form), quiet_(quiet) {}

  // False with --quiet: offers need not be read back.
  bool detailed() const noexcept { return !quiet_; }
  // Text form: draw every shadow entry as a bit diagram (--bits).
  void bitsIs(bool bits) noexcept { bits_ = bits; }

  void offer(std::size_t line, OfferResult const& result);
  void rejected(std::size_t line, std::string_view message);
  // A line whose result differs from its expectation (`expect`, JSON) in what `differs` says.
  void unmet(std::size_t line, std::string_view expect, std::string_view differs);
  // The input file the lines come from, shown with each line when several are replayed.
  void fileIs(std::string_view file) { file_ = file; }
  void dumpEntry(std::string_view table, ShadowView const& entry);
  void summary(Summary const& summary, std::vector<Session::Util> const& utils);

  std::size_t pending() const noexcept { return out_.size(); }
  // Writes out what is buffered; false when the stream refuses it.
  bool flushTo(std::FILE* stream);

 private:
  void jsonShadow(ShadowView const& shadow, bool withPresence);
  void textShadow(ShadowView const& shadow);
  void linePrefix(std::size_t line);
  void jsonLine(std::size_t line);

  Form form_;
  bool quiet_;
  std::string_view file_;
  bool bits_ = false;
  fmt::memory_buffer out_;
};

}  // namespace eedb::replay
