// What the fuzz targets share: a failed invariant stops the run with its reason (libFuzzer then
// saves the input), reading a replay line, and the packed form of one SCHAN command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <simdjson.h>

#include "Input.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace eedb::fuzz {

template <class... Args>
[[noreturn]] void fail(fmt::format_string<Args...> format, Args&&... args) {
  fmt::print(stderr, "invariant broken: {}\n", fmt::format(format, std::forward<Args>(args)...));
  std::abort();
}

// Parses the line up to its first newline from a padded copy, as the replay tool reads in place.
inline void parseLine(eedb::replay::LineParser& parser, std::string_view line,
                      eedb::replay::LogLine& out) {
  static std::string buffer;
  buffer.assign(line.substr(0, line.find('\n')));
  std::size_t const length = buffer.size();
  buffer.resize(length + simdjson::SIMDJSON_PADDING, '\0');
  parser.parse(std::string_view(buffer.data(), length), out);
}

// Reads little-endian numbers off the input; past its end every byte reads 0.
class Bytes {
 public:
  Bytes(std::uint8_t const* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t take(unsigned bytes) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) {
      std::uint64_t const b = pos_ < size_ ? data_[pos_] : 0;
      ++pos_;
      v |= b << (8 * i);
    }
    return v;
  }
  bool empty() const noexcept { return pos_ >= size_; }

 private:
  std::uint8_t const* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The memories a command may name; the last is no memory of this chip.
inline constexpr std::string_view kMemories[] = {
    chip26_a0::EedbHwMdb::kMemory, chip26_a0::EedbAgMemTlmHwDirect::kMemory,
    chip26_a0::EedbDataByLocalOutlifMsbsHwDirect::kMemory, "EEDB_OTHER"};

// op, fap, instance, memory, index (4), result type, size (2), data (5 x 4)
inline constexpr std::size_t kPackedCommandBytes = 31;

inline ZuriAsicUtils::SchanCmd unpackCommand(Bytes& in) {
  ZuriAsicUtils::SchanCmd cmd;
  cmd.op = static_cast<ZuriAsicUtils::SchanCmd::Op>(in.take(1));
  cmd.fapId = static_cast<std::uint8_t>(in.take(1));
  cmd.instanceId = static_cast<std::uint8_t>(in.take(1));
  cmd.memory = kMemories[in.take(1) % std::size(kMemories)];
  cmd.index = static_cast<std::uint32_t>(in.take(4));
  cmd.resultType = static_cast<std::uint8_t>(in.take(1));
  cmd.sizeBits = static_cast<std::uint16_t>(in.take(2));
  for (auto& word : cmd.data) word = static_cast<std::uint32_t>(in.take(4));
  return cmd;
}

inline void packCommand(ZuriAsicUtils::SchanCmd const& cmd,
                        std::uint8_t (&out)[kPackedCommandBytes]) {
  std::size_t pos = 0;
  auto put = [&](std::uint64_t v, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) out[pos++] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(static_cast<std::uint8_t>(cmd.op), 1);
  put(cmd.fapId, 1);
  put(cmd.instanceId, 1);
  std::size_t memory = 0;
  while (memory + 1 < std::size(kMemories) && kMemories[memory] != cmd.memory) ++memory;
  put(memory, 1);
  put(cmd.index, 4);
  put(cmd.resultType, 1);
  put(cmd.sizeBits, 2);
  for (auto word : cmd.data) put(word, 4);
}

}  // namespace eedb::fuzz
