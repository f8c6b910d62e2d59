// --shrink: the whole stream replayed once to find its failure, then sub-streams replayed until
// no line can go.

#include "Shrink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>
#include <simdjson.h>

#include "Escape.h"
#include "replay_support/ChipMemory.h"

namespace eedb::replay {

void StreamLines::add(std::string_view text, std::size_t file, std::size_t number) {
  spans_.push_back({buffer_.size(), text.size(), file, number});
  buffer_.append(text);
  buffer_.push_back('\n');
}

void StreamLines::seal() {
  buffer_.append(simdjson::SIMDJSON_PADDING, ' ');
}

namespace {

// Prints nothing; keeps the places where --verify finds the chip different from the shadow.
class ProbePrinter final : public Printer {
 public:
  std::vector<std::string> places;  // as the failure names them
  // The memory and index of each difference's place, beside its text.
  std::vector<std::pair<std::string_view, std::uint32_t>> indices;

  void traces(std::optional<std::size_t>, std::span<TraceLine const>) override {}
  void rejected(std::size_t, std::string_view) override {}
  void unmet(std::size_t, std::string_view, std::string_view) override {}
  void dumpEntry(std::string_view, ShadowView const&) override {}
  void summary(Summary const&) override {}
  void verifyRefused(std::string_view message) override {
    places.push_back(fmt::format("the chip model refused a command: {}", message));
    indices.emplace_back();
  }
  void verifyDifference(chip26_a0::MemoryDifference const& difference) override {
    places.push_back(fmt::format("the chip differs from the shadow at {}", difference.place));
    indices.emplace_back(difference.place.memory, difference.place.index);
  }
  void verified(std::size_t, std::size_t) override {}
  void tableList(std::span<TableListing const>) override {}
  void description(TableDescription const&) override {}
  void version(VersionInfo const&) override {}
  void shrunk(ShrinkReport const&) override {}
  void comparing(PluginId const (&)[2]) override {}
  void lineDiffers(StreamPlace const&, std::span<MemberDifference const>) override {}
  void compared(std::size_t, std::size_t, std::optional<StreamPlace> const&) override {}

 protected:
  void shownOffer(std::size_t, OfferResult const&) override {}
};

// What a line failed on; empty when it did not fail.
std::string failureOf(LineOutcome const& o) {
  if (!o.unforeseen && o.differs.empty()) return {};
  if (!o.differs.empty()) {
    return o.differs.starts_with("--strict: ") ? o.differs : "unmet: " + o.differs;
  }
  if (!o.rejected.empty()) return "refused: " + o.rejected;
  for (OfferResult const& offer : o.offers) {
    if (offer.error) {
      return fmt::format("{} raised {}: {}", offer.name, offer.error->type, offer.error->message);
    }
  }
  return "failed";
}

// The raw JSON of a member of the line's entry ("key") or of the line ("table"); empty when the
// line does not have it.
std::string memberText(simdjson::dom::parser& parser, std::string_view text, bool entryKey) {
  simdjson::dom::element line;
  if (parser.parse(text.data(), text.size(), false).get(line) != simdjson::SUCCESS) return {};
  simdjson::dom::element member;
  auto const found = entryKey ? line["entry"]["key"].get(member) : line["table"].get(member);
  return found == simdjson::SUCCESS ? simdjson::minify(member) : std::string();
}

class Shrinker {
 public:
  Shrinker(SessionConfig const& config, RunSettings settings, StreamLines const& lines)
      : config_(config), settings_(settings), lines_(lines) {}

