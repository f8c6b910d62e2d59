// The input readers: lines of a stream (plain or gzip) and the parser of one log line.

#include "Input.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "EntryReader.h"
#include "replay_support/DidYouMean.h"
#include "replay_support/HexText.h"

namespace eedb::replay {

using ZuriErrm::excerpt;
using ZuriErrm::InputError;
using ZuriErrm::Value;
namespace dom = simdjson::dom;

namespace {

// A number beyond 64 bits is handed to the JSON parser again as a text that starts with this
// byte (written \u0001), which no text of a line that parses holds unescaped.
constexpr char kBigMark = '\x01';

// Whether a number token of a line is valid JSON that neither 64 bits nor a double can hold.
bool isBigNumber(std::string_view token) {
  bool const integer = token.find_first_of(".eE") == std::string_view::npos;
  if (integer) {
    std::string_view digits = token;
    if (digits.starts_with('-')) digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) {
          return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
      return false;
    }
    if (token.starts_with('-')) {
      std::int64_t n = 0;
      return std::from_chars(token.data(), token.data() + token.size(), n).ec ==
             std::errc::result_out_of_range;
    }
    std::uint64_t n = 0;
    return std::from_chars(token.data(), token.data() + token.size(), n).ec ==
           std::errc::result_out_of_range;
  }
  std::string const text(token);
  char* end = nullptr;
  errno = 0;
  double const d = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno == ERANGE && std::isinf(d);
}

// `line` with every big number written as a marked text; false when it has none.
bool markBigNumbers(std::string_view line, std::string& out) {
  out.clear();
  bool any = false;
  bool inText = false;
  auto const numeric = [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '+' || c == '.' ||
           c == 'e' || c == 'E';
  };
  for (std::size_t i = 0; i < line.size();) {
    char const c = line[i];
    if (inText) {
      out += c;
      if (c == '\\' && i + 1 < line.size()) {
        out += line[i + 1];
        i += 2;
        continue;
      }
      inText = c != '"';
      ++i;
      continue;
    }
    if (c == '-' || std::isdigit(static_cast<unsigned char>(c)) != 0) {
      std::size_t end = i;
      while (end < line.size() && numeric(line[end])) ++end;
      std::string_view const token = line.substr(i, end - i);
      if (isBigNumber(token)) {
        out.append("\"\\u0001").append(token).append("\"");
        any = true;
      } else {
        out.append(token);
      }
      i = end;
      continue;
    }
    inText = c == '"';
    out += c;
    ++i;
  }
  return any;
}

}  // namespace

// Turns a parsed line into a LogLine; knows whether marked texts stand for big numbers.
class LineParser::Reader {
 public:
  explicit Reader(bool bigNumbers) : bigNumbers_(bigNumbers) {}

  void read(dom::element const& doc, LogLine& out) const;

 private:
  bool isBig(dom::element const& e) const {
    return bigNumbers_ && e.type() == dom::element_type::STRING &&
           e.get_string().value_unsafe().starts_with(kBigMark);
  }

  // The element as JSON, shortened for a message.
  std::string text(dom::element const& e) const {
    std::string out;
    append(out, e);
    return excerpt(out);
  }

  void append(std::string& out, dom::element const& e) const {
    if (out.size() > ZuriErrm::kExcerptBytes) return;
    switch (e.type()) {
      case dom::element_type::ARRAY: {
        out += '[';
        char const* sep = "";
        dom::array const items = e.get_array().value_unsafe();
        for (dom::element const item : items) {
          if (out.size() > ZuriErrm::kExcerptBytes) break;
          out += sep;
          append(out, item);
          sep = ",";
        }
        out += ']';
        return;
      }
      case dom::element_type::OBJECT: {
        out += '{';
        char const* sep = "";
        dom::object const members = e.get_object().value_unsafe();
        for (auto [key, value] : members) {
          if (out.size() > ZuriErrm::kExcerptBytes) break;
          out.append(sep).append("\"").append(key.substr(0, ZuriErrm::kExcerptBytes)).append("\":");
          append(out, value);
          sep = ",";
        }
        out += '}';
        return;
      }
      case dom::element_type::STRING:
        if (isBig(e)) {
          out.append(e.get_string().value_unsafe().substr(1));
          return;
        }
        break;
      default:
        break;
    }
    out.append(simdjson::to_string(e));
  }

