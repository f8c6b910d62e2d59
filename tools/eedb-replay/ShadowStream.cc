// The lines that rebuild the shadow, and the check that they do.

#include "ShadowStream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>
#include <tuple>
#include <utility>

#include <fmt/format.h>

#include "Escape.h"
#include "Explainer.h"
#include "Printer.h"

namespace eedb::replay {

namespace {

constexpr std::size_t kDifferencesShown = 5;

// One entry of a shadow, by where it lies; its format and fields.
using PlaceText = std::tuple<std::string, unsigned, unsigned, std::uint32_t>;
using ShadowMap = std::map<PlaceText, ShadowView>;

ShadowMap shadowOf(Session& session) {
  ShadowMap entries;
  session.dumpShadow([&](std::string_view table, ShadowView const& view) {
    entries.emplace(PlaceText(std::string(table), view.fap, view.instance, view.key), view);
  });
  return entries;
}

std::string fieldText(ShadowField const& field) {
  fmt::memory_buffer out;
  appendJsonFieldValue(out, field.value);
  return fmt::to_string(out);
}

// What differs between the entry of the shadow and the one rebuilt: the format, else the first
// field.
std::string entryDifference(ShadowView const& shadow, ShadowView const& rebuilt) {
  if (shadow.format != rebuilt.format) {
    return fmt::format("format {} rebuilt as {}", shadow.format.empty() ? "none" : shadow.format,
                       rebuilt.format.empty() ? "none" : rebuilt.format);
  }
  for (std::size_t i = 0; i < shadow.fields.size() && i < rebuilt.fields.size(); ++i) {
    if (shadow.fields[i].value != rebuilt.fields[i].value) {
      return fmt::format("{} {} rebuilt as {}", shadow.fields[i].name, fieldText(shadow.fields[i]),
                         fieldText(rebuilt.fields[i]));
    }
  }
  return {};
}

bool sameFile(std::string const& a, std::string const& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

ShadowStream::ShadowStream(Session& session, SessionConfig config, std::string path,
                           std::span<std::string const> inputs)
    : session_(session), config_(std::move(config)), path_(std::move(path)) {
  for (std::string const& input : inputs) {
    if (input != "-" && sameFile(input, path_)) {
      throw std::runtime_error(
          fmt::format("--dump-shadow=stream: {} is also an input: writing "
                      "the dump there would overwrite it",
                      shownName(path_)));
    }
  }
  file_ = std::fopen(path_.c_str(), "we");
  if (file_ == nullptr) {
    throw std::runtime_error(
        fmt::format("cannot write {}: {}", shownName(path_), std::strerror(errno)));
  }
  for (auto const& util : session_.utils()) {
    auto const table = util.util->hwTableBase();
    tableOfUtil_.push_back(table ? tableOf(std::string(table->tableType())) : kNoTable);
  }
}

ShadowStream::~ShadowStream() {
  if (file_ != nullptr) std::fclose(file_);
}

std::uint16_t ShadowStream::tableOf(std::string_view type) {
  auto const it = std::find(tables_.begin(), tables_.end(), type);
  if (it != tables_.end()) return static_cast<std::uint16_t>(it - tables_.begin());
  tables_.emplace_back(type);
  return static_cast<std::uint16_t>(tables_.size() - 1);
}

void ShadowStream::record(LogLine const& line, std::span<OfferResult const> offers) {
  auto const& indices = session_.utilsOf(*line.table);
  bool const deletes = (line.flags & kDeleteFlag) != 0;
  absl::InlinedVector<std::uint32_t, 4> touched;
  std::size_t raised = 0;
  OfferResult const* raiser = nullptr;
  for (std::size_t i = 0; i < offers.size() && i < indices.size(); ++i) {
    OfferResult const& offer = offers[i];
    if (offer.error) {
      ++raised;
      raiser = &offer;
      continue;
    }
    // An add that sends nothing (an entry without a format) leaves the shadow as it was.
    if (!offer.applicable || (!deletes && offer.cmds.empty())) continue;
    std::uint16_t const table = tableOfUtil_[indices[i]];
    std::optional<std::uint32_t> const key =
        offer.shadowRead ? std::optional(offer.shadow.key) : session_.hwKeyOf(indices[i], line);
    if (table == kNoTable || !key) continue;  // the check at the end shows what this misses
    Place const place{table, line.unitId.fapIdRaw(), line.unitId.instanceId(), *key};
    auto const [it, added] = ids_.try_emplace(place, static_cast<std::uint32_t>(last_.size()));
    if (added) last_.push_back(kNone);
    if (std::find(touched.begin(), touched.end(), it->second) == touched.end()) {
      touched.push_back(it->second);
    }
  }
  if (touched.empty()) return;

  std::uint32_t id = 0;
  if (free_.empty()) {
    id = static_cast<std::uint32_t>(records_.size());
    records_.emplace_back();
  } else {
    id = free_.back();
    free_.pop_back();
  }
  Record& record = records_[id];
  record.order = order_++;
  record.table = line.table;
  record.entry = line.entry;
  record.unitId = line.unitId;
  record.flags = line.flags;
  record.places.assign(touched.begin(), touched.end());
  record.holds = static_cast<std::uint32_t>(touched.size());
  record.raised = raised;
  record.raisedUtil = raised == 1 ? raiser->name : std::string_view();
  record.raisedMessage = raised == 1 ? raiser->error->message : std::string();
  for (std::uint32_t const place : touched) {
    std::uint32_t const previous = std::exchange(last_[place], id);
    if (previous == kNone) continue;
    // The earlier line no longer decides this place; once it decides none, it is dropped.
    if (--records_[previous].holds == 0) free_.push_back(previous);
  }
}

std::string ShadowStream::lines() const {
  // The last lines to write the entries present now, then, until nothing is added, the last
  // line to touch any place that a chosen line touches.
  std::vector<bool> chosen(records_.size());
  std::vector<std::uint32_t> work;
  auto const choose = [&](std::uint32_t place) {
    std::uint32_t const record = last_[place];
    if (record == kNone || chosen[record]) return;
    chosen[record] = true;
    work.push_back(record);
  };
  session_.dumpShadow([&](std::string_view type, ShadowView const& view) {
    auto const table = std::find(tables_.begin(), tables_.end(), type);
    if (table == tables_.end()) return;
    Place const place{static_cast<std::uint16_t>(table - tables_.begin()), view.fap, view.instance,
                      view.key};
    if (auto const it = ids_.find(place); it != ids_.end()) choose(it->second);
  });
  for (std::size_t next = 0; next < work.size(); ++next) {
    for (std::uint32_t const place : records_[work[next]].places) choose(place);
  }
  std::sort(work.begin(), work.end(), [&](std::uint32_t a, std::uint32_t b) {
    return records_[a].order < records_[b].order;
  });
  fmt::memory_buffer out;
  for (std::uint32_t const record : work) writeLine(out, records_[record]);
  return fmt::to_string(out);
}

void ShadowStream::writeLine(fmt::memory_buffer& out, Record const& record) const {
  auto const put = [&](std::string_view text) { out.append(text); };
  put("{\"table\": ");
  appendJsonString(out, record.table->name);
  fmt::format_to(std::back_inserter(out), ", \"unit\": {{\"fap\": {}, \"instance\": {}}}",
                 record.unitId.fapIdRaw(), record.unitId.instanceId());
  if ((record.flags & kDeleteFlag) != 0) put(", \"delete\": true");
  if ((record.flags & kTableDeleteFlag) != 0) put(", \"tableDelete\": true");
  std::vector<ZuriErrm::Value::Member> members;
  record.table->visit(record.entry, [&](ZuriErrm::FieldInfo const& info, ZuriErrm::Value value) {
    members.push_back({std::string(info.name), std::move(value)});
  });
  put(", \"entry\": ");
  jsonValue(out, ZuriErrm::Value::object(std::move(members)));
  if (record.raised == 1) {
    put(", \"expect\": {\"util\": ");
    appendJsonString(out, record.raisedUtil);
    put(", \"error\": ");
    appendJsonString(out, record.raisedMessage);
    put("}");
  }
  put("}\n");
}

std::string ShadowStream::finish() {
  std::string const text = lines();
  bool const written = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  int const error = errno;
  bool const closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written || !closed) {
    throw std::runtime_error(fmt::format("cannot write {}: {}", shownName(path_),
                                         std::strerror(written ? errno : error)));
  }
  return compare(session_, config_, text);
}

std::string ShadowStream::compare(Session& session, SessionConfig const& config,
                                  std::string_view lines) {
  std::vector<std::string> found;
  std::size_t count = 0;
  auto const note = [&](std::string text) {
    if (count++ < kDifferencesShown) found.push_back(std::move(text));
  };
  ShadowMap rebuilt;
  {
    QuietTraces const quiet;  // the fresh table utilities' traces are not the replay's
    Session fresh(config);
    LineParser parser;
    LogLine line;
    std::string padded;
    std::size_t number = 0;
    while (!lines.empty()) {
      std::size_t const end = std::min(lines.find('\n'), lines.size());
      std::string_view const text = lines.substr(0, end);
      lines.remove_prefix(std::min(end + 1, lines.size()));
      ++number;
      padded.assign(text);
      padded.append(simdjson::SIMDJSON_PADDING, '\0');
      try {
        parser.parse(std::string_view(padded.data(), text.size()), line);
      } catch (ZuriErrm::InputError const& e) {
        note(fmt::format("line {} of the dump is refused: {}", number, e.message()));
        continue;
      }
      (void)fresh.offer(line, false);
    }
    rebuilt = shadowOf(fresh);
  }
  ShadowMap const shadow = shadowOf(session);
  auto const where = [](PlaceText const& place) {
    return fmt::format("{} fap {} instance {} key {}", std::get<0>(place), std::get<1>(place),
                       std::get<2>(place), std::get<3>(place));
  };
  for (auto const& [place, entry] : shadow) {
    auto const other = rebuilt.find(place);
    if (other == rebuilt.end()) {
      note(fmt::format("{}: not rebuilt (format {})", where(place),
                       entry.format.empty() ? "none" : entry.format));
      continue;
    }
    std::string const differs = entryDifference(entry, other->second);
    if (!differs.empty()) note(fmt::format("{}: {}", where(place), differs));
  }
  for (auto const& [place, entry] : rebuilt) {
    if (shadow.find(place) == shadow.end()) {
      note(fmt::format("{}: rebuilt, but not in the shadow", where(place)));
    }
  }
  if (count > found.size()) found.push_back(fmt::format("and {} more", count - found.size()));
  std::string text;
  for (auto const& line : found) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace eedb::replay
