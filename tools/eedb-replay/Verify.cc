#include "Verify.h"

#include <algorithm>
#include <string>

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

// A JSON string: the texts here are entry and command prints, but quote what needs it.
std::string jsonText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
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

std::size_t ChipCheck::report(Session const& session, Form form, fmt::memory_buffer& out) const {
  auto it = std::back_inserter(out);
  for (auto const& refused : refused_) {
    if (form == Form::json) {
      fmt::format_to(it, "{{\"verify\": {{\"refused\": {}}}}}\n", jsonText(refused));
    } else {
      fmt::format_to(it, "verify: {}\n", refused);
    }
  }
  std::size_t differences = refused_.size();
  std::vector<ZuriAsicUtils::HwCommonTableBase const*> done;
  for (auto const& util : session.utils()) {
    auto const* table = util.util->hwTableBase().get();
    if (table == nullptr || std::find(done.begin(), done.end(), table) != done.end()) continue;
    done.push_back(table);
    for (auto const& d : compare(chip_, *table)) {
      ++differences;
      if (form == Form::text) {
        fmt::format_to(it, "verify: {}\n", d);
        continue;
      }
      fmt::format_to(it,
                     "{{\"verify\": {{\"memory\": \"{}\", \"fap\": {}, \"instance\": {}, "
                     "\"index\": {}, \"shadow\": {}, \"chip\": {}, \"fields\": {{",
                     d.place.memory, d.place.fapId, d.place.instanceId, d.place.index,
                     jsonText(d.shadow), jsonText(d.chip));
      char const* sep = "";
      for (auto const& f : d.fields) {
        fmt::format_to(it, "{}\"{}\": {{\"shadow\": {}, \"chip\": {}}}", sep, f.name,
                       jsonText(f.shadow), jsonText(f.chip));
        sep = ", ";
      }
      fmt::format_to(it, "}}}}}}\n");
    }
  }
  if (form == Form::json) {
    fmt::format_to(it, "{{\"verified\": {{\"commands\": {}, \"differences\": {}}}}}\n", commands_,
                   differences);
  } else {
    fmt::format_to(it,
                   "verify: {} commands run on the chip model, {} difference{} from the shadow\n",
                   commands_, differences, differences == 1 ? "" : "s");
  }
  return differences;
}

}  // namespace eedb::replay
