// Short streams of arbitrary log entries, unit ids and flags offered through processSwEntry to
// every table utility of their table, the plug-in loaded once with dlopen. Each offer either
// succeeds (every shadow entry decodes from its own write command, every command decodes to what
// the FAP of its place reads in the shadow, and the chip memory model fed the stream's commands
// equals the shadow), or raises Asic::OrderedTableException or Pelix::RangeException leaving the
// shadow, the counters and the enqueue statistics as they were. An input beginning with '{' is
// replay lines (the examples seed the corpus); others are bytes: table, FAP mask, unit id, flags,
// fields in catalogue order, then while bytes remain further entries: a table byte (with bit 7
// set: the previous entry again, so that the null FAP and single FAPs meet at one key), unit id,
// flags and, for a new entry, its fields.
// EEDB_FUZZ_DUMP_COMMANDS=DIR writes every command to DIR, packed, to seed the command target.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "Check.h"
#include "Input.h"
#include "Session.h"
#include "asic/OrderedTableException.h"
#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "pelix/RangeException.h"
#include "replay_support/Catalog.h"
#include "replay_support/ChipMemory.h"

namespace {

using eedb::fuzz::Bytes;
using eedb::fuzz::fail;
using ZuriAsicUtils::HwShadowKey;
using ZuriAsicUtils::SchanCmd;
using ZuriErrm::FieldInfo;
using ZuriErrm::FieldKind;
using ZuriErrm::Value;

constexpr unsigned kMaskFaps[] = {0, 1, 2, 3, 4, 5, 6, 127};

Value valueOf(FieldInfo const& field, Bytes& in) {
  switch (field.kind) {
    case FieldKind::number:
    case FieldKind::bounded: {
      std::uint64_t const v = in.take((field.bits + 7) / 8);
      std::uint64_t const max = field.max();
      return Value::number(max == ~std::uint64_t{0} ? v : v % (max + 1));
    }
    case FieldKind::outlif: {
      if ((in.take(1) & 1) == 0) return Value();
      return Value::number(in.take(4) % (field.max() + 1));
    }
    case FieldKind::address: {
      if ((in.take(1) & 1) == 0) {
        return Value::text(
            fmt::format("{}.{}.{}.{}", in.take(1), in.take(1), in.take(1), in.take(1)));
      }
      std::string text;
      for (int i = 0; i < 8; ++i) text += fmt::format("{}{:x}", i ? ":" : "", in.take(2));
      return Value::text(text);
    }
    case FieldKind::mac: {
      std::string text;
      for (int i = 0; i < 6; ++i) text += fmt::format("{}{:02x}", i ? ":" : "", in.take(1));
      return Value::text(text);
    }
    case FieldKind::object: {
      std::vector<Value::Member> members;
      for (auto const& m : field.members) members.push_back({std::string(m.name), valueOf(m, in)});
      return Value::object(std::move(members));
    }
  }
  return Value();
}

// Calls f with the hardware table of one of the chip's classes.
template <class F>
void withTable(ZuriAsicUtils::HwCommonTableBase const* base, F&& f) {
  if (auto const* t = dynamic_cast<chip26_a0::EedbHwMdb const*>(base)) return f(*t);
  if (auto const* t = dynamic_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(base)) return f(*t);
  if (auto const* t = dynamic_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(base))
    return f(*t);
  fail("a table utility holds a hardware table of unknown class");
}

// Every shadow entry printed in shadow order, the counters, the enqueue records and total.
using Snapshot = std::tuple<std::vector<std::string>, std::uint64_t, std::uint64_t, std::uint64_t,
                            std::uint64_t, std::size_t, std::uint64_t>;

Snapshot snapshot(ZuriAsicUtils::UtilBase const& util) {
  std::vector<std::string> shadow;
  withTable(util.hwTableBase().get(), [&](auto const& table) {
    table.forEachEntry(
        [&](HwShadowKey k, auto const& e) { shadow.push_back(fmt::format("{} {}", k, e)); });
  });
  auto const& stats = *util.stats();
  auto& manager = util.hwTableManager()->stats();
  auto const record = manager.schanEnqueueStats(util.utilKey().swTableId);
  return Snapshot(std::move(shadow), stats.addCnt(), stats.deleteCnt(), stats.updateOnDelCnt(),
                  stats.fapmaskMismatch(), manager.recordCount(),
                  record ? record->totalEnqueueCnt() : 0);
}

// Every stored entry decodes from its own write command; every command decodes to what the FAP
// of its place reads in the shadow (its own entry, else the null FAP's).
template <class Table>
void checkTable(Table const& table, ZuriAsicUtils::SchanCmds const& cmds) {
  table.forEachEntry([&](HwShadowKey k, typename Table::Entry const& e) {
    SchanCmd const cmd = Table::encode(k, e);
    auto const decoded = Table::decode(cmd);
    if (cmd.op == SchanCmd::Op::write && (!decoded || !(*decoded == e))) {
      fail("shadow entry {} {} does not come back from its command {}", k, e, cmd);
    }
  });
  for (auto const& cmd : cmds) {
    if (cmd.memory != Table::kMemory) continue;
    auto const decoded = Table::decode(cmd);
    HwShadowKey const k(SchanAccel::FapId(cmd.fapId), cmd.instanceId);
    auto const* stored = table.entrySeenBy(k, typename Table::EntryKey(cmd.index));
    if (decoded) {
      if (stored == nullptr || !(*stored == *decoded))
        fail("command {} writes what the shadow does not hold", cmd);
    } else if (stored != nullptr && Table::encode(k, *stored).op == SchanCmd::Op::write) {
      fail("command {} clears an entry that the shadow holds: {}", cmd, *stored);
    }
  }
}

struct Fixture {
  std::unique_ptr<eedb::replay::Session> session;
  std::vector<ZuriErrm::TableInfo const*> tables;           // that have table utilities
  std::vector<ZuriAsicUtils::HwCommonTableBase*> hwTables;  // each once
  int mask = -1;                                            // the masks' FAPs now
  std::string dumpDir;
  unsigned dumped = 0;

