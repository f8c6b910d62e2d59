// Catalogue of the software tables for tools that build log entries from text: per table its
// short name, software table id, fields (name, kind, storage width) with a checked generic
// setter and a getter, and a way to wrap a log entry for the table utilities.
//
// Values come in as ZuriErrm::Value, a small JSON-like value that any parser can produce. A value
// that the field's own storage cannot hold is rejected with ZuriErrm::InputError, whose text names
// the field and the value: "field 'mtuProfile': 300 does not fit 8 bits (max 255)".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "asic/Types.h"
#include "pelix/Ptr.h"
#include "zuri_errm/SwTables.h"

namespace ZuriErrm {

// A log entry of any of the twelve tables, in the order of tables().
using AnyLogEntry =
    std::variant<EedbOutrifLogEntry, EedbMplsTunnelTableLogEntry, EedbSrv6LogEntry,
                 EedbIpTunnelLogEntry, EedbVxlanTunnelLogEntry, ZuriErrmArp::EedbArpTableLogEntry,
                 EedbSubIntfOutAcTableLogEntry, EedbTapAggTableLogEntry, EedbSflowTableLogEntry,
                 EedbStatTableLogEntry, EedbAgMemTlmLogEntry, EedbDataByLocalOutlifMsbsLogEntry>;

// A JSON-like input or output value: null, an unsigned number, a negative number, a number
// beyond 64 bits, a text or an object of named members. A text is accepted wherever a number is,
// as "0x1f" or "31".
class Value {
 public:
  enum class Kind : std::uint8_t { null, number, negative, big, text, object };
  struct Member;

  Value() noexcept = default;
  static Value number(std::uint64_t n);
  // A number below zero; no field can hold one.
  static Value negative(std::int64_t n);
  // A number that 64 bits cannot hold (18446744073709551616, 1e400), kept as written; no field
  // can hold one.
  static Value big(std::string written);
  static Value text(std::string s);
  static Value object(std::vector<Member> members);

  Kind kind() const noexcept { return kind_; }
  bool isNull() const noexcept { return kind_ == Kind::null; }
  std::uint64_t asNumber() const noexcept { return number_; }
  std::int64_t asNegative() const noexcept { return static_cast<std::int64_t>(number_); }
  // The text of a text, or a big number as written.
  std::string const& asText() const noexcept { return text_; }
  std::vector<Member> const& members() const noexcept { return members_; }
  // The member of that name, or nullptr.
  Value const* member(std::string_view name) const noexcept;

  bool operator==(Value const& other) const;

 private:
  Kind kind_ = Kind::null;
  std::uint64_t number_ = 0;
  std::string text_;
  std::vector<Member> members_;
};

struct Value::Member {
  std::string name;
  Value value;
  bool operator==(Member const&) const = default;
};

// A rejected input value (unknown field, wrong kind, does not fit the field).
class InputError : public std::invalid_argument {
 public:
  explicit InputError(std::string const& message)
      : std::invalid_argument(message), message_(std::make_shared<std::string const>(message)) {}
  explicit InputError(char const* message) : InputError(std::string(message)) {}

  // The whole message: what() ends at the first NUL character, which input text may carry.
  std::string_view message() const noexcept { return *message_; }

 private:
  std::shared_ptr<std::string const> message_;  // shared: copying an exception cannot throw
};

// Input quoted in a message: at most kExcerptBytes of it (whole UTF-8 characters), then "...".
inline constexpr std::size_t kExcerptBytes = 40;
std::string excerpt(std::string_view text);

// What a field takes: number (unsigned storage of `bits`), bounded (a U<bits> type), address
// (IPv4 or IPv6 text), mac ("02:00:00:aa:bb:cc"), outlif (number, or null for not valid),
// object (named members: compound keys and SRv6 view data).
enum class FieldKind : std::uint8_t { number, bounded, address, mac, outlif, object };

struct FieldInfo {
  std::string_view name;
  FieldKind kind;
  unsigned bits;                       // storage width; 0 for an object
  std::span<FieldInfo const> members;  // the fields of an object

  // Largest value of a number, bounded or outlif field.
  std::uint64_t max() const noexcept;
  // Sets the field of `entry`; InputError names `path` (the field's name when empty).
  void set(AnyLogEntry& entry, Value const& value, std::string_view path = {}) const;
  Value get(AnyLogEntry const& entry) const { return getFn(entry); }
  // False for SRv6 view data that is not the entry's own view.
  bool shown(AnyLogEntry const& entry) const { return shownFn == nullptr || shownFn(entry); }

  void (*setFn)(AnyLogEntry&, Value const&, std::string_view path);
  Value (*getFn)(AnyLogEntry const&);
  bool (*shownFn)(AnyLogEntry const&);
  // For view data: the field of the same object that selects it, and its value then (else empty).
  std::string_view selector = {};
  unsigned selectorValue = 0;
};

struct TableInfo {
  std::string_view name;  // "EedbOutrif"
  Asic::SwTableId swTableId;
  std::span<FieldInfo const> fields;  // storage order
  std::size_t index;                  // of the table's log entry in AnyLogEntry