  // Where a value stands in the entry ("key.outlif"), put together only for a message.
  struct Path {
    std::string_view name;
    Path const* parent = nullptr;
    std::string text() const {
      std::string const head = parent == nullptr ? std::string() : parent->text();
      return head.empty() ? std::string(name) : fmt::format("{}.{}", head, name);
    }
  };

  Value valueOf(dom::element const& e, Path const& path) const;
  std::uint64_t unsignedOf(dom::element const& e, std::string_view what, std::uint64_t max) const;
  bool flagOf(dom::element const& e, std::string_view name) const;
  Asic::UnitId unitOf(dom::element const& e) const;
  void entryOf(dom::element const& e, LogLine& out) const;

  bool bigNumbers_;
};

// A JSON value as the catalogue takes it. Numbers of the catalogue are unsigned integers (or
// texts); what JSON has beyond that is refused here, with the field's path.
Value LineParser::Reader::valueOf(dom::element const& e, Path const& path) const {
  switch (e.type()) {
    case dom::element_type::UINT64:
      return Value::number(e.get_uint64().value_unsafe());
    case dom::element_type::INT64:  // every integer that int64 holds, positive ones too
      return Value::negative(e.get_int64().value_unsafe());
    case dom::element_type::STRING: {
      std::string_view const s = e.get_string().value_unsafe();
      if (isBig(e)) return Value::big(std::string(s.substr(1)));
      return Value::text(std::string(s));
    }
    case dom::element_type::NULL_VALUE:
      return Value();
    case dom::element_type::OBJECT: {
      std::vector<Value::Member> members;
      dom::object const object = e.get_object().value_unsafe();
      members.reserve(object.size());
      for (auto [key, value] : object) {
        members.push_back({std::string(key), valueOf(value, Path{key, &path})});
      }
      return Value::object(std::move(members));
    }
    case dom::element_type::DOUBLE:
      throw InputError(fmt::format("field '{}': {} is not an integer", path.text(), text(e)));
    case dom::element_type::BOOL:
    case dom::element_type::ARRAY:
      break;
  }
  throw InputError(fmt::format("field '{}': {} is not a number", path.text(), text(e)));
}

// An unsigned number of the line's own members (unit parts): a JSON integer or a text "0x1f"
// or "31", at most `max`.
std::uint64_t LineParser::Reader::unsignedOf(dom::element const& e, std::string_view what,
                                             std::uint64_t max) const {
  std::uint64_t n = 0;
  bool ok = false;
  bool inRange = true;
  if (e.type() == dom::element_type::UINT64) {
    n = e.get_uint64().value_unsafe();
    ok = true;
  } else if (e.type() == dom::element_type::INT64) {
    std::int64_t const i = e.get_int64().value_unsafe();
    n = static_cast<std::uint64_t>(i);
    ok = true;
    inRange = i >= 0;
  } else if (isBig(e)) {
    ok = true;
    inRange = false;
  } else if (e.type() == dom::element_type::STRING) {
    bool hex = false;
    std::string_view const digits = ZuriErrm::hexDigitsOf(e.get_string().value_unsafe(), hex);
    ok = ZuriErrm::parseDigits(digits, hex ? 16 : 10, n, inRange);
  }
  if (!ok) throw InputError(fmt::format("{} {} is not a number", what, text(e)));
  if (!inRange || n > max) {
    throw InputError(fmt::format("{} {} is out of range (0 to {})", what, text(e), max));
  }
  return n;
}

bool LineParser::Reader::flagOf(dom::element const& e, std::string_view name) const {
  if (e.type() != dom::element_type::BOOL) {
    throw InputError(fmt::format("member '{}': {} is not true or false", name, text(e)));
  }
  return e.get_bool().value_unsafe();
}

Asic::UnitId LineParser::Reader::unitOf(dom::element const& e) const {
  if (e.type() != dom::element_type::OBJECT) {
    throw InputError(
        fmt::format("unit: {} is not an object {{\"fap\": F, \"instance\": I}}", text(e)));
  }
  std::uint64_t fap = 0;
  std::uint64_t instance = 0;
  unsigned given = 0;
  dom::object const members = e.get_object().value_unsafe();
  for (auto [key, value] : members) {
    if (memberOf(kUnitMembers, key, "unit", given) == 0) {
      fap = unsignedOf(value, "unit: fap", 255);
    } else {
      instance = unsignedOf(value, "unit: instance", 255);
    }
  }
  return Asic::UnitId::of(static_cast<std::uint8_t>(fap), static_cast<std::uint8_t>(instance));
}

