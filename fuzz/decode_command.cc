// Arbitrary SCHAN command words, decoded by the MDB table and both direct tables and executed by
// the chip memory model. A decoder either raises SchanDecodeException or returns an entry (or
// nothing, for a clear) whose own command is the command it read; the model either refuses the
// command with SchanExecuteException, leaving the memory as it was, or afterwards reads exactly
// what the command wrote, on every FAP that it addresses.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "Check.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "replay_support/ChipMemory.h"

namespace {

using eedb::fuzz::fail;
using ZuriAsicUtils::SchanCmd;

template <class Table>
void decodeBack(SchanCmd const& cmd) {
  std::optional<typename Table::Entry> entry;
  try {
    entry = Table::decode(cmd);
  } catch (chip26_a0::SchanDecodeException const&) {
    return;
  }
  if (cmd.memory != Table::kMemory)
    fail("{} decoded a command of another memory: {}", Table::kTableType, cmd);
  if (!entry) {
    if (cmd.op != SchanCmd::Op::clear)
      fail("{} read no entry from a write: {}", Table::kTableType, cmd);
    return;
  }
  if (cmd.op != SchanCmd::Op::write)
    fail("{} read an entry from a clear: {}", Table::kTableType, cmd);
  if (cmd.fapId > 128) return;  // no shadow key to encode it under
  ZuriAsicUtils::HwShadowKey const key(SchanAccel::FapId(cmd.fapId), cmd.instanceId);
  SchanCmd const again = Table::encode(key, *entry);
  if (!(again == cmd))
    fail("{} decodes {} into {}, which encodes as {}", Table::kTableType, cmd, *entry, again);
}

// What a FAP reads after the command, given what it read before.
chip26_a0::ChipMemory::Content after(SchanCmd const& cmd, chip26_a0::ChipMemory::Content before) {
  if (cmd.op == SchanCmd::Op::write) return {cmd.resultType, cmd.sizeBits, cmd.data};
  if (cmd.sizeBits >= before.sizeBits) return {};
  for (unsigned bit = 0; bit < cmd.sizeBits; ++bit) before.data[bit / 32] &= ~(1u << (bit % 32));
  return before;
}

void execute(SchanCmd const& cmd) {
  chip26_a0::ChipMemory chip;
  SchanCmd seed = cmd;  // something on FAP 0 first, so that the command has a state to change
  seed.op = SchanCmd::Op::write;
  seed.fapId = 0;
  seed.resultType = 1;
  seed.sizeBits = 160;
  chip.execute(seed);
  std::uint8_t const faps[] = {0, 77, cmd.fapId};
  chip26_a0::ChipMemory::Content before[3];
  for (int i = 0; i < 3; ++i) before[i] = chip.read(cmd.memory, faps[i], cmd.instanceId, cmd.index);
  try {
    chip.execute(cmd);
  } catch (chip26_a0::SchanExecuteException const&) {
    for (int i = 0; i < 3; ++i) {
      if (!(chip.read(cmd.memory, faps[i], cmd.instanceId, cmd.index) == before[i])) {
        fail("a refused command changed the chip: {}", cmd);
      }
    }
    return;
  }
  for (int i = 0; i < 3; ++i) {
    bool const addressed = cmd.fapId == 128 || faps[i] == cmd.fapId;
    auto const want = addressed ? after(cmd, before[i]) : before[i];
    auto const have = chip.read(cmd.memory, faps[i], cmd.instanceId, cmd.index);
    if (!((have.empty() && want.empty()) || have == want)) {
      fail("FAP {} does not read back what {} left", faps[i], cmd);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  eedb::fuzz::Bytes in(data, size);
  SchanCmd const cmd = eedb::fuzz::unpackCommand(in);
  decodeBack<chip26_a0::EedbHwMdb>(cmd);
  decodeBack<chip26_a0::EedbAgMemTlmHwDirect>(cmd);
  decodeBack<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect>(cmd);
  execute(cmd);
  return 0;
}
