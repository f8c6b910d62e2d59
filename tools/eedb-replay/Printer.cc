// What the two printers share: the choice of --quiet, the buffer and its stream.

#include "Printer.h"

#include <arpa/inet.h>

#include <array>
#include <cerrno>
#include <cstring>

#include <fmt/compile.h>

#include "chip26_a0/BitField.h"

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

namespace {

// The N octets of an address field, first octet most significant.
template <std::size_t N>
std::array<std::uint8_t, N> octetsOf(chip26_a0::layout::FieldValue const& value) {
  std::array<std::uint8_t, N> out{};
  for (unsigned i = 0; i < N; ++i) {
    out[i] = static_cast<std::uint8_t>(
        chip26_a0::bits::read(value.words(), 8 * (unsigned{N} - 1 - i), 8));
  }
  return out;
}

}  // namespace

bool appendAddressText(fmt::memory_buffer& out, chip26_a0::layout::FieldKind kind,
                       chip26_a0::layout::FieldValue const& value) {
  using chip26_a0::layout::FieldKind;
  constexpr char kHex[] = "0123456789abcdef";
  switch (kind) {
    case FieldKind::ipv4: {
      auto const octets = octetsOf<4>(value);
      for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i != 0) out.push_back('.');
        fmt::format_int const digits(octets[i]);
        out.append(digits.data(), digits.data() + digits.size());
      }
      return true;
    }
    case FieldKind::ipv6: {
      // The shortest form, as the C library writes it (and the address type's own text).
      auto const octets = octetsOf<16>(value);
      char text[INET6_ADDRSTRLEN] = {};
      inet_ntop(AF_INET6, octets.data(), text, sizeof text);
      out.append(text, text + std::strlen(text));
      return true;
    }
    case FieldKind::mac: {
      auto const octets = octetsOf<6>(value);
      std::size_t const at = out.size();
      out.resize(at + 3 * octets.size() - 1);
      char* p = out.data() + at;
      for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i != 0) *p++ = ':';
        *p++ = kHex[octets[i] / 16];
        *p++ = kHex[octets[i] % 16];
      }
      return true;
    }
    case FieldKind::number:
      break;
  }
  return false;
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