  ShrinkResult run() {
    auto const start = std::chrono::steady_clock::now();
    ShrinkResult result;
    std::vector<std::size_t> all(lines_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    result.failure = find(all);
    if (result.failure.kind == Failure::Kind::none) return result;
    failure_ = result.failure;
    probes_ = 0;
    std::vector<std::size_t> candidates = cheapCuts(all);
    result.kept = ddmin(std::move(candidates));
    if (failure_.kind == Failure::Kind::line) {
      result.kept.insert(std::upper_bound(result.kept.begin(), result.kept.end(), failure_.line),
                         failure_.line);
    }
    shrinkMembers(result);
    result.probes = probes_;
    result.seconds = std::chrono::steady_clock::now() - start;
    return result;
  }

 private:
  using Observe = std::function<void(std::size_t, LineOutcome const&)>;

  // A line as the probes replay it: rewritten, or as it came.
  std::string_view textOf(std::size_t i) const {
    auto const found = rewritten_.find(i);
    if (found == rewritten_.end()) return lines_.text(i);
    return {found->second.data(), found->second.size() - simdjson::SIMDJSON_PADDING};
  }

  // Takes out of each line kept, one at a time, every member of the line and of its entry that
  // the failure shows without.
  void shrinkMembers(ShrinkResult& result) {
    std::vector<std::size_t> others = result.kept;
    if (failure_.kind == Failure::Kind::line) std::erase(others, failure_.line);
    simdjson::dom::parser parser;
    for (std::size_t const i : result.kept) {
      for (bool taken = true; taken;) {
        taken = false;
        for (std::string& text : withoutOneMember(parser, textOf(i))) {
          auto const before = rewritten_.find(i);
          std::optional<std::string> kept;
          if (before != rewritten_.end()) kept = std::move(before->second);
          text.append(simdjson::SIMDJSON_PADDING, ' ');
          rewritten_[i] = std::move(text);
          if (fails(others)) {
            ++result.members;
            taken = true;
            break;
          }
          if (kept) {
            rewritten_[i] = std::move(*kept);
          } else {
            rewritten_.erase(i);
          }
        }
      }
    }
    for (auto& [i, text] : rewritten_) {
      text.resize(text.size() - simdjson::SIMDJSON_PADDING);
      result.rewritten.emplace(i, std::move(text));
    }
    rewritten_.clear();
  }

  // The line without one of its members, or without one member of its entry, each way; none
  // when the line is not a JSON object.
  static std::vector<std::string> withoutOneMember(simdjson::dom::parser& parser,
                                                   std::string_view text) {
    std::vector<std::string> out;
    simdjson::dom::object line;
    if (parser.parse(text.data(), text.size(), false).get(line) != simdjson::SUCCESS) return out;
    // The object `object` without its member `skip` (none: all), its entry without `skipEntry`.
    auto const write = [&](std::string_view skip, std::string_view skipEntry) {
      fmt::memory_buffer json;
      json.push_back('{');
      std::string_view sep;
      for (auto [key, value] : line) {
        if (key == skip) continue;
        json.append(sep);
        appendJsonString(json, key);
        json.push_back(':');
        simdjson::dom::object entry;
        if (key == "entry" && !skipEntry.empty() && value.get(entry) == simdjson::SUCCESS) {
          json.push_back('{');
          std::string_view entrySep;
          for (auto [name, member] : entry) {
            if (name == skipEntry) continue;
            json.append(entrySep);
            appendJsonString(json, name);
            json.push_back(':');
            json.append(simdjson::minify(member));
            entrySep = ",";
          }
          json.push_back('}');
        } else {
          json.append(simdjson::minify(value));
        }
        sep = ",";
      }
      json.push_back('}');
      return fmt::to_string(json);
    };
    for (auto [key, value] : line) {
      out.push_back(write(key, {}));
      simdjson::dom::object entry;
      if (key != "entry" || value.get(entry) != simdjson::SUCCESS) continue;
      for (auto [name, member] : entry) out.push_back(write({}, name));
    }
    return out;
  }

  // Replays the lines `indices` (ascending) on a run of their own; `observe` sees each outcome.
  // With --verify, the chip check at the end: its places.
  std::vector<std::string> replay(std::span<std::size_t const> indices, RunSettings settings,
                                  Observe const& observe) {
    ProbePrinter printer;
    printer.quietIs(true);
    Run run(config_, printer, settings);
    for (std::size_t i : indices) {
      LineOutcome const& outcome = run.line(textOf(i), i + 1);
      if (observe) observe(i, outcome);
    }
    if (settings.verify) run.finish(true);
    placeIndices_ = std::move(printer.indices);
    return std::move(printer.places);
  }

  Failure find(std::span<std::size_t const> all) {
    Failure failure;
    std::vector<std::string> const places = replay(all, settings_, [&](std::size_t i, auto& o) {
      if (failure.kind != Failure::Kind::none) return;
      std::string what = failureOf(o);
      if (what.empty()) return;
      failure = {Failure::Kind::line, i, std::move(what)};
    });
    if (failure.kind == Failure::Kind::none && !places.empty()) {
      failure = {Failure::Kind::verify, 0, places.front()};
      verifyPlace_ = placeIndices_.front();
    }
    return failure;
  }

  // Whether the failure shows when only `candidates` (and the failing line) are replayed.
  bool fails(std::span<std::size_t const> candidates) {
    ++probes_;
    if (failure_.kind == Failure::Kind::verify) {
      auto const places = replay(candidates, settings_, {});
      return std::find(places.begin(), places.end(), failure_.what) != places.end();
    }
    std::vector<std::size_t> indices(candidates.begin(), candidates.end());
    indices.insert(std::upper_bound(indices.begin(), indices.end(), failure_.line), failure_.line);
    // A line fails or not whatever follows it, and a chip check cannot change it.
    RunSettings settings = settings_;
    settings.verify = false;
    bool same = false;
    replay(indices, settings, [&](std::size_t i, LineOutcome const& o) {
      if (i == failure_.line) same = failureOf(o) == failure_.what;
    });
    return same;
  }

  // Before delta debugging: the failing line alone, else with the earlier lines of its key, else
  // of its table, else every earlier line. With --verify, the lines that wrote or cleared the
  // place that differs, when those show it.
  std::vector<std::size_t> cheapCuts(std::vector<std::size_t> const& all) {
    if (failure_.kind == Failure::Kind::verify) return verifyCut(all);
    std::vector<std::size_t> before(all.begin(), all.begin() + failure_.line);
    if (before.empty() || fails({})) return {};
    simdjson::dom::parser parser;
    for (bool const byKey : {true, false}) {
      std::string const wanted = memberText(parser, lines_.text(failure_.line), byKey);
      if (wanted.empty()) continue;
      std::vector<std::size_t> same;
      for (std::size_t i : before) {
        if (memberText(parser, lines_.text(i), byKey) == wanted) same.push_back(i);
      }
      if (same.size() < before.size() && fails(same)) return same;
    }
    return before;
  }

  std::vector<std::size_t> verifyCut(std::vector<std::size_t> const& all) {
    std::vector<std::size_t> touching;
    if (verifyPlace_.first.empty()) return all;  // a command the chip model refused
    RunSettings settings = settings_;
    settings.verify = false;
    ++probes_;
    replay(all, settings, [&](std::size_t i, LineOutcome const& o) {
      for (OfferResult const& offer : o.offers) {
        for (auto const& cmd : offer.cmds) {
          if (cmd.memory == verifyPlace_.first && cmd.index == verifyPlace_.second) {
            touching.push_back(i);
            return;
          }
        }
      }
    });
    if (touching.size() < all.size() && fails(touching)) return touching;
    return all;
  }

  // Delta debugging: removes chunks of ever smaller size while the failure shows without them;
  // ends when no single line can go.
  std::vector<std::size_t> ddmin(std::vector<std::size_t> lines) {
    if (lines.empty()) return lines;
    std::size_t parts = 2;
    while (lines.size() >= 2) {
      std::size_t const chunk = (lines.size() + parts - 1) / parts;
      bool reduced = false;
      for (std::size_t at = 0; at < lines.size() && !reduced; at += chunk) {
        std::size_t const end = std::min(at + chunk, lines.size());
        std::vector<std::size_t> const part(lines.begin() + at, lines.begin() + end);
        if (parts > 2 && fails(part)) {  // with two parts, the other part is the complement
          lines = part;
          parts = 2;
          reduced = true;
          break;
        }
        std::vector<std::size_t> rest(lines.begin(), lines.begin() + at);
        rest.insert(rest.end(), lines.begin() + end, lines.end());
        if (fails(rest)) {
          lines = std::move(rest);
          parts = std::max<std::size_t>(parts - 1, 2);
          reduced = true;
        }
      }
      if (reduced) continue;
      if (parts >= lines.size()) break;
      parts = std::min(parts * 2, lines.size());
    }
    if (lines.size() == 1 && failure_.kind == Failure::Kind::verify && fails({})) return {};
    return lines;
  }

  SessionConfig const& config_;
  RunSettings settings_;
  StreamLines const& lines_;
  Failure failure_;
  std::pair<std::string_view, std::uint32_t> verifyPlace_;                // of a --verify failure
  std::vector<std::pair<std::string_view, std::uint32_t>> placeIndices_;  // of the last replay
  std::map<std::size_t, std::string> rewritten_;  // lines with members taken out, padded
  std::size_t probes_ = 0;
};

}  // namespace

void writeShrunk(std::string const& path, StreamLines const& lines, ShrinkResult const& result) {
  std::FILE* const file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    throw std::runtime_error(
        fmt::format("--shrink: cannot write {}: {}", shownName(path), std::strerror(errno)));
  }
  bool ok = true;
  for (std::size_t i : result.kept) {
    auto const rewritten = result.rewritten.find(i);
    std::string_view const text =
        rewritten != result.rewritten.end() ? rewritten->second : lines.text(i);
    ok = ok && std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
         std::fputc('\n', file) != EOF;
  }
  int const error = errno;
  if (std::fclose(file) != 0 || !ok) {
    throw std::runtime_error(fmt::format("--shrink: cannot write {}: {}", shownName(path),
                                         std::strerror(ok ? errno : error)));
  }
}

ShrinkReport reportOf(ShrinkResult const& result, StreamLines const& lines,
                      std::vector<std::string> const& files, std::string_view out) {
  Failure const& failure = result.failure;
  ShrinkReport report;
  report.lines = lines.size();
  report.kept = result.kept.size();
  report.members = result.members;
  report.probes = result.probes;
  report.seconds = result.seconds.count();
  report.out = out;
  report.what = failure.what;
  switch (failure.kind) {
    case Failure::Kind::none:
      break;
    case Failure::Kind::verify:
      report.failure = ShrinkReport::Kept::verify;
      break;
    case Failure::Kind::line:
      report.failure = ShrinkReport::Kept::line;
      report.line = lines.number(failure.line);
      if (files.size() > 1) report.file = files[lines.file(failure.line)];
      break;
  }
  return report;
}

ShrinkResult shrink(SessionConfig const& config, RunSettings settings, StreamLines const& lines) {
  return Shrinker(config, settings, lines).run();
}

}  // namespace eedb::replay