void LineParser::Reader::entryOf(dom::element const& e, LogLine& out) const {
  if (e.type() != dom::element_type::OBJECT) {
    throw InputError(fmt::format("member 'entry': {} is not an object", text(e)));
  }
  ZuriErrm::FieldSetter fields(*out.table, out.entry);
  dom::object const members = e.get_object().value_unsafe();
  for (auto [key, value] : members) fields.set(key, valueOf(value, Path{key}));
  fields.finish();
}

void LineParser::Reader::read(dom::element const& doc, LogLine& out) const {
  out.hasExpect = false;
  if (doc.type() != dom::element_type::OBJECT) {
    throw InputError("a line must be a JSON object");
  }
  dom::object const members = doc.get_object().value_unsafe();
  // The expectation first: it says what to make of the line's other faults.
  for (auto [key, value] : members) {
    if (key == kLineMembers[kExpect]) {
      readExpectation(
          value,
          {[this](auto const& v) { return text(v); }, [this](auto const& v) { return isBig(v); }},
          out.expect);
      out.hasExpect = true;
      break;
    }
  }
  std::string_view tableName;
  dom::element fields;
  dom::element unit;
  std::uint64_t unitId = 0;
  std::uint8_t flags = 0;
  unsigned given = 0;
  for (auto [key, value] : members) {
    switch (memberOf(kLineMembers, key, "", given)) {
      case kTable:
        if (value.type() != dom::element_type::STRING || isBig(value)) {
          throw InputError(fmt::format("member 'table': {} is not a text", text(value)));
        }
        tableName = value.get_string().value_unsafe();
        break;
      case kEntry:
        fields = value;
        break;
      case kUnit:
        unit = value;
        break;
      case kUnitId:
        unitId = unsignedOf(value, "unitId", 0xFFFF);
        break;
      case kDelete:
        if (flagOf(value, key)) flags |= kDeleteFlag;
        break;
      case kTableDelete:
        if (flagOf(value, key)) flags |= kTableDeleteFlag;
        break;
      default:  // the expectation, read above
        break;
    }
  }
  if ((given & (1u << kTable)) == 0) throw InputError("missing member 'table'");
  out.table = ZuriErrm::findTable(tableName);
  if (out.table == nullptr) {
    throw InputError(fmt::format(
        "unknown table '{}'{}", excerpt(tableName),
        ZuriErrm::didYouMean(tableName, ZuriErrm::tables(), &ZuriErrm::TableInfo::name)));
  }
  bool const hasUnit = (given & (1u << kUnit)) != 0;
  if (hasUnit && (given & (1u << kUnitId)) != 0) {
    throw InputError("give either 'unit' or 'unitId', not both");
  }
  out.unitId = hasUnit ? unitOf(unit) : Asic::UnitId(static_cast<std::uint16_t>(unitId));
  out.flags = flags;
  out.entry = out.table->newEntry();
  if ((given & (1u << kEntry)) != 0) entryOf(fields, out);
}

void LineParser::parse(std::string_view line, LogLine& out) {
  if (direct_ && (block_.read(line, out) || readLine(onDemand_, line, out))) return;
  // Not a usual line, or one with a fault: read whole, as a document, to say which.
  dom::element doc;
  if (auto const error = parser_.parse(line.data(), line.size(), false).get(doc)) {
    if (error == simdjson::NUMBER_ERROR) {
      parseWithBigNumbers(line, out, error);
      return;
    }
    out.hasExpect = false;
    throw InputError(fmt::format("not valid JSON: {}", simdjson::error_message(error)));
  }
  Reader(false).read(doc, out);
}

// Numbers that 64 bits cannot hold are no JSON fault: they are values that no field holds, and
// are reported like any other such value, with their field.
void LineParser::parseWithBigNumbers(std::string_view line, LogLine& out,
                                     simdjson::error_code error) {
  out.hasExpect = false;
  std::string const message = fmt::format("not valid JSON: {}", simdjson::error_message(error));
  if (!markBigNumbers(line, rewritten_)) throw InputError(message);
  std::size_t const size = rewritten_.size();
  rewritten_.resize(size + simdjson::SIMDJSON_PADDING, ' ');
  dom::element doc;
  if (parser_.parse(rewritten_.data(), size, false).get(doc)) throw InputError(message);
  Reader(true).read(doc, out);
  // Every big number is refused where it stands; one that was not (none should be) still is.
  throw InputError(message);
}

