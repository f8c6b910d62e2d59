// The shadow store of the chip's hardware tables and the building of their SCHAN commands.
#include "chip26_a0/HwShadow.h"

#include <algorithm>

#include <fmt/format.h>

#include "pelix/RangeException.h"

namespace chip26_a0::detail {

using ZuriAsicUtils::SchanCmd;

void throwCommandBits(std::string_view table, unsigned sizeBits) {
  Pelix::RangeException::throwException(
      fmt::format("{}::sizeBits {} > {} not allowed", table, sizeBits, 32 * SchanCmd::kMaxWords));
}

void throwDecode(SchanCmd const& cmd, std::string_view reason) {
  throw SchanDecodeException(fmt::format("SCHAN command {} {}[{}] fap {} instance {}: {}",
                                         cmd.op == SchanCmd::Op::write ? "write" : "clear",
                                         cmd.memory, cmd.index, cmd.fapId, cmd.instanceId, reason));
}

bool checkDecodable(SchanCmd const& cmd, std::string_view memory) {
  if (cmd.memory != memory) throwDecode(cmd, fmt::format("memory is not {}", memory));
  if (cmd.sizeBits > 32 * SchanCmd::kMaxWords) {
    throwDecode(cmd, fmt::format("{} bits do not fit in a command", cmd.sizeBits));
  }
  if (cmd.op == SchanCmd::Op::write) return true;
  if (cmd.op != SchanCmd::Op::clear) throwDecode(cmd, "unknown operation");
  if (cmd.resultType != 0) throwDecode(cmd, "a clear names no result type");
  if (std::any_of(cmd.data.begin(), cmd.data.end(), [](std::uint32_t w) { return w != 0; })) {
    throwDecode(cmd, "a clear carries no data");
  }
  return false;
}

}  // namespace chip26_a0::detail
