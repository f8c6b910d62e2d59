// --compare-plugin: two replays side by side, their records of each line compared.

#include "Compare.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>
#include <simdjson.h>

#include "Escape.h"
#include "plugin/Library.h"

extern char** environ;

namespace eedb::replay {

PluginId pluginIdOf(std::string const& path) {
  Plugin::Library const library = Plugin::loadLibrary(path);
  PluginId id{path, {}, {}};
  if (Plugin::PluginVersion const* const version = library.version()) {
    id.version = version->version != nullptr ? version->version : "";
    id.commit = version->commit != nullptr ? version->commit : "";
  }
  return id;
}

namespace {

// One member of a line's records: "EedbOutrifUtil shadow.fields.fodo" and its JSON value.
using Member = std::pair<std::string, std::string>;

// The records of one input line, flattened into members.
struct LineRecords {
  std::string file;
  std::size_t line = 0;
  std::vector<Member> members;
};

// What a record is about: the table utility of an offer, "input" for a refused line,
// "expect" for an unmet expectation.
std::string subjectOf(simdjson::dom::object record) {
  std::string_view name;
  if (record["name"].get(name) == simdjson::SUCCESS) return std::string(name);
  if (record["expect"].error() == simdjson::SUCCESS) return "expect";
  return "input";
}

void flatten(simdjson::dom::element value, std::string& path, std::vector<Member>& out) {
  std::size_t const at = path.size();
  if (value.is_object()) {
    for (auto [key, member] : simdjson::dom::object(value)) {
      path += '.';
      path += key;
      flatten(member, path, out);
      path.resize(at);
    }
  } else if (value.is_array()) {
    std::size_t index = 0;
    for (simdjson::dom::element item : simdjson::dom::array(value)) {
      fmt::format_to(std::back_inserter(path), "[{}]", index++);
      flatten(item, path, out);
      path.resize(at);
    }
  } else {
    out.emplace_back(path, simdjson::minify(value));
  }
}

// One side: the tool replaying the stream through one plug-in, its JSON form read line by line.
class Side {
 public:
  Side(CompareSettings const& settings, PluginId const& plugin) : plugin_(plugin) {
    std::vector<std::string> args{settings.tool, "--format", "json", "--plugin", plugin.path};
    args.insert(args.end(), settings.options.begin(), settings.options.end());
    args.insert(args.end(), settings.files.begin(), settings.files.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) fail(std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    int const error =
        ::posix_spawn(&pid_, settings.tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (error != 0) {
      ::close(fds[0]);
      fail(std::strerror(error));
    }
    in_ = ::fdopen(fds[0], "r");
  }
  ~Side() {
    if (in_ != nullptr) std::fclose(in_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    std::free(buffer_);  // getline's
  }
  Side(Side const&) = delete;
  Side& operator=(Side const&) = delete;

  // The records of the next input line; false at the end of the replay.
  bool next(LineRecords& out) {
    out.members.clear();
    bool have = false;
    while (true) {
      if (!pending_ && !read()) return have;
      simdjson::dom::object record;
      if (pending_->get_object().get(record) != simdjson::SUCCESS) {
        pending_.reset();
        continue;
      }
      std::size_t line = 0;
      if (record["line"].get(line) != simdjson::SUCCESS) {  // the summary, traces of no line
        pending_.reset();
        continue;
      }
      std::string_view file;
      if (record["file"].get(file) != simdjson::SUCCESS) file = {};
      if (have && (line != out.line || file != out.file)) return true;
      if (!have) subjects_.clear();
      out.line = line;
      out.file = std::string(file);
      have = true;
      std::string path = subjectOf(record);
      // A subject met again on the line (a second refusal) is told from the first by its count.
      std::size_t const seen =
          static_cast<std::size_t>(std::count(subjects_.begin(), subjects_.end(), path));
      subjects_.push_back(path);
      if (seen != 0) path += fmt::format(" #{}", seen + 1);
      for (auto [key, member] : record) {
        if (key == "line" || key == "file" || key == "util" || key == "name" || key == "trace") {
          continue;
        }
        std::size_t const at = path.size();
        path += ' ';
        path += key;
        flatten(member, path, out.members);
        path.resize(at);
      }
      pending_.reset();
    }
  }

  // Waits for the replay to end; raises when it stopped on an error of its own.
  void finish() {
    std::fclose(in_);
    in_ = nullptr;
    int status = 0;
    pid_t const pid = std::exchange(pid_, -1);
    if (::waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
      fail("the replay stopped on an error (see above)");
    }
  }

  PluginId const& plugin() const noexcept { return plugin_; }

 private:
  bool read() {
    ssize_t const length = ::getline(&buffer_, &capacity_, in_);
    if (length <= 0) return false;
    if (parser_.parse(buffer_, static_cast<std::size_t>(length)).get(element_) !=
        simdjson::SUCCESS) {
      fail("its output is not JSON");
    }
    pending_ = element_;
    return true;
  }
  [[noreturn]] void fail(std::string_view why) const {
    throw std::runtime_error(
        fmt::format("--compare-plugin: cannot replay with {}: {}", shownName(plugin_.path), why));
  }

  PluginId plugin_;
  pid_t pid_ = -1;
  std::FILE* in_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  simdjson::dom::parser parser_;
  simdjson::dom::element element_;
  std::optional<simdjson::dom::element> pending_;
  std::vector<std::string> subjects_;  // of the line's records so far
};

// A member in both sides' records of a line, or in one only.
std::vector<MemberDifference> differencesOf(LineRecords const& a, LineRecords const& b) {
  std::vector<MemberDifference> out;
  auto find = [](LineRecords const& in, std::string const& member) -> std::string const* {
    for (auto const& [name, value] : in.members) {
      if (name == member) return &value;
    }
    return nullptr;
  };
  for (auto const& [name, value] : a.members) {
    std::string const* other = find(b, name);
    if (other != nullptr && *other == value) continue;
    MemberDifference& d = out.emplace_back();
    d.member = name;
    d.values[0] = value;
    if (other != nullptr) d.values[1] = *other;
  }
  for (auto const& [name, value] : b.members) {
    if (find(a, name) == nullptr) out.push_back({name, {std::nullopt, value}});
  }
  return out;
}

}  // namespace

std::size_t comparePlugins(CompareSettings const& settings, Printer& printer) {
  Side a(settings, settings.sides[0]);
  Side b(settings, settings.sides[1]);
  printer.comparing(settings.sides);
  std::size_t lines = 0;
  std::size_t differing = 0;
  std::optional<LineRecords> first;
  LineRecords left;
  LineRecords right;
  while (true) {
    bool const moreA = a.next(left);
    bool const moreB = b.next(right);
    if (!moreA && !moreB) break;
    if (moreA != moreB || left.line != right.line || left.file != right.file) {
      throw std::runtime_error(
          "--compare-plugin: the two replays did not read the same lines of the stream");
    }
    ++lines;
    std::vector<MemberDifference> const differences = differencesOf(left, right);
    if (differences.empty()) continue;
    if (++differing == 1) first = left;
    printer.lineDiffers({left.line, left.file}, differences);
    printer.flushIfFull();
  }
  a.finish();
  b.finish();
  printer.compared(lines, differing,
                   first ? std::optional<StreamPlace>({first->line, first->file}) : std::nullopt);
  printer.flush();
  return differing;
}

}  // namespace eedb::replay
