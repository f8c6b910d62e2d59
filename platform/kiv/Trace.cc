// Leveled tracing: trace handles, their levels from ZURI_TRACE, and the trace sink.
#include "kiv/Trace.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

namespace Kiv {
namespace {

struct Rule {
  std::string pattern;  // a handle name, or "*" for every handle
  std::uint16_t levels;
};

// Parses "NAME/LEVELS[,NAME/LEVELS...]" where LEVELS is a list of levels and ranges joined by
// commas ("0-8", "0,3"). A comma followed by a digit continues the levels of the item before.
std::optional<std::vector<Rule>> parseSpec(std::string_view spec) {
  std::vector<Rule> rules;
  std::size_t pos = 0;
  while (pos < spec.size()) {
    std::size_t const slash = spec.find('/', pos);
    if (slash == std::string_view::npos || slash == pos) return std::nullopt;
    Rule rule{std::string(spec.substr(pos, slash - pos)), 0};
    if (rule.pattern.find(',') != std::string::npos) return std::nullopt;
    pos = slash + 1;
    for (;;) {
      unsigned lo = 0;
      auto [p, ec] = std::from_chars(spec.data() + pos, spec.data() + spec.size(), lo);
      if (ec != std::errc() || lo >= TraceHandle::kLevels) return std::nullopt;
      unsigned hi = lo;
      pos = static_cast<std::size_t>(p - spec.data());
      if (pos < spec.size() && spec[pos] == '-') {
        auto [q, ec2] = std::from_chars(spec.data() + pos + 1, spec.data() + spec.size(), hi);
        if (ec2 != std::errc() || hi >= TraceHandle::kLevels || hi < lo) return std::nullopt;
        pos = static_cast<std::size_t>(q - spec.data());
      }
      for (unsigned l = lo; l <= hi; ++l) rule.levels |= static_cast<std::uint16_t>(1u << l);
      if (pos < spec.size() && spec[pos] == ',' && pos + 1 < spec.size() && spec[pos + 1] >= '0' &&
          spec[pos + 1] <= '9') {
        ++pos;
        continue;
      }
      break;
    }
    rules.push_back(std::move(rule));
    if (pos == spec.size()) break;
    if (spec[pos] != ',' || pos + 1 == spec.size()) return std::nullopt;
    ++pos;
  }
  return rules;
}

struct Registry {
  std::mutex mutex;
  std::vector<Rule> rules;
  std::vector<TraceHandle*> handles;
  std::vector<std::string> declared;  // names of handles created on first use
  TraceSink sink;
  TraceRecordSink recordSink;

  Registry() {
    if (char const* env = std::getenv("ZURI_TRACE")) {
      if (auto parsed = parseSpec(env)) {
        rules = std::move(*parsed);
      } else {
        std::fprintf(stderr, "%%ZURI_TRACE: ignoring malformed trace configuration \"%s\"\n", env);
      }
    }
  }

  std::uint16_t levelsFor(std::string const& name) const {
    std::uint16_t levels = 0;
    for (auto const& r : rules) {
      if (r.pattern == "*" || r.pattern == name) levels |= r.levels;
    }
    return levels;
  }
};

Registry& registry() {
  static Registry* r = new Registry;  // outlives every handle, also at process exit
  return *r;
}

}  // namespace

TraceHandle::TraceHandle(std::string name, bool flag) : name_(std::move(name)), flag_(flag) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  levels_ = r.levelsFor(name_);
  r.handles.push_back(this);
}

TraceHandle::~TraceHandle() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  std::erase(r.handles, this);
}

void TraceHandle::levelIs(unsigned level, bool on) noexcept {
  if (level >= kLevels) return;
  auto const bit = static_cast<std::uint16_t>(1u << level);
  levels_ = static_cast<std::uint16_t>(on ? (levels_ | bit) : (levels_ & ~bit));
}

bool traceConfigValid(std::string_view spec) {
  return parseSpec(spec).has_value();
}

void traceConfigIs(std::string_view spec) {
  auto parsed = parseSpec(spec);
  if (!parsed) return;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.rules = std::move(*parsed);
  for (TraceHandle* h : r.handles) h->levels_ = r.levelsFor(h->name_);
}

bool traceConfigAdd(std::string_view spec) {
  auto parsed = parseSpec(spec);
  if (!parsed) return false;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.rules.insert(r.rules.end(), std::make_move_iterator(parsed->begin()),
                 std::make_move_iterator(parsed->end()));
  for (TraceHandle* h : r.handles) h->levels_ = r.levelsFor(h->name_);
  return true;
}

void traceHandleNamesDeclared(std::vector<std::string_view> const& names) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  for (std::string_view name : names) {
    if (std::find(r.declared.begin(), r.declared.end(), name) == r.declared.end()) {
      r.declared.emplace_back(name);
    }
  }
}

std::vector<std::string> traceHandleNames() {
  auto& r = registry();
  std::vector<std::string> names;
  {
    std::lock_guard lock(r.mutex);
    for (TraceHandle const* h : r.handles) names.push_back(h->name());
    names.insert(names.end(), r.declared.begin(), r.declared.end());
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::vector<std::string> traceConfigUnknownHandles() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> unknown;
  for (auto const& rule : r.rules) {
    bool const known =
        rule.pattern == "*" ||
        std::any_of(r.handles.begin(), r.handles.end(),
                    [&](TraceHandle const* h) { return h->name() == rule.pattern; }) ||
        std::find(r.declared.begin(), r.declared.end(), rule.pattern) != r.declared.end();
    if (!known && std::find(unknown.begin(), unknown.end(), rule.pattern) == unknown.end()) {
      unknown.push_back(rule.pattern);
    }
  }
  return unknown;
}

void traceSinkIs(TraceSink sink) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.sink = std::move(sink);
}

TraceRecordSink traceRecordSink() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.recordSink;
}

void traceRecordSinkIs(TraceRecordSink sink) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.recordSink = std::move(sink);
}

}  // namespace Kiv

namespace Pelix::Impl {

void vfmtrace(Kiv::TraceHandle const& handle, unsigned level, char const* file,
              char const* function, int line, std::string_view classLabel, fmt::string_view format,
              fmt::format_args args) {
  std::string_view base(file);
  if (auto slash = base.rfind('/'); slash != std::string_view::npos) base.remove_prefix(slash + 1);
  fmt::memory_buffer message;
  fmt::vformat_to(std::back_inserter(message), format, args);
  Kiv::TraceRecord const record{handle.name(),
                                level,
                                base,
                                line,
                                function,
                                classLabel,
                                std::string_view(message.data(), message.size())};
  auto& r = Kiv::registry();
  Kiv::TraceSink sink;
  Kiv::TraceRecordSink recordSink;
  {
    std::lock_guard lock(r.mutex);
    sink = r.sink;
    recordSink = r.recordSink;
  }
  if (recordSink) {
    recordSink(record);
    return;
  }
  fmt::memory_buffer buf;
  fmt::format_to(std::back_inserter(buf), "{}", record);
  std::string_view const text(buf.data(), buf.size());
  if (sink) {
    sink(text);
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
}

}  // namespace Pelix::Impl