  // A log entry of this table with every field 0 (an out-LIF not valid).
  AnyLogEntry newEntry() const;
  bool holds(AnyLogEntry const& entry) const noexcept { return entry.index() == index; }
  FieldInfo const* field(std::string_view fieldName) const noexcept;

  // Sets one field, or every member of an object of fields (checked as FieldSetter checks them;
  // setFields checks the whole entry, set only the field). On InputError the entry is left as
  // it was. An entry of another table is a caller bug (std::logic_error).
  void set(AnyLogEntry& entry, std::string_view fieldName, Value const& value) const;
  void setFields(AnyLogEntry& entry, Value const& fields) const;

  // Calls f(FieldInfo const&, Value) for every field in storage order; SRv6 view data only for
  // the entry's own view.
  template <class F>
  void visit(AnyLogEntry const& entry, F&& f) const {
    for (FieldInfo const& info : fields) {
      if (info.shown(entry)) f(info, info.get(entry));
    }
  }

  // The table's wrapper around (log entry, unit id, flags).
  Pelix::Ptr<Asic::LogEntryWrapperBase> makeWrapper(AnyLogEntry const& entry, Asic::UnitId unitId,
                                                    std::uint8_t flags) const;

  Pelix::Ptr<Asic::LogEntryWrapperBase> (*wrapFn)(AnyLogEntry const&, Asic::UnitId, std::uint8_t);
  // Writes (log entry, unit id, flags) into a wrapper of this table that only the caller holds.
  void (*rewrapFn)(Asic::LogEntryWrapperBase&, AnyLogEntry const&, Asic::UnitId, std::uint8_t);
};

// One log entry wrapper per table, handed out again entry after entry instead of a new one each
// time: the entry is written into the table's wrapper while nothing else holds it. A table
// utility that keeps a reference to the wrapper it was given keeps that wrapper as it was: the
// next entry of the table gets a new one.
class WrapperSlots {
 public:
  // The table's wrapper around (log entry, unit id, flags), valid until the next call for the
  // same table. An entry of another table is a caller bug (std::logic_error).
  Pelix::Ptr<Asic::LogEntryWrapperBase> const& wrap(TableInfo const& table,
                                                    AnyLogEntry const& entry, Asic::UnitId unitId,
                                                    std::uint8_t flags);

 private:
  std::array<Pelix::Ptr<Asic::LogEntryWrapperBase>, std::variant_size_v<AnyLogEntry>> slots_;
};

// Sets the fields of one object of fields (an entry, a compound key, a view) one at a time, as a
// parser meets them, and checks at the end what only the whole object tells: no field given
// twice, view data only of the view the entry selects, and (for a whole entry) an IPv4 address
// on a view that takes one: "field 'dip': "2001:db8::1" is an IPv6 address, but view 0 takes an
// IPv4 address" (IP tunnel views 0 and 1, VXLAN view 0; an IPv4-mapped address too, with the
// IPv4 address to write). Writes straight into the entry: on InputError the entry is partly set.
class FieldSetter {
 public:
  // Every field of `table`'s entry; an entry of another table is a caller bug (std::logic_error).
  FieldSetter(TableInfo const& table, AnyLogEntry& entry);
  // The fields of an object reached as `path` ("key"); names in messages are prefixed with it.
  FieldSetter(std::span<FieldInfo const> fields, AnyLogEntry& entry, std::string_view path);

  void set(std::string_view name, Value const& value);
  void finish();

 private:
  std::string pathOf(FieldInfo const& field) const;

  std::span<FieldInfo const> fields_;
  AnyLogEntry& entry_;
  std::string_view path_;
  std::uint64_t given_ = 0;  // by index in fields_
};

// What only the whole entry tells besides its view data, as FieldSetter::finish() checks it: an
// IPv4 view takes an IPv4 address. Raises InputError.
void checkEntry(AnyLogEntry const& entry);

// The twelve tables, in the order of AnyLogEntry.
std::span<TableInfo const> tables() noexcept;
// By short name ("EedbOutrif"); nullptr for an unknown name.
TableInfo const* findTable(std::string_view name) noexcept;
TableInfo const& tableOf(AnyLogEntry const& entry) noexcept;
// The entry's printed form, EedbOutrifLogEntry(key=4096, ...).
std::string describe(AnyLogEntry const& entry);

}  // namespace ZuriErrm

// 4096, -1, "10.0.0.1", null, {outlif=1, dipOutlif=2}
template <>
struct fmt::formatter<ZuriErrm::Value> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  format_context::iterator format(ZuriErrm::Value const& v, format_context& ctx) const;
};

template <>
struct fmt::formatter<ZuriErrm::FieldKind> : fmt::formatter<std::string_view> {
  format_context::iterator format(ZuriErrm::FieldKind kind, format_context& ctx) const;
};
