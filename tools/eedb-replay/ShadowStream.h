// The shadow as a stream (--dump-shadow=stream OUT.jsonl): the input lines that rebuild the
// shadow of a replay on fresh table utilities.
//
// Every entry of the shadow was written by one line of the stream, through its software fields:
// an applicable offer sets or deletes exactly one place (hardware table, FAP, instance,
// hardware key), and what it leaves there depends on the line alone (the view's translation, or
// under update-on-delete the reverted entry). So the lines that last wrote the entries present
// at the end rebuild them, in their own order, with the deletes among the last lines to touch
// any place those lines touch: a line of an IP tunnel writes two places, and when a later line
// deleted one of them, replaying the first line alone would bring it back. Lines that leave no
// trace at the end are dropped. No table or view needs its hardware entry written instead.
//
// Before the summary the dump is replayed in the process on fresh table utilities and the two
// shadows are compared field by field: a plug-in whose table utilities wrote anything else than
// the line's own place would show there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <fmt/format.h>

#include "Input.h"
#include "OfferResult.h"
#include "Session.h"

namespace eedb::replay {

class ShadowStream {
 public:
  // Opens `path` for writing (truncated). Raises std::runtime_error with the reason ("cannot
  // write OUT: ...", "OUT is also an input") before anything is replayed.
  ShadowStream(Session& session, SessionConfig config, std::string path,
               std::span<std::string const> inputs);
  ~ShadowStream();
  ShadowStream(ShadowStream const&) = delete;
  ShadowStream& operator=(ShadowStream const&) = delete;

  std::string const& path() const noexcept { return path_; }

  // After the offers of `line`: which places they set or deleted.
  void record(LogLine const& line, std::span<OfferResult const> offers);

  // The lines that rebuild the session's shadow now, in their input order, each with its line
  // end.
  std::string lines() const;

  // Writes lines() to the file and replays them on fresh table utilities. Returns what differs
  // between the two shadows (one difference a line, the first few), empty when nothing does.
  // Raises std::runtime_error when the file cannot be written.
  std::string finish();

  // Replays `lines` on fresh table utilities of `config` and compares their shadow with
  // `session`'s: what differs, as finish() says it.
  static std::string compare(Session& session, SessionConfig const& config, std::string_view lines);

 private:
  // A place of the shadow: a hardware table (by its number among those met), the shadow key and
  // the hardware key.
  struct Place {
    std::uint16_t table;
    std::uint8_t fap;
    std::uint8_t instance;
    std::uint32_t key;
    bool operator==(Place const&) const = default;
    template <class H>
    friend H AbslHashValue(H h, Place const& p) {
      return H::combine(std::move(h), p.table, p.fap, p.instance, p.key);
    }
  };
  // A line that last touched some place; the places it touched.
  struct Record {
    std::size_t order = 0;
    ZuriErrm::TableInfo const* table = nullptr;
    ZuriErrm::AnyLogEntry entry;
    Asic::UnitId unitId;
    std::uint8_t flags = 0;
    absl::InlinedVector<std::uint32_t, 2> places;
    std::uint32_t holds = 0;  // places it is the last to touch
    // The one offer of the line that raised, kept as its expectation: the dump replays clean.
    std::string_view raisedUtil;
    std::string raisedMessage;
    std::size_t raised = 0;
  };
  static constexpr std::uint32_t kNone = ~std::uint32_t{0};
  static constexpr std::uint16_t kNoTable = ~std::uint16_t{0};

  std::uint16_t tableOf(std::string_view type);
  void writeLine(fmt::memory_buffer& out, Record const& record) const;

  Session& session_;
  SessionConfig config_;
  std::string path_;
  std::FILE* file_ = nullptr;
  std::size_t order_ = 0;
  std::vector<std::string> tables_;                // hardware table types, by number
  std::vector<std::uint16_t> tableOfUtil_;         // by index in session.utils()
  absl::flat_hash_map<Place, std::uint32_t> ids_;  // place -> its number
  std::vector<std::uint32_t> last_;                // by place number: the record, or kNone
  std::vector<Record> records_;                    // slots, reused once they hold nothing
  std::vector<std::uint32_t> free_;
};

}  // namespace eedb::replay