  Fixture() {
    eedb::replay::SessionConfig config;
    config.pluginPath = EEDB_PLUGIN_PATH;
    session = std::make_unique<eedb::replay::Session>(config);
    for (auto const& table : ZuriErrm::tables()) {
      if (!session->utilsOf(table).empty()) tables.push_back(&table);
    }
    for (auto const& u : session->utils()) {
      auto* table = u.util->hwTableBase().get();
      if (std::find(hwTables.begin(), hwTables.end(), table) == hwTables.end()) {
        hwTables.push_back(table);
      }
    }
    if (char const* dir = std::getenv("EEDB_FUZZ_DUMP_COMMANDS")) dumpDir = dir;
  }

  // Every hardware table empty, every table utility's mask the given FAPs; set-up of an input
  // costs little next to its offers.
  void reset(std::uint8_t bits) {
    for (auto* table : hwTables) table->clearTable(SchanAccel::FapId::null);
    if (mask == bits) return;
    mask = bits;
    for (auto const& u : session->utils()) {
      for (unsigned i = 0; i < std::size(kMaskFaps); ++i) {
        SchanAccel::FapId const fap(kMaskFaps[i]);
        if (bits & (1u << i)) {
          u.util->fapIdIs(Pelix::make<ZuriAsicUtils::FapControlData>(fap));
        } else {
          u.util->fapIdDel(fap);
        }
      }
    }
  }

  void dump(SchanCmd const& cmd) {
    if (dumpDir.empty()) return;
    std::uint8_t bytes[eedb::fuzz::kPackedCommandBytes];
    eedb::fuzz::packCommand(cmd, bytes);
    if (std::FILE* f = std::fopen(fmt::format("{}/cmd{:06}", dumpDir, dumped++).c_str(), "wb")) {
      std::fwrite(bytes, 1, sizeof bytes, f);
      std::fclose(f);
    }
  }
};

// Offers one line to every table utility of its table and checks each offer.
void offer(Fixture& fixture, eedb::replay::LogLine const& line, chip26_a0::ChipMemory& chip) {
  auto& session = *fixture.session;
  auto const wrapper = line.table->makeWrapper(line.entry, line.unitId, line.flags);
  for (std::size_t index : session.utilsOf(*line.table)) {
    auto const& util = *session.utils()[index].util;
    Snapshot const before = snapshot(util);
    ZuriAsicUtils::SchanCmds cmds;
    try {
      cmds = session.utils()[index].util->processSwEntry(wrapper);
    } catch (Asic::OrderedTableException const& e) {
      if (!(snapshot(util) == before))
        fail("{} changed state and raised: {}", util.utilKey().utilName, e.what());
      continue;
    } catch (Pelix::RangeException const& e) {
      if (!(snapshot(util) == before))
        fail("{} changed state and raised: {}", util.utilKey().utilName, e.what());
      continue;
    }
    withTable(util.hwTableBase().get(), [&](auto const& table) { checkTable(table, cmds); });
    for (auto const& cmd : cmds) {
      chip.execute(cmd);
      fixture.dump(cmd);
    }
    withTable(util.hwTableBase().get(), [&](auto const& table) {
      auto const differences = chip26_a0::compareWithShadow(chip, table);
      if (!differences.empty()) {
        fail("after {} the chip differs from the shadow: {}", util.utilKey().utilName,
             differences.front());
      }
    });
  }
}

constexpr std::size_t kMaxEntries = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static Fixture fixture;
  static eedb::replay::LineParser parser;

  static std::vector<eedb::replay::LogLine> lines;
  lines.clear();
  std::uint8_t mask = 1;  // FAP 0
  if (size > 0 && data[0] == '{') {
    std::string_view text(reinterpret_cast<char const*>(data), size);
    while (!text.empty() && lines.size() < kMaxEntries) {
      try {
        eedb::fuzz::parseLine(parser, text, lines.emplace_back());
      } catch (ZuriErrm::InputError const&) {
        lines.pop_back();
      }
      auto const end = text.find('\n');
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
  } else {
    Bytes in(data, size);
    for (std::size_t n = 0; n < kMaxEntries && (n == 0 || !in.empty()); ++n) {
      auto const tableByte = in.take(1);
      if (n == 0) mask = static_cast<std::uint8_t>(in.take(1));
      auto& line = lines.emplace_back();
      bool const again = n > 0 && (tableByte & 0x80) != 0;
      if (again) line = lines[lines.size() - 2];
      line.unitId = Asic::UnitId(static_cast<std::uint16_t>(in.take(2)));
      line.flags = static_cast<std::uint8_t>(in.take(1));
      if (again) continue;
      line.table = fixture.tables[tableByte % fixture.tables.size()];
      line.entry = line.table->newEntry();
      for (auto const& field : line.table->fields) {
        try {
          field.set(line.entry, valueOf(field, in));
        } catch (ZuriErrm::InputError const&) {
          // A value the field's storage refuses (SRv6 data of another view): leave the field.
        }
      }
    }
  }

  fixture.reset(mask);
  chip26_a0::ChipMemory chip;
  for (auto const& line : lines) offer(fixture, line, chip);
  return 0;
}
