// --verify: the SCHAN commands run on the chip model, compared with the shadow at the end.

#include "ChipCheck.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "Escape.h"

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

// A field value as the offers carry it; null for none.
void jsonValue(fmt::memory_buffer& out, std::optional<chip26_a0::layout::FieldValue> const& v) {
  if (v) {
    appendJsonFieldValue(out, *v);
  } else {
    out.append(std::string_view("null"));
  }
}

// "NAME": {"shadow": ..., "chip": ...} for each field difference, the pair written by `side`.
template <class Side>
void jsonFieldPairs(fmt::memory_buffer& out, std::vector<chip26_a0::FieldDifference> const& fields,
                    Side const& side) {
  out.push_back('{');
  char const* sep = "";
  for (auto const& f : fields) {
    out.append(std::string_view(sep));
    appendJsonString(out, f.name);
    out.append(std::string_view(": {\"shadow\": "));
    side(f, true);
    out.append(std::string_view(", \"chip\": "));
    side(f, false);
    out.push_back('}');
    sep = ", ";
  }
  out.push_back('}');
}

// {"verify": {"memory": ..., "fap": ..., "instance": ..., "index": ..., "shadow": ENTRY TEXT,
//  "chip": ENTRY TEXT, "fields": {NAME: {"shadow": TEXT, "chip": TEXT}},
//  "values": {NAME: {"shadow": NUMBER, "chip": NUMBER}}, "addresses": {...}}}
void jsonDifference(fmt::memory_buffer& out, chip26_a0::MemoryDifference const& d) {
  auto it = std::back_inserter(out);
  out.append(std::string_view("{\"verify\": {\"memory\": "));
  appendJsonString(out, d.place.memory);
  fmt::format_to(it, ", \"fap\": {}, \"instance\": {}, \"index\": {}, \"shadow\": ", d.place.fapId,
                 d.place.instanceId, d.place.index);
  appendJsonString(out, d.shadow);
  out.append(std::string_view(", \"chip\": "));
  appendJsonString(out, d.chip);
  out.append(std::string_view(", \"fields\": "));
  jsonFieldPairs(out, d.fields, [&](chip26_a0::FieldDifference const& f, bool shadow) {
    appendJsonString(out, shadow ? f.shadow : f.chip);
  });
  out.append(std::string_view(", \"values\": "));
  jsonFieldPairs(out, d.fields, [&](chip26_a0::FieldDifference const& f, bool shadow) {
    jsonValue(out, shadow ? f.shadowValue : f.chipValue);
  });
  std::vector<chip26_a0::FieldDifference> addresses;
  for (auto const& f : d.fields) {
    if (f.kind != chip26_a0::layout::FieldKind::number) addresses.push_back(f);
  }
  if (!addresses.empty()) {
    out.append(std::string_view(", \"addresses\": "));
    jsonFieldPairs(out, addresses, [&](chip26_a0::FieldDifference const& f, bool shadow) {
      auto const& value = shadow ? f.shadowValue : f.chipValue;
      if (value) {
        appendJsonString(out, shadow ? f.shadow : f.chip);
      } else {
        out.append(std::string_view("null"));
      }
    });
  }
  out.append(std::string_view("}}\n"));
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
      out.append(std::string_view("{\"verify\": {\"refused\": "));
      appendJsonString(out, refused);
      out.append(std::string_view("}}\n"));
    } else {
      out.append(std::string_view("verify: "));
      appendEscapedText(out, refused);
      out.push_back('\n');
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
        out.append(std::string_view("verify: "));
        appendEscapedText(out, fmt::format("{}", d));
        out.push_back('\n');
        continue;
      }
      jsonDifference(out, d);
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
