// --show: the filters read once from the command line, asked once per record.

#include "ShowFilter.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include <fmt/format.h>

#include "Describe.h"
#include "Escape.h"
#include "Options.h"
#include "replay_support/DidYouMean.h"

namespace eedb::replay {

namespace {

[[noreturn]] void refuse(std::string_view filter, std::string_view why) {
  throw std::invalid_argument(fmt::format("--show {}: {}", shownName(filter), why));
}

std::size_t lineNumberOf(std::string_view filter, std::string_view text, std::string_view item) {
  std::size_t value = 0;
  auto const [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    refuse(filter, fmt::format("'{}' is not a line number or range", shownName(item)));
  }
  if (value == 0) refuse(filter, "lines are numbered from 1");
  return value;
}

// "100-200,250,300-": ranges of line numbers, the last open to the end.
std::vector<std::pair<std::size_t, std::size_t>> lineRanges(std::string_view filter,
                                                            std::string_view text) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  while (true) {
    auto const comma = text.find(',');
    std::string_view const item = text.substr(0, comma);
    auto const dash = item.find('-');
    std::size_t const first = lineNumberOf(filter, item.substr(0, dash), item);
    std::size_t last = first;
    if (dash != std::string_view::npos) {
      std::string_view const end = item.substr(dash + 1);
      last = end.empty() ? SIZE_MAX : lineNumberOf(filter, end, item);
    }
    if (last < first) refuse(filter, fmt::format("range '{}' is empty", shownName(item)));
    ranges.emplace_back(first, last);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return ranges;
}

}  // namespace

void ShowFilter::add(std::string_view filter) {
  auto const equals = filter.find('=');
  std::string_view const key = filter.substr(0, equals);
  std::string_view const value =
      equals == std::string_view::npos ? std::string_view() : filter.substr(equals + 1);
  if (key == "failed") {
    if (equals != std::string_view::npos) refuse(filter, "failed takes no value");
    keys_ |= kFailed;
    return;
  }
  if (key == "table" || key == "util" || key == "fap" || key == "lines") {
    if (value.empty()) {
      refuse(filter, fmt::format("give a value: {}=", key) + (key == "table"  ? "EedbOutrif"
                                                              : key == "util" ? "EedbOutrifUtil"
                                                              : key == "fap"  ? "0-3,7"
                                                                              : "100-200"));
    }
  } else {
    std::vector<std::string_view> keys;
    for (std::string_view known : kShowFilters) keys.push_back(known.substr(0, known.find('=')));
    // A table's name alone is most likely meant as table=NAME.
    std::string const near = ZuriErrm::findTable(filter) != nullptr
                                 ? fmt::format(" (did you mean 'table={}'?)", filter)
                                 : ZuriErrm::didYouMean(key, keys);
    refuse(filter, fmt::format("'{}' is not a filter{}: give table=NAME, util=NAME, fap=LIST, "
                               "lines=LIST or failed",
                               shownName(key), near));
  }
  if (key == "table") {
    std::string message;
    ZuriErrm::TableInfo const* table = tableNamed(value, message);
    if (table == nullptr) refuse(filter, message);
    tables_.push_back(table);
    keys_ |= kTable;
  } else if (key == "util") {
    utilNames_.emplace_back(filter, value);
    keys_ |= kUtil;
  } else if (key == "fap") {
    try {
      for (std::uint8_t fap : parseFapList(value)) faps_.set(fap);
    } catch (std::invalid_argument const& e) {
      refuse(filter, escapedText(e.what()));
    }
    keys_ |= kFap;
  } else {
    auto const ranges = lineRanges(filter, value);
    lines_.insert(lines_.end(), ranges.begin(), ranges.end());
    keys_ |= kLines;
  }
}

void ShowFilter::bind(
    std::size_t utils,
    std::function<std::pair<std::string_view, std::string_view>(std::size_t)> const& nameOf,
    std::string_view revision) {
  utilShown_.assign(utils, false);
  for (auto const& [filter, name] : utilNames_) {
    bool found = false;
    std::vector<std::string_view> known;
    for (std::size_t i = 0; i < utils; ++i) {
      auto const [full, shortName] = nameOf(i);
      if (name == full || name == shortName) {
        utilShown_[i] = true;
        found = true;
      }
      known.push_back(shortName);
    }
    if (!found) {
      refuse(filter, fmt::format("no table utility '{}' on revision {}{}", shownName(name),
                                 revision, ZuriErrm::didYouMean(name, known)));
    }
  }
}

bool ShowFilter::line(std::size_t number, ZuriErrm::TableInfo const* table, int fap) const {
  if (keys_ == 0) return true;
  if (has(kLines) && std::none_of(lines_.begin(), lines_.end(), [&](auto const& range) {
        return range.first <= number && number <= range.second;
      })) {
    return false;
  }
  if (has(kTable) &&
      (table == nullptr || std::find(tables_.begin(), tables_.end(), table) == tables_.end())) {
    return false;
  }
  return !has(kFap) || (fap >= 0 && static_cast<std::size_t>(fap) < faps_.size() &&
                        faps_.test(static_cast<std::size_t>(fap)));
}

bool ShowFilter::unmet(std::vector<std::size_t> const* utils) const {
  if (!has(kUtil)) return true;
  return utils != nullptr && std::any_of(utils->begin(), utils->end(),
                                         [&](std::size_t util) { return utilShown(util); });
}

}  // namespace eedb::replay
