// --verify: the SCHAN commands run on the chip model, compared with the shadow at the end.

#include "ChipCheck.h"

#include <algorithm>

#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"

namespace eedb::replay {

namespace {

std::vector<chip26_a0::MemoryDifference> compare(chip26_a0::ChipMemory const& chip,
                                                 ZuriAsicUtils::HwCommonTableBase const& base) {
  if (auto const* t = dynamic_cast<chip26_a0::EedbHwMdb const*>(&base)) {
    return compareWithShadow(chip, *t);
  }
  if (auto const* t = dynamic_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(&base)) {
    return compareWithShadow(chip, *t);
  }
  if (auto const* t = dynamic_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(&base)) {
    return compareWithShadow(chip, *t);
  }
  return {};
}

}  // namespace

void ChipCheck::execute(ZuriAsicUtils::SchanCmds const& cmds) {
  for (auto const& cmd : cmds) {
    ++commands_;
    try {
      chip_.execute(cmd);
    } catch (chip26_a0::SchanExecuteException const& e) {
      refused_.push_back(e.what());
    }
  }
}

std::size_t ChipCheck::report(Session const& session, Printer& printer) const {
  for (auto const& refused : refused_) printer.verifyRefused(refused);
  std::size_t differences = refused_.size();
  std::vector<ZuriAsicUtils::HwCommonTableBase const*> done;
  for (auto const& util : session.utils()) {
    auto const* table = util.util->hwTableBase().get();
    if (table == nullptr || std::find(done.begin(), done.end(), table) != done.end()) continue;
    done.push_back(table);
    for (auto const& d : compare(chip_, *table)) {
      ++differences;
      printer.verifyDifference(d);
    }
  }
  printer.verified(commands_, differences);
  return differences;
}

}  // namespace eedb::replay
