// Instruction counts: one measured pass of every subject and operation, alone between
// callgrind's client requests, each dumped under its own name ("EedbOutrifUtil/view:1/update/
// processSwEntry entries=65536"). Run under
//   valgrind --tool=callgrind --instr-atstart=no eedb-bench --instructions=all
// the dumps' totals divided by their entries are the instructions per entry; outside callgrind
// the requests do nothing. Instruction counts do not move with the machine's load.
#include <valgrind/callgrind.h>

#include <string>

#include <fmt/format.h>

#include "Bench.h"
#include "MixedStream.h"

namespace eedb::bench {
namespace {

template <class Pass>
void count(std::string const& name, std::size_t entries, Pass&& pass) {
  auto const dump = fmt::format("{} entries={}", name, entries);
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
  pass();
  CALLGRIND_DUMP_STATS_AT(dump.c_str());
  CALLGRIND_STOP_INSTRUMENTATION;
}

// The pass that a benchmark's steady state times (see Subject): adds into a store emptied
// after it was full once, updates with the updated values, deletes from a full store.
void countSubject(std::string const& name, Subject& s, Op op) {
  s.fill();
  if (op == Op::add) s.clear();
  count(name, gOptions.keys, [&] { s.pass(op, true); });
  if (op == Op::del) s.fill();
}

}  // namespace

void countInstructions(std::string_view which) {
  if (which != "mixed") {
    for (auto const& c : cases()) {
      auto util = utilSubject(c);
      for (Op op : kOps) {
        countSubject(fmt::format("{}/{}/{}", c.label, opName(op), kUtilKind), *util, op);
      }
      util.reset();
      if (!hasFloor(c)) continue;
      for (bool readBack : {true, false}) {
        auto floor = floorSubject(c, readBack);
        for (Op op : kOps) {
          countSubject(
              fmt::format("{}/{}/{}", c.label, opName(op), readBack ? kFloorKind : kFloorWriteKind),
              *floor, op);
        }
      }
    }
  }
  if (which != "table") {
    MixedStream stream(gOptions.mixedKeys);
    std::size_t calls = 0;
    count(fmt::format("mixed/4faps/{}", kUtilKind), stream.size(),
          [&] { calls = stream.pass(true); });
    fmt::print("mixed: {} entries, {} processSwEntry calls\n", stream.size(), calls);
  }
}

}  // namespace eedb::bench
