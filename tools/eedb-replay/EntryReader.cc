// The direct reader of a line, made per table (and per compound key and SRv6 view) from its field
// list. On-Demand reads the values in the order of the text, once: a member is matched by its
// name as written (a name written with escapes matches none, and the line goes to the catalogue).
#include "EntryReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "Input.h"
#include "replay_support/FieldCodec.h"
#include "replay_support/HexText.h"

namespace eedb::replay {

namespace ondemand = simdjson::ondemand;
using ZuriErrm::Codec;
using ZuriErrm::FieldKind;
using ZuriErrm::Fields;

namespace {

// An unsigned number written as a text.
bool unsignedTextIn(ondemand::value& e, std::uint64_t max, std::uint64_t& n) noexcept {
  std::string_view text;
  if (e.get_string().get(text)) return false;
  bool hex = false;
  bool inRange = false;
  std::string_view const digits = ZuriErrm::hexDigitsOf(text, hex);
  return ZuriErrm::parseDigits(digits, hex ? 16 : 10, n, inRange) && inRange && n <= max;
}

// A value that is no unsigned integer is left unread by get_uint64(): it may be a text.
[[gnu::always_inline]] inline bool unsignedOf(ondemand::value& e, std::uint64_t max,
                                              std::uint64_t& n) noexcept {
  if (!e.get_uint64().get(n)) return n <= max;
  return unsignedTextIn(e, max, n);
}

}  // namespace

bool unsignedIn(ondemand::value& e, std::uint64_t max, std::uint64_t& n) noexcept {
  return unsignedOf(e, max, n);
}

namespace {

// A member's name as a line writes it: the name and its closing quote (a name written with
// escapes is none of them), compared with the text eight bytes at a time. Comparing a name with
// each candidate is most of what reading a line's members costs; a call of memcmp per candidate
// cost five times this. The text goes on past the name: at least SIMDJSON_PADDING bytes follow
// a line, more than the longest name.
class WrittenName {
 public:
  static constexpr std::size_t kWords = 4;
  static_assert(kWords * 8 <= simdjson::SIMDJSON_PADDING);

  constexpr WrittenName() = default;
  constexpr explicit WrittenName(std::string_view name) : words_(name.size() / 8 + 1) {
    if (words_ > kWords) throw "a member's name is longer than WrittenName holds";
    std::array<std::array<char, 8>, kWords> text{};
    std::array<std::array<char, 8>, kWords> used{};
    for (std::size_t i = 0; i <= name.size(); ++i) {
      text[i / 8][i % 8] = i < name.size() ? name[i] : '"';
      used[i / 8][i % 8] = '\xFF';
    }
    for (std::size_t k = 0; k < kWords; ++k) {
      word_[k] = std::bit_cast<std::uint64_t>(text[k]);
      mask_[k] = std::bit_cast<std::uint64_t>(used[k]);
    }
  }

  bool isAt(char const* written) const noexcept {
    for (std::size_t k = 0; k < words_; ++k) {
      std::uint64_t bytes = 0;
      std::memcpy(&bytes, written + 8 * k, sizeof bytes);
      if ((bytes & mask_[k]) != word_[k]) return false;
    }
    return true;
  }

 private:
  std::array<std::uint64_t, kWords> word_{};
  std::array<std::uint64_t, kWords> mask_{};
  std::size_t words_ = 0;
};

// A record's member names, each found by the byte it starts with: the text at a member is
// compared with the few names that start as it does.
template <std::size_t N>
class NameSet {
 public:
  static_assert(N <= 64, "the names are kept in 64 bits");

  constexpr explicit NameSet(std::array<std::string_view, N> const& names) {
    for (std::size_t i = 0; i < N; ++i) {
      names_[i] = WrittenName(names[i]);
      byFirst_[static_cast<unsigned char>(names[i].front())] |= std::uint64_t{1} << i;
    }
  }

  // Index of the name written at `written`; N for none. `next` is tried first: writers tend to
  // give a record's members in one order, and names may share their first byte ("label1" to
  // "label6").
  std::size_t indexAt(char const* written, std::size_t next) const noexcept {
    if (next < N && names_[next].isAt(written)) return next;
    for (std::uint64_t candidates = byFirst_[static_cast<unsigned char>(*written)]; candidates != 0;
         candidates &= candidates - 1) {
      auto const i = static_cast<std::size_t>(std::countr_zero(candidates));
      if (names_[i].isAt(written)) return i;
    }
    return N;
  }

