// --verify: every SCHAN command the replay produces runs on a model of the chip's memories;
// at the end every place where the chip memory differs from the shadow of a hardware table is
// reported, decoded field by field.
#pragma once

#include <cstddef>
#include <vector>

#include "Printer.h"
#include "Session.h"
#include "replay_support/ChipMemory.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace eedb::replay {

class ChipCheck {
 public:
  // Runs the commands on the chip model. A command the model refuses is counted and reported
  // at the end as a difference of its own.
  void execute(ZuriAsicUtils::SchanCmds const& cmds);

  // Compares every hardware table of the session's table utilities (each once) with the chip
  // model and prints the differences, then the totals. Returns the number of differences
  // (refused commands included).
  std::size_t report(Session const& session, Printer& printer) const;

 private:
  chip26_a0::ChipMemory chip_;
  std::size_t commands_ = 0;
  std::vector<std::string> refused_;
};

}  // namespace eedb::replay
