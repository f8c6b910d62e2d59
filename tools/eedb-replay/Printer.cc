// What the two printers share: the choice of --quiet, the buffer and its stream.

#include "Printer.h"

#include <cerrno>

#include <fmt/compile.h>

namespace eedb::replay {

std::unique_ptr<Printer> makeTextPrinter();
std::unique_ptr<Printer> makeJsonPrinter();

std::unique_ptr<Printer> makePrinter(Form form) {
  return form == Form::json ? makeJsonPrinter() : makeTextPrinter();
}

void say(std::string_view message) {
  std::string const line = fmt::format("eedb-replay: {}\n", message);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void appendFieldNumber(fmt::memory_buffer& out, chip26_a0::layout::FieldValue const& value,
                       std::string_view quote) {
  if (!value.wide()) {
    fmt::format_int const text(value.value());
    out.append(std::string_view(text.data(), text.size()));
    return;
  }
  auto const& w = value.words();
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}0x{:08x}{:08x}{:08x}{:08x}{}"), quote,
                 w[3], w[2], w[1], w[0], quote);
}

void appendJsonFieldValue(fmt::memory_buffer& out, chip26_a0::layout::FieldValue const& value) {
  appendFieldNumber(out, value, "\"");
}

void Printer::offer(std::size_t line, OfferResult const& r) {
  bool const failed = r.error || r.overwrites || (strict_ && !r.lossy.empty());
  if (quiet_ && !failed) {
    // The offer itself is not shown; the traces asked for are.
    if (!r.traces.empty()) traces(line, r.traces);
    return;
  }
  shownOffer(line, r);
}

void Printer::flush() {
  if (stream_ == nullptr) return;
  bool const ok =
      out_.size() == 0 || std::fwrite(out_.data(), 1, out_.size(), stream_) == out_.size();
  out_.clear();
  if (std::fflush(stream_) != 0 || !ok) throw WriteFailed{errno};
}

}  // namespace eedb::replay