 private:
  std::array<WrittenName, N> names_{};
  std::array<std::uint64_t, 256> byFirst_{};
};

// A leaf field of type T, as the catalogue decodes it (Catalog.cc, decode()).
template <class T>
bool leafIn(ondemand::value& e, T& out) {
  using C = Codec<T>;
  if constexpr (ZuriErrm::IsText<T>) {
    std::string_view text;
    if (e.get_string().get(text)) return false;
    auto const parsed = C::parse(text);
    if (!parsed) return false;
    out = *parsed;
    return true;
  } else {
    if constexpr (C::kind == FieldKind::outlif) {
      bool null = false;
      if (e.is_null().get(null)) return false;
      if (null) {
        out = C::none();
        return true;
      }
    }
    std::uint64_t n = 0;
    if (!unsignedOf(e, ZuriErrm::maxOfBits(C::bits), n)) return false;
    out = C::of(n);
    return true;
  }
}

template <class O>
bool fieldsIn(ondemand::value& e, O& owner);

template <class O>
inline constexpr std::size_t kCount = std::tuple_size_v<decltype(Fields<O>::list)>;

// Field I of owner O: a leaf written into its owner, or a group (a compound key, a view over
// the entry's bytes) read as an object of its own.
template <class O, std::size_t I>
bool oneIn(ondemand::value& e, O& owner) {
  constexpr auto const& d = std::get<I>(Fields<O>::list);
  using D = std::remove_cvref_t<decltype(d)>;
  if constexpr (ZuriErrm::detail::kIsGroup<D>) {
    auto&& inner = D::of(owner);
    return fieldsIn(e, inner);
  } else {
    typename D::Type x{};
    if (!leafIn(e, x)) return false;
    D::write(owner, x);
    return true;
  }
}

template <class O>
inline constexpr NameSet<kCount<O>> kNames([]<std::size_t... I>(std::index_sequence<I...>) {
  return std::array<std::string_view, kCount<O>>{std::get<I>(Fields<O>::list).name...};
}(std::make_index_sequence<kCount<O>>{}));

template <class O>
inline constexpr auto kReaders = []<std::size_t... I>(std::index_sequence<I...>) {
  return std::array<bool (*)(ondemand::value&, O&), kCount<O>>{&oneIn<O, I>...};
}
(std::make_index_sequence<kCount<O>>{});

// The view data given (bits of `given`): at most one view's, and that of the entry's own view.
template <class O, std::size_t... I>
bool viewsAgree(O const& owner, std::uint64_t given, std::index_sequence<I...>) {
  unsigned views = 0;
  bool shown = true;
  auto const one = [&]<std::size_t J>() {
    constexpr auto const& d = std::get<J>(Fields<O>::list);
    if constexpr (requires { d.selector; }) {
      if ((given & (std::uint64_t{1} << J)) != 0) {
        ++views;
        shown = shown && d.shown(owner);
      }
    }
  };
  (one.template operator()<I>(), ...);
  return views <= 1 && shown;
}

template <class O>
bool fieldsIn(ondemand::value& e, O& owner) {
  static_assert(kCount<O> <= 64, "the fields given are kept in 64 bits");
  ondemand::object members;
  if (e.get_object().get(members)) return false;
  std::uint64_t given = 0;
  std::size_t next = 0;
  for (auto member : members) {
    if (member.error()) return false;
    ondemand::field& field = member.value_unsafe();
    std::size_t const i = kNames<O>.indexAt(field.key().raw(), next);
    if (i == kCount<O>) return false;
    std::uint64_t const bit = std::uint64_t{1} << i;
    if ((given & bit) != 0) return false;
    given |= bit;
    next = i + 1;
    if (!kReaders<O>[i](field.value(), owner)) return false;
  }
  return viewsAgree(owner, given, std::make_index_sequence<kCount<O>>{});
}

constexpr NameSet<std::size(kLineMembers)> kLineNames([] {
  std::array<std::string_view, std::size(kLineMembers)> names{};
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = kLineMembers[i];
  return names;
}());
constexpr NameSet<std::size(kUnitMembers)> kUnitNames(
    std::array<std::string_view, std::size(kUnitMembers)>{kUnitMembers[0], kUnitMembers[1]});

// The unit's parts, each at most 255.
bool unitIn(ondemand::value& e, std::uint64_t& fap, std::uint64_t& instance) {
  ondemand::object members;
  if (e.get_object().get(members)) return false;
  unsigned given = 0;
  for (auto member : members) {
    if (member.error()) return false;
    ondemand::field& field = member.value_unsafe();
    std::size_t const i = kUnitNames.indexAt(field.key().raw(), given == 0 ? 0 : 1);  // fap first
    if (i == std::size(kUnitMembers) || (given & (1u << i)) != 0) return false;
    given |= 1u << i;
    if (!unsignedIn(field.value(), 255, i == 0 ? fap : instance)) return false;
  }
  return true;
}

// The entry of `table` in `entry`, every field 0 (an out-LIF not valid), made in place.
template <std::size_t... I>
void clearEntry(ZuriErrm::AnyLogEntry& entry, std::size_t index, std::index_sequence<I...>) {
  auto const one = [&]<std::size_t J>() {
    if (J != index) return;
    if (entry.index() == J) {
      std::get<J>(entry) = {};
    } else {
      entry.template emplace<J>();
    }
  };
  (one.template operator()<I>(), ...);
}

}  // namespace

bool readEntry(ondemand::value& fields, ZuriErrm::AnyLogEntry& entry) {
  if (!std::visit([&](auto& e) { return fieldsIn(fields, e); }, entry)) return false;
  try {
    ZuriErrm::checkEntry(entry);
  } catch (ZuriErrm::InputError const&) {
    return false;
  }
  return true;
}

namespace {

// The line's document (a document of its own, or one of a block's) read into `out`; `ends(doc)`,
// once the line's object is read, says whether nothing of the line follows it.
template <class Document, class Ends>
bool readDocument(Document& doc, LogLine& out, Ends const& ends) {
  ondemand::object members;
  if (doc.get_object().get(members)) return false;
  ZuriErrm::TableInfo const* table = nullptr;
  std::uint64_t unitId = 0;
  std::uint64_t fap = 0;
  std::uint64_t instance = 0;
  std::uint8_t flags = 0;
  unsigned given = 0;
  std::size_t next = 0;
  for (auto member : members) {
    if (member.error()) return false;
    ondemand::field& field = member.value_unsafe();
    std::size_t const i = kLineNames.indexAt(field.key().raw(), next);
    if (i >= kExpect || (given & (1u << i)) != 0) return false;  // an expectation too
    given |= 1u << i;
    next = i + 1;
    ondemand::value& value = field.value();
    switch (i) {
      case kTable: {
        std::string_view name;
        if (value.get_string().get(name)) return false;
        table = ZuriErrm::findTable(name);
        if (table == nullptr) return false;
        break;
      }
      case kEntry:
        // Read where it stands, into the entry of the table named before it.
        if (table == nullptr) return false;
        clearEntry(out.entry, table->index,
                   std::make_index_sequence<std::variant_size_v<ZuriErrm::AnyLogEntry>>{});
        if (!readEntry(value, out.entry)) return false;
        break;
      case kUnit:
        if (!unitIn(value, fap, instance)) return false;
        break;
      case kUnitId:
        if (!unsignedIn(value, 0xFFFF, unitId)) return false;
        break;
      default: {  // delete, tableDelete
        bool on = false;
        if (value.get_bool().get(on)) return false;
        if (on) flags |= i == kDelete ? kDeleteFlag : kTableDeleteFlag;
        break;
      }
    }
  }
  if (!ends(doc)) return false;
  bool const hasUnit = (given & (1u << kUnit)) != 0;
  if (table == nullptr || (hasUnit && (given & (1u << kUnitId)) != 0)) return false;
  if ((given & (1u << kEntry)) == 0) {
    clearEntry(out.entry, table->index,
               std::make_index_sequence<std::variant_size_v<ZuriErrm::AnyLogEntry>>{});
  }
  out.table = table;
  out.hasExpect = false;
  out.unitId = hasUnit ? Asic::UnitId::of(static_cast<std::uint8_t>(fap),
                                          static_cast<std::uint8_t>(instance))
                       : Asic::UnitId(static_cast<std::uint16_t>(unitId));
  out.flags = flags;
  return true;
}

bool isJsonSpace(char c) noexcept {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

}  // namespace

bool readLine(ondemand::parser& parser, std::string_view line, LogLine& out) {
  ondemand::document doc;
  if (parser.iterate(line.data(), line.size(), line.size() + simdjson::SIMDJSON_PADDING).get(doc)) {
    return false;
  }
  // Nothing may follow the line's object.
  return readDocument(doc, out, [](ondemand::document& d) {
    return d.current_location().error() == simdjson::OUT_OF_BOUNDS;
  });
}

void BlockReader::start(std::string_view lines) {
  taking_ = false;
  if (lines.empty()) return;
  // One capacity for every block of a stream, mostly: the parser's buffers are made again
  // whenever it changes.
  std::size_t const batch =
      std::bit_ceil(std::max(lines.size(), simdjson::dom::MINIMAL_BATCH_SIZE));
  if (parser_.iterate_many(lines.data(), lines.size(), std::max(batch, batch_)).get(stream_)) {
    return;
  }
  batch_ = std::max(batch, batch_);
  at_ = stream_.begin();
  begin_ = lines.data();
  taking_ = true;
}

bool BlockReader::read(std::string_view line, LogLine& out) {
  if (!taking_) return false;
  char const* const lineEnd = line.data() + line.size();
  auto const taken = [&] {
    if (!(at_ != stream_.end())) return false;
    auto doc = *at_;
    if (doc.error()) return false;
    // The document starts in this line (not in a line the caller skipped, blank or too long)...
    char const* const first = begin_ + at_.current_index();
    if (first < line.data() || first >= lineEnd) return false;
    // ... and ends in it: the next document starts past the line's end, with only white space
    // between. (The last document of the block is the line's alone to judge: the first stage
    // drops what it takes for an unfinished document at the end of the block, which may stand
    // in the same line.)
    if (!readDocument(doc.value_unsafe(), out, [&](ondemand::document_reference& d) {
          char const* next = nullptr;
          if (d.current_location().get(next)) return false;
          return next >= lineEnd && std::all_of(lineEnd, next, isJsonSpace);
        })) {
      return false;
    }
    ++at_;
    return true;
  }();
  taking_ = taken;  // once false, the rest of the block line by line
  return taken;
}

}  // namespace eedb::replay