// A gzip stream being decompressed: the compressed bytes come from the reader's descriptor,
// the text goes where the reader asks for it.
class LineReader::Gunzip {
 public:
  // `head`: the compressed bytes already read, the magic bytes first.
  explicit Gunzip(std::string_view head) : in_(std::max(head.size(), kInSize)) {
    std::memcpy(in_.data(), head.data(), head.size());
    if (inflateInit2(&z_, 15 + 16) != Z_OK) throw std::bad_alloc();  // 16: a gzip header
    z_.next_in = in_.data();
    z_.avail_in = static_cast<uInt>(head.size());
  }
  ~Gunzip() { inflateEnd(&z_); }
  Gunzip(Gunzip const&) = delete;
  Gunzip& operator=(Gunzip const&) = delete;

  // Decompresses into `to`: at least one byte, or 0 at the end of the last member.
  std::size_t read(LineReader& reader, char* to, std::size_t size) {
    z_.next_out = reinterpret_cast<Bytef*>(to);
    z_.avail_out = static_cast<uInt>(size);
    while (z_.avail_out == size) {
      if (z_.avail_in == 0 && !inEnd_) {
        std::size_t const n = reader.readRaw(reinterpret_cast<char*>(in_.data()), in_.size());
        inEnd_ = n == 0;
        z_.next_in = in_.data();
        z_.avail_in = static_cast<uInt>(n);
      }
      if (z_.avail_in == 0 && inEnd_) {
        if (betweenMembers_) break;
        throw InputError("the gzip stream ends early: the file is cut short");
      }
      if (betweenMembers_) {  // another member follows, as concatenated files give
        inflateReset(&z_);
        betweenMembers_ = false;
      }
      int const status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        betweenMembers_ = true;
      } else if (status == Z_MEM_ERROR) {
        throw std::bad_alloc();
      } else if (status != Z_OK && status != Z_BUF_ERROR) {  // Z_BUF_ERROR: more input needed
        throw InputError(fmt::format("the gzip stream is damaged: {}",
                                     z_.msg != nullptr ? z_.msg : "invalid data"));
      }
    }
    return size - z_.avail_out;
  }

 private:
  static constexpr std::size_t kInSize = std::size_t{1} << 16;

  z_stream z_{};
  std::vector<Bytef> in_;
  bool inEnd_ = false;           // the descriptor is at its end
  bool betweenMembers_ = false;  // a member ended; the input may hold another
};

LineReader::LineReader(int fd, std::function<void()> beforeRead, std::size_t blockSize,
                       std::size_t maxLine)
    : fd_(fd),
      beforeRead_(std::move(beforeRead)),
      blockSize_(blockSize),
      // A limit no line reaches is no limit; kept below the top so that a length past it cannot
      // wrap.
      maxLine_(std::min(maxLine, std::numeric_limits<std::size_t>::max() / 4)),
      buffer_(blockSize + simdjson::SIMDJSON_PADDING) {}

LineReader::~LineReader() = default;

// Deals with a byte-order mark once the first bytes are in; false while more are needed.
bool LineReader::startRead() {
  std::string_view const head(buffer_.data() + begin_, end_ - begin_);
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (head.size() < kUtf8Mark.size() && !eof_ && kUtf8Mark.starts_with(head)) return false;
  if (head.starts_with(kUtf8Mark)) {
    begin_ += kUtf8Mark.size();
  } else if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
    throw InputError(
        "the input is UTF-16 text (it starts with a byte-order mark); "
        "convert it to UTF-8");
  }
  started_ = true;
  return true;
}

// The end of the line that starts at begin_, or nullptr when it is not read yet. Only bytes
// not searched before are searched: one long line costs linear time.
char* LineReader::findLineEnd() {
  char* const from = buffer_.data() + begin_ + scanned_;
  std::size_t const size = end_ - begin_ - scanned_;
  if (lineEnd_ == LineEnd::unknown) {
    // The first line end found decides: "\r" alone, or "\n" (after "\r" or not).
    auto* const lf = static_cast<char*>(std::memchr(from, '\n', size));
    std::size_t const before = lf != nullptr ? static_cast<std::size_t>(lf - from) : size;
    auto* const cr = static_cast<char*>(std::memchr(from, '\r', before));
    if (cr == nullptr) {
      if (lf == nullptr) {
        scanned_ += size;
        return nullptr;
      }
      lineEnd_ = LineEnd::lf;
      return lf;
    }
    if (cr + 1 == buffer_.data() + end_ && !eof_) {  // "\r" or "\r\n": the next read tells
      scanned_ += static_cast<std::size_t>(cr - from);
      return nullptr;
    }
    lineEnd_ = cr + 1 == lf ? LineEnd::lf : LineEnd::cr;
    return lineEnd_ == LineEnd::lf ? lf : cr;
  }
  char const separator = lineEnd_ == LineEnd::cr ? '\r' : '\n';
  auto* const found = static_cast<char*>(std::memchr(from, separator, size));
  if (found == nullptr) scanned_ += size;
  return found;
}

