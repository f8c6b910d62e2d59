// Helpers of the replay tests that drive a session of the real plug-in (loaded with dlopen).
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "Input.h"
#include "Session.h"

namespace eedb::replay::testing {

// Parses a line held in a padded copy, as LineReader hands lines out.
inline LogLine parseLine(std::string_view text) {
  std::string padded(text);
  padded.append(simdjson::SIMDJSON_PADDING, ' ');
  LineParser parser;
  LogLine line;
  parser.parse(std::string_view(padded.data(), text.size()), line);
  return line;
}

// What a run of the tool gave: its exit status and its two output streams.
struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline std::string slurp(std::string const& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

inline SessionConfig config(std::vector<std::uint8_t> faps = {0}) {
  SessionConfig c;
  c.pluginPath = EEDB_PLUGIN_PATH;
  c.faps = std::move(faps);
  return c;
}

// "chip26_a0::ZuriErrmUtil::EedbOutrifUtil" -> "EedbOutrifUtil"
inline std::string_view shortUtil(std::string_view name) {
  auto const colon = name.rfind("::");
  return colon == std::string_view::npos ? name : name.substr(colon + 2);
}

// The result of the named table utility among an offer's results, or nullptr.
inline OfferResult const* resultOf(std::span<OfferResult const> results, std::string_view util) {
  for (auto const& r : results) {
    if (shortUtil(r.util) == util) return &r;
  }
  return nullptr;
}

}  // namespace eedb::replay::testing
