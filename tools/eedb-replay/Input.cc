#include "Input.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>
#include <utility>

#include <fmt/format.h>

namespace eedb::replay {

using ZuriErrm::InputError;
using ZuriErrm::Value;
namespace dom = simdjson::dom;

namespace {

std::string jsonText(dom::element const& e) {
  return simdjson::to_string(e);
}

std::string joinPath(std::string_view prefix, std::string_view name) {
  return prefix.empty() ? std::string(name) : fmt::format("{}.{}", prefix, name);
}

// A JSON value as the catalogue takes it. Numbers of the catalogue are unsigned integers (or
// texts); what JSON has beyond that is refused here, with the field's path.
Value valueOf(dom::element const& e, std::string_view path) {
  switch (e.type()) {
    case dom::element_type::UINT64:
      return Value::number(e.get_uint64().value_unsafe());
    case dom::element_type::INT64:  // every integer that int64 holds, positive ones too
      return Value::negative(e.get_int64().value_unsafe());
    case dom::element_type::STRING:
      return Value::text(std::string(e.get_string().value_unsafe()));
    case dom::element_type::NULL_VALUE:
      return Value();
    case dom::element_type::OBJECT: {
      std::vector<Value::Member> members;
      dom::object const object = e.get_object().value_unsafe();
      for (auto [key, value] : object) {
        members.push_back({std::string(key), valueOf(value, joinPath(path, key))});
      }
      return Value::object(std::move(members));
    }
    case dom::element_type::DOUBLE:
      throw InputError(fmt::format("field '{}': {} is not an integer", path, jsonText(e)));
    case dom::element_type::BOOL:
    case dom::element_type::ARRAY:
      break;
  }
  throw InputError(fmt::format("field '{}': {} is not a number", path, jsonText(e)));
}

// An unsigned number of the line's own members (unit parts): a JSON integer or a text "0x1f"
// or "31", at most `max`.
std::uint64_t unsignedOf(dom::element const& e, std::string_view what, std::uint64_t max) {
  std::uint64_t n = 0;
  bool ok = false;
  if (e.type() == dom::element_type::UINT64) {
    n = e.get_uint64().value_unsafe();
    ok = true;
  } else if (e.type() == dom::element_type::INT64) {
    std::int64_t const i = e.get_int64().value_unsafe();
    if (i < 0) {
      throw InputError(fmt::format("{} {} is out of range (0 to {})", what, jsonText(e), max));
    }
    n = static_cast<std::uint64_t>(i);
    ok = true;
  } else if (e.type() == dom::element_type::STRING) {
    std::string_view s = e.get_string().value_unsafe();
    int base = 10;
    if (s.starts_with("0x") || s.starts_with("0X")) {
      s.remove_prefix(2);
      base = 16;
    }
    auto const [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n, base);
    ok = !s.empty() && end == s.data() + s.size() && ec == std::errc();
  }
  if (!ok) throw InputError(fmt::format("{} {} is not a number", what, jsonText(e)));
  if (n > max) {
    throw InputError(fmt::format("{} {} is out of range (0 to {})", what, jsonText(e), max));
  }
  return n;
}

bool flagOf(dom::element const& e, std::string_view name) {
  if (e.type() != dom::element_type::BOOL) {
    throw InputError(fmt::format("member '{}': {} is not true or false", name, jsonText(e)));
  }
  return e.get_bool().value_unsafe();
}

Asic::UnitId unitOf(dom::element const& e) {
  if (e.type() != dom::element_type::OBJECT) {
    throw InputError(
        fmt::format("unit: {} is not an object {{\"fap\": F, \"instance\": I}}", jsonText(e)));
  }
  std::uint64_t fap = 0;
  std::uint64_t instance = 0;
  dom::object const object = e.get_object().value_unsafe();
  for (auto [key, value] : object) {
    if (key == "fap") {
      fap = unsignedOf(value, "unit: fap", 255);
    } else if (key == "instance") {
      instance = unsignedOf(value, "unit: instance", 255);
    } else {
      throw InputError(fmt::format("unknown member 'unit.{}'", key));
    }
  }
  return Asic::UnitId::of(static_cast<std::uint8_t>(fap), static_cast<std::uint8_t>(instance));
}

}  // namespace

void LineParser::parse(std::string_view line, LogLine& out) {
  dom::element doc;
  if (auto const error = parser_.parse(line.data(), line.size(), false).get(doc)) {
    throw InputError(fmt::format("not valid JSON: {}", simdjson::error_message(error)));
  }
  if (doc.type() != dom::element_type::OBJECT) {
    throw InputError("a line must be a JSON object");
  }
  std::string_view tableName;
  bool hasTable = false;
  dom::element fields;
  bool hasFields = false;
  dom::element unit;
  bool hasUnit = false;
  bool hasUnitId = false;
  std::uint64_t unitId = 0;
  std::uint8_t flags = 0;
  dom::object const members = doc.get_object().value_unsafe();
  for (auto [key, value] : members) {
    if (key == "table") {
      if (value.type() != dom::element_type::STRING) {
        throw InputError(fmt::format("member 'table': {} is not a text", jsonText(value)));
      }
      tableName = value.get_string().value_unsafe();
      hasTable = true;
    } else if (key == "entry") {
      fields = value;
      hasFields = true;
    } else if (key == "unit") {
      unit = value;
      hasUnit = true;
    } else if (key == "unitId") {
      unitId = unsignedOf(value, "unitId", 0xFFFF);
      hasUnitId = true;
    } else if (key == "delete") {
      if (flagOf(value, key)) flags |= kDeleteFlag;
    } else if (key == "tableDelete") {
      if (flagOf(value, key)) flags |= kTableDeleteFlag;
    } else {
      throw InputError(fmt::format("unknown member '{}'", key));
    }
  }
  if (!hasTable) throw InputError("missing member 'table'");
  out.table = ZuriErrm::findTable(tableName);
  if (out.table == nullptr) throw InputError(fmt::format("unknown table '{}'", tableName));
  if (hasUnit && hasUnitId) throw InputError("give either 'unit' or 'unitId', not both");
  out.unitId = hasUnit ? unitOf(unit) : Asic::UnitId(static_cast<std::uint16_t>(unitId));
  out.flags = flags;
  out.entry = out.table->newEntry();
  if (!hasFields) return;
  if (fields.type() != dom::element_type::OBJECT) {
    throw InputError(fmt::format("member 'entry': {} is not an object", jsonText(fields)));
  }
  dom::object const entryFields = fields.get_object().value_unsafe();
  for (auto [key, value] : entryFields) {
    out.table->set(out.entry, key, valueOf(value, key));
  }
}

LineReader::LineReader(int fd, std::function<void()> beforeRead, std::size_t blockSize)
    : fd_(fd),
      beforeRead_(std::move(beforeRead)),
      blockSize_(blockSize),
      buffer_(blockSize + simdjson::SIMDJSON_PADDING) {}

bool LineReader::next(std::string_view& line) {
  for (;;) {
    char* const first = buffer_.data() + begin_;
    std::size_t const available = end_ - begin_;
    auto* const newline = static_cast<char*>(std::memchr(first, '\n', available));
    if (newline != nullptr || (eof_ && available != 0)) {
      std::size_t length =
          newline != nullptr ? static_cast<std::size_t>(newline - first) : available;
      begin_ += newline != nullptr ? length + 1 : length;
      if (length != 0 && first[length - 1] == '\r') --length;
      line = std::string_view(first, length);
      ++lineNumber_;
      return true;
    }
    if (eof_) return false;
    fill();
  }
}

bool LineReader::fill() {
  // Keep the unfinished line at the front and make room for one more block after it.
  std::size_t const kept = end_ - begin_;
  if (begin_ != 0) std::memmove(buffer_.data(), buffer_.data() + begin_, kept);
  begin_ = 0;
  end_ = kept;
  std::size_t const needed = kept + blockSize_ + simdjson::SIMDJSON_PADDING;
  if (buffer_.size() < needed) buffer_.resize(std::max(needed, 2 * buffer_.size()));
  if (beforeRead_) beforeRead_();
  for (;;) {
    ssize_t const n = ::read(fd_, buffer_.data() + end_, blockSize_);
    if (n > 0) {
      end_ += static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      eof_ = true;
      return false;
    }
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "read");
  }
}

}  // namespace eedb::replay
