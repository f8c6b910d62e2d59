// The replay's yardstick: reads a stream of JSON Lines with simdjson's On-Demand API and touches
// every value (numbers, strings, booleans, nulls, at any depth), building nothing and knowing
// nothing of the tables. bench/replay_speed.sh runs it on the streams the replay is timed on and
// shows the replay's processor time as a multiple of this program's.
//
//   eedb-parse-anchor FILE      prints "LINES lines, checksum SUM"; exit status 1 on bad JSON
#include <cstdint>
#include <cstdio>

#include <simdjson.h>

namespace {

using namespace simdjson;

// Adds every integer, key and string length and true of the value to sum.
error_code touch(ondemand::value value, std::uint64_t& sum) {
  ondemand::json_type type;
  if (auto error = value.type().get(type)) return error;
  switch (type) {
    case ondemand::json_type::object:
      for (auto field : value.get_object()) {
        std::string_view key;
        if (auto error = field.unescaped_key().get(key)) return error;
        sum += key.size();
        if (auto error = touch(field.value(), sum)) return error;
      }
      return SUCCESS;
    case ondemand::json_type::array:
      for (auto element : value.get_array()) {
        if (auto error = touch(element.value(), sum)) return error;
      }
      return SUCCESS;
    case ondemand::json_type::number: {
      ondemand::number number;
      if (auto error = value.get_number().get(number)) return error;
      if (number.is_uint64()) sum += number.get_uint64();
      if (number.is_int64()) sum += static_cast<std::uint64_t>(number.get_int64());
      return SUCCESS;
    }
    case ondemand::json_type::string: {
      std::string_view text;
      if (auto error = value.get_string().get(text)) return error;
      sum += text.size();
      return SUCCESS;
    }
    case ondemand::json_type::boolean: {
      bool flag;
      if (auto error = value.get_bool().get(flag)) return error;
      sum += flag;
      return SUCCESS;
    }
    case ondemand::json_type::null:
      return value.is_null().error();
  }
  return SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: eedb-parse-anchor FILE\n");
    return 2;
  }
  padded_string text;
  if (auto error = padded_string::load(argv[1]).get(text)) {
    std::fprintf(stderr, "eedb-parse-anchor: %s: %s\n", argv[1], error_message(error));
    return 2;
  }
  ondemand::parser parser;
  ondemand::document_stream lines;
  if (auto error = parser.iterate_many(text).get(lines)) {
    std::fprintf(stderr, "eedb-parse-anchor: %s\n", error_message(error));
    return 1;
  }
  std::uint64_t count = 0, sum = 0;
  for (auto line : lines) {
    ondemand::value value;
    error_code error = line.get_value().get(value);
    if (!error) error = touch(value, sum);
    if (error) {
      std::fprintf(stderr, "eedb-parse-anchor: line %llu: %s\n",
                   static_cast<unsigned long long>(count + 1), error_message(error));
      return 1;
    }
    ++count;
  }
  std::printf("%llu lines, checksum %llu\n", static_cast<unsigned long long>(count),
              static_cast<unsigned long long>(sum));
  return 0;
}