void LineReader::handOut(std::string_view& line, std::size_t length, std::size_t consumed) {
  char* const first = buffer_.data() + begin_;
  lineBegin_ = begin_;
  begin_ += consumed;
  scanned_ = 0;
  ++lineNumber_;
  if (lineEnd_ != LineEnd::cr && length != 0 && first[length - 1] == '\r') --length;
  overlong_ = skipping_ || length > maxLine_;
  overlongLength_ = skipped_ + length;
  skipping_ = false;
  skipped_ = 0;
  line = overlong_ ? std::string_view(first, 0) : std::string_view(first, length);
}

bool LineReader::next(std::string_view& line) {
  for (;;) {
    if (!started_ && !startRead()) {
      fill();
      continue;
    }
    if (char* const lineEnd = findLineEnd()) {
      std::size_t const length = static_cast<std::size_t>(lineEnd - (buffer_.data() + begin_));
      handOut(line, length, length + 1);
      return true;
    }
    std::size_t const available = end_ - begin_;
    if (eof_) {
      if (available == 0 && !skipping_) return false;
      handOut(line, available, available);
      return true;
    }
    // Too long by now even with a "\r" before its "\n": keep nothing of it but its length.
    // (A "\r" at the end, which the next read decides on, stays.)
    if (skipping_ || available > maxLine_ + 1) {
      skipping_ = true;
      skipped_ += scanned_;
      begin_ += scanned_;
      scanned_ = 0;
    }
    fill();
  }
}

std::string_view LineReader::wholeLines() const noexcept {
  if (overlong_) return {};
  char const* const from = buffer_.data() + lineBegin_;
  if (eof_) return {from, end_ - lineBegin_};
  // Up to the last line end read: the line handed out has its own, before begin_.
  char const separator = lineEnd_ == LineEnd::cr ? '\r' : '\n';
  auto const* const last =
      static_cast<char const*>(memrchr(buffer_.data() + begin_, separator, end_ - begin_));
  std::size_t const to =
      last != nullptr ? static_cast<std::size_t>(last + 1 - buffer_.data()) : begin_;
  return {from, to - lineBegin_};
}

void LineReader::fill() {
  ++reads_;
  // Keep the unfinished line at the front and make room for one more block after it.
  std::size_t const kept = end_ - begin_;
  if (begin_ != 0) std::memmove(buffer_.data(), buffer_.data() + begin_, kept);
  begin_ = 0;
  end_ = kept;
  std::size_t const needed = kept + blockSize_ + simdjson::SIMDJSON_PADDING;
  if (buffer_.size() < needed) buffer_.resize(std::max(needed, 2 * buffer_.size()));
  if (beforeRead_) beforeRead_();
  std::size_t const n = readSome(buffer_.data() + end_, blockSize_);
  end_ += n;
  eof_ = n == 0;
}

// The input's next bytes, decompressed when it is a gzip stream (told by its first two bytes,
// whatever the file's name); 0 at its end.
std::size_t LineReader::readSome(char* to, std::size_t size) {
  if (gunzip_) return gunzip_->read(*this, to, size);
  if (!head_.empty()) {  // the first bytes of plain input, looked at and handed out now
    std::size_t const n = std::min(size, head_.size());
    std::memcpy(to, head_.data(), n);
    head_.erase(0, n);
    return n;
  }
  if (sniffed_) return readRaw(to, size);
  sniffed_ = true;
  char head[2];
  std::size_t n = readRaw(head, 2);
  if (n == 1 && head[0] == '\x1f') n += readRaw(head + 1, 1);  // a pipe's dribble
  if (n == 2 && head[0] == '\x1f' && head[1] == '\x8b') {
    gunzip_ = std::make_unique<Gunzip>(std::string_view(head, n));
    return gunzip_->read(*this, to, size);
  }
  head_.assign(head, n);
  return n == 0 ? 0 : readSome(to, size);
}

std::size_t LineReader::readRaw(char* to, std::size_t size) {
  for (;;) {
    ssize_t const n = ::read(fd_, to, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "read");
  }
}

}  // namespace eedb::replay
