// Replay support: the software table catalogue that builds and reads log entries as values.
#include "replay_support/Catalog.h"

#include <array>
#include <bit>
#include <charconv>
#include <concepts>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "replay_support/DidYouMean.h"
#include "replay_support/FieldCodec.h"
#include "replay_support/HexText.h"

namespace ZuriErrm {

// ---- Value ----

Value Value::number(std::uint64_t n) {
  Value v;
  v.kind_ = Kind::number;
  v.number_ = n;
  return v;
}

Value Value::negative(std::int64_t n) {
  Value v;
  v.kind_ = n < 0 ? Kind::negative : Kind::number;
  v.number_ = static_cast<std::uint64_t>(n);
  return v;
}

Value Value::big(std::string written) {
  Value v;
  v.kind_ = Kind::big;
  v.text_ = std::move(written);
  return v;
}

Value Value::text(std::string s) {
  Value v;
  v.kind_ = Kind::text;
  v.text_ = std::move(s);
  return v;
}

Value Value::object(std::vector<Member> members) {
  Value v;
  v.kind_ = Kind::object;
  v.members_ = std::move(members);
  return v;
}

Value const* Value::member(std::string_view name) const noexcept {
  for (Member const& m : members_) {
    if (m.name == name) return &m.value;
  }
  return nullptr;
}

bool Value::operator==(Value const& other) const {
  return kind_ == other.kind_ && number_ == other.number_ && text_ == other.text_ &&
         members_ == other.members_;
}

namespace {

// ---- Decoding and encoding of one field type ----

[[noreturn]] void reject(std::string_view path, Value const& v, std::string_view why) {
  throw InputError(fmt::format("field '{}': {} {}", path, excerpt(fmt::format("{}", v)), why));
}

// The unsigned number in `v` if it fits `bits` of plain storage, or a U<bits> when `bounded`.
std::uint64_t unsignedOf(Value const& v, std::string_view path, unsigned bits, bool bounded) {
  std::uint64_t const max = maxOfBits(bits);
  std::uint64_t n = 0;
  bool fits = true;
  switch (v.kind()) {
    case Value::Kind::number:
      n = v.asNumber();
      fits = n <= max;
      break;
    case Value::Kind::negative:
    case Value::Kind::big:
      fits = false;
      break;
    case Value::Kind::text: {
      bool hex = false;
      std::string_view const digits = hexDigitsOf(v.asText(), hex);
      bool inRange = false;
      if (!parseDigits(digits, hex ? 16 : 10, n, inRange)) reject(path, v, "is not a number");
      fits = inRange && n <= max;
      break;
    }
    case Value::Kind::null:
    case Value::Kind::object:
      reject(path, v, "is not a number");
  }
  if (!fits) {
    reject(path, v,
           bounded ? fmt::format("does not fit U{} (max {})", bits, max)
                   : fmt::format("does not fit {} bits (max {})", bits, max));
  }
  return n;
}

// The field of type T that `v` gives, or InputError.
template <class T>
T decode(Value const& v, std::string_view path) {
  using C = Codec<T>;
  if constexpr (IsText<T>) {
    if (v.kind() != Value::Kind::text) reject(path, v, C::notText);
    auto const a = C::parse(v.asText());
    if (!a) reject(path, v, C::notParsed);
    return *a;
  } else {
    if constexpr (C::kind == FieldKind::outlif) {
      if (v.isNull()) return C::none();
    }
    return C::of(unsignedOf(v, path, C::bits, C::kind == FieldKind::bounded));
  }
}

// ---- Field access: the field lists of the records, turned into data ----

// Where a field's owner is, from the entry: the entry itself, or a group of fields within its
// owner (a compound key, reached as a member; a view over the entry's bytes, made when reached).
// `a` is an AnyLogEntry, const or not: a view reached from a const entry reads only.
template <class E>
struct AtEntry {
  template <class A>
  static auto& owner(A& a) {
    return std::get<E>(a);
  }
};
template <class At, class D>
struct Within {
  template <class A>
  static decltype(auto) owner(A& a) {
    return D::of(At::owner(a));
  }
};

template <class At>
using OwnerAt = std::remove_cvref_t<decltype(At::owner(std::declval<AnyLogEntry const&>()))>;

// A field's set and get: a plain write and read of the field within its owner.
template <class At, class D>
struct LeafOps {
  using T = typename D::Type;
  static void set(AnyLogEntry& a, Value const& v, std::string_view path) {
    D::write(At::owner(a), decode<T>(v, path));
  }
  static Value get(AnyLogEntry const& a) { return Codec<T>::encode(D::of(At::owner(a))); }
};

// Built for every field of a compound key or a view that a parser sets: no formatting.
std::string joinPath(std::string_view prefix, std::string_view name) {
  std::string path;
  path.reserve(prefix.size() + 1 + name.size());
  if (!prefix.empty()) path.append(prefix).push_back('.');
  path.append(name);
  return path;
}

// The field of that name, searched from `from` on and then from the start: writers of a log
// entry tend to give its fields in one order, often the storage order, so that the search
// usually ends at its first step.
FieldInfo const* findField(std::span<FieldInfo const> fields, std::string_view name,
                           std::size_t from = 0) noexcept {
  for (std::size_t i = from; i < fields.size(); ++i) {
    if (fields[i].name == name) return &fields[i];
  }
  for (std::size_t i = 0; i < from && i < fields.size(); ++i) {
    if (fields[i].name == name) return &fields[i];
  }
  return nullptr;
}

void setObject(std::span<FieldInfo const> fields, AnyLogEntry& a, Value const& v,
               std::string_view path) {
  if (v.kind() != Value::Kind::object) {
    reject(path.empty() ? std::string_view("entry") : path, v, "is not an object");
  }
  FieldSetter setter(fields, a, path);
  for (Value::Member const& m : v.members()) setter.set(m.name, m.value);
  setter.finish();
}

Value getObject(std::span<FieldInfo const> fields, AnyLogEntry const& a) {
  std::vector<Value::Member> members;
  members.reserve(fields.size());
  for (FieldInfo const& f : fields) {
    if (f.shown(a)) members.push_back({std::string(f.name), f.get(a)});
  }
  return Value::object(std::move(members));
}

template <class At>
struct FieldInfos;

// A group's set and get: those of its fields, as one object.
template <class At, std::size_t I>
struct GroupOps {
  static constexpr auto const& desc = std::get<I>(Fields<OwnerAt<At>>::list);
  using Inner = Within<At, std::remove_cvref_t<decltype(desc)>>;
  static void set(AnyLogEntry& a, Value const& v, std::string_view path) {
    setObject(FieldInfos<Inner>::list, a, v, path);
  }
  static Value get(AnyLogEntry const& a) { return getObject(FieldInfos<Inner>::list, a); }
  static bool shown(AnyLogEntry const& a) { return detail::shown(desc, At::owner(a)); }
};

template <class At, std::size_t I>
constexpr FieldInfo makeFieldInfo() {
  constexpr auto const& desc = std::get<I>(Fields<OwnerAt<At>>::list);
  using D = std::remove_cvref_t<decltype(desc)>;
  if constexpr (detail::kIsGroup<D>) {
    using Ops = GroupOps<At, I>;
    FieldInfo info{desc.name, FieldKind::object, 0,          FieldInfos<typename Ops::Inner>::list,
                   &Ops::set, &Ops::get,         &Ops::shown};
    if constexpr (requires { desc.selector; }) {
      info.selector = desc.selector;
      info.selectorValue = desc.selectorValue;
    }
    return info;
  } else {
    using Ops = LeafOps<At, D>;
    using T = typename Ops::T;
    return {desc.name, Codec<T>::kind, Codec<T>::bits, {}, &Ops::set, &Ops::get, nullptr};
  }
}

// Every field of the owner at At: its field list turned into data.
template <class At>
struct FieldInfos {
  static constexpr std::size_t kCount = std::tuple_size_v<decltype(Fields<OwnerAt<At>>::list)>;
  static_assert(kCount <= 64, "FieldSetter keeps the fields given in 64 bits");
  static constexpr std::array<FieldInfo, kCount> list =
      []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<FieldInfo, kCount>{makeFieldInfo<At, I>()...};
  }
  (std::make_index_sequence<kCount>{});
};

// ---- Tables ----

template <class Constants, class Wrapper>
struct TableOps {
  using E = typename Wrapper::LogEntry;
  static Pelix::Ptr<Asic::LogEntryWrapperBase> wrap(AnyLogEntry const& a, Asic::UnitId unitId,
                                                    std::uint8_t flags) {
    return Pelix::make<Wrapper>(std::get<E>(a), unitId, flags);
  }
  static void rewrap(Asic::LogEntryWrapperBase& w, AnyLogEntry const& a, Asic::UnitId unitId,
                     std::uint8_t flags) {
    static_cast<Wrapper&>(w).flumeEntryIs(
        typename Wrapper::FlumeEntry(std::get<E>(a), unitId, flags));
  }
  static constexpr TableInfo info() {
    constexpr std::size_t index = [] { return AnyLogEntry(std::in_place_type<E>).index(); }();
    return {Fields<E>::table, Constants::swTableId, FieldInfos<AtEntry<E>>::list, index, &wrap,
            &rewrap};
  }
};

template <class... Ops>
constexpr std::array<TableInfo, sizeof...(Ops)> tableList() {
  return {Ops::info()...};
}

constexpr auto kTables = tableList<
    TableOps<EedbOutrifConstants, EedbOutrifLogEntryWrapper>,
    TableOps<EedbMplsTunnelTableConstants, EedbMplsTunnelTableLogEntryWrapper>,
    TableOps<EedbSrv6Constants, EedbSrv6LogEntryWrapper>,
    TableOps<EedbIpTunnelConstants, EedbIpTunnelLogEntryWrapper>,
    TableOps<EedbVxlanTunnelConstants, EedbVxlanTunnelLogEntryWrapper>,
    TableOps<ZuriErrmArp::EedbArpTableConstants, ZuriErrmArp::EedbArpTableLogEntryWrapper>,
    TableOps<EedbSubIntfOutAcTableConstants, EedbSubIntfOutAcTableLogEntryWrapper>,
    TableOps<EedbTapAggTableConstants, EedbTapAggTableLogEntryWrapper>,
    TableOps<EedbSflowTableConstants, EedbSflowTableLogEntryWrapper>,
    TableOps<EedbStatTableConstants, EedbStatTableLogEntryWrapper>,
    TableOps<EedbAgMemTlmConstants, EedbAgMemTlmLogEntryWrapper>,
    TableOps<EedbDataByLocalOutlifMsbsConstants, EedbDataByLocalOutlifMsbsLogEntryWrapper>>();

static_assert(kTables.size() == std::variant_size_v<AnyLogEntry>);
static_assert([] {
  for (std::size_t i = 0; i < kTables.size(); ++i) {
    if (kTables[i].index != i) return false;
  }
  return true;
}());

template <std::size_t... I>
AnyLogEntry newEntryAt(std::size_t index, std::index_sequence<I...>) {
  AnyLogEntry result;
  ((I == index ? void(result.emplace<I>()) : void()), ...);
  return result;
}

}  // namespace

// ---- FieldInfo and TableInfo ----

std::uint64_t FieldInfo::max() const noexcept {
  return kind == FieldKind::object ? 0 : maxOfBits(bits);
}

void FieldInfo::set(AnyLogEntry& entry, Value const& value, std::string_view path) const {
  setFn(entry, value, path.empty() ? name : path);
}

AnyLogEntry TableInfo::newEntry() const {
  return newEntryAt(index, std::make_index_sequence<std::variant_size_v<AnyLogEntry>>{});
}

FieldInfo const* TableInfo::field(std::string_view fieldName) const noexcept {
  return findField(fields, fieldName);
}

void TableInfo::set(AnyLogEntry& entry, std::string_view fieldName, Value const& value) const {
  if (!holds(entry)) throw std::logic_error(fmt::format("{}: entry of another table", name));
  FieldInfo const* f = field(fieldName);
  if (f == nullptr) {
    throw InputError(fmt::format("unknown field '{}'{}", excerpt(fieldName),
                                 didYouMean(fieldName, fields, &FieldInfo::name)));
  }
  AnyLogEntry work = entry;
  f->set(work, value);
  entry = std::move(work);
}

void TableInfo::setFields(AnyLogEntry& entry, Value const& value) const {
  if (!holds(entry)) throw std::logic_error(fmt::format("{}: entry of another table", name));
  AnyLogEntry work = entry;
  setObject(fields, work, value, {});
  entry = std::move(work);
}

FieldSetter::FieldSetter(TableInfo const& table, AnyLogEntry& entry)
    : fields_(table.fields), entry_(entry) {
  if (!table.holds(entry)) {
    throw std::logic_error(fmt::format("{}: entry of another table", table.name));
  }
}

FieldSetter::FieldSetter(std::span<FieldInfo const> fields, AnyLogEntry& entry,
                         std::string_view path)
    : fields_(fields), entry_(entry), path_(path) {}

std::string FieldSetter::pathOf(FieldInfo const& field) const {
  return joinPath(path_, field.name);
}

void FieldSetter::set(std::string_view name, Value const& value) {
  // From the field after the last one given in storage order: where a writer in that order goes
  // on.
  FieldInfo const* f = findField(fields_, name, static_cast<std::size_t>(std::bit_width(given_)));
  if (f == nullptr) {
    std::string const prefix = path_.empty() ? std::string() : fmt::format("{}.", path_);
    throw InputError(fmt::format("unknown field '{}{}'{}", prefix, excerpt(name),
                                 didYouMean(name, fields_, &FieldInfo::name, prefix)));
  }
  std::uint64_t const bit = std::uint64_t{1} << (f - fields_.data());
  if ((given_ & bit) != 0) throw InputError(fmt::format("duplicate field '{}'", pathOf(*f)));
  given_ |= bit;
  if (path_.empty()) {
    f->setFn(entry_, value, f->name);
  } else {
    f->setFn(entry_, value, pathOf(*f));
  }
}

namespace {

// What only the whole entry tells besides view data: a view whose format holds an IPv4 address
// takes an IPv4 address. An IPv6 address there has no IPv4 form (it would be programmed as
// 0.0.0.0), and an IPv4-mapped one (::ffff:10.1.2.3) is refused too: the log entry carries it as
// an IPv6 address, which is what the agent would hand over, and the table utility programs
// 0.0.0.0 for it as well; the input names the IPv4 address to write instead.
template <class E>
void checkIpv4View(E const& e, std::span<unsigned const> ipv4Views) {
  if (!e.dip().isV6()) return;
  bool ipv4 = false;
  for (unsigned const v : ipv4Views) ipv4 = ipv4 || v == e.viewType();
  if (!ipv4) return;
  auto const octets = e.dip().v6Addr();
  bool mapped = octets[10] == 0xff && octets[11] == 0xff;
  for (std::size_t i = 0; i < 10; ++i) mapped = mapped && octets[i] == 0;
  std::string const text = fmt::format("{}", e.dip());
  throw InputError(fmt::format(
      "field 'dip': \"{}\" is an IPv6 address, but view {} takes an IPv4 address{}", excerpt(text),
      e.viewType(),
      mapped ? fmt::format(" (write {}.{}.{}.{})", octets[12], octets[13], octets[14], octets[15])
             : std::string()));
}

}  // namespace

void checkEntry(AnyLogEntry const& entry) {
  if (auto const* e = std::get_if<EedbIpTunnelLogEntry>(&entry)) {
    static constexpr unsigned kIpv4Views[] = {0, 1};  // ipv4Raw, ipv4Udp
    checkIpv4View(*e, kIpv4Views);
  } else if (auto const* v = std::get_if<EedbVxlanTunnelLogEntry>(&entry)) {
    static constexpr unsigned kIpv4Views[] = {0};  // IPv4 VXLAN tunnel
    checkIpv4View(*v, kIpv4Views);
  }
}

void FieldSetter::finish() {
  // Groups that mean something only for one value of a selector (SRv6 view data): at most one
  // given, and that one selected.
  FieldInfo const* selected = nullptr;
  for (FieldInfo const& f : fields_) {
    if (f.selector.empty() || (given_ & (std::uint64_t{1} << (&f - fields_.data()))) == 0) {
      continue;
    }
    if (selected != nullptr) {
      throw InputError(fmt::format(
          "fields '{}' and '{}' are the data of two views ({} {} and {}); an entry holds one",
          pathOf(*selected), pathOf(f), f.selector, selected->selectorValue, f.selectorValue));
    }
    selected = &f;
  }
  if (selected == nullptr || selected->shown(entry_)) {
    if (path_.empty()) checkEntry(entry_);
    return;
  }
  FieldInfo const* selector = findField(fields_, selected->selector);
  std::string const actual =
      selector != nullptr ? fmt::format("{}", selector->get(entry_)) : std::string("another");
  throw InputError(fmt::format("field '{}' is the data of {} {}, but the entry's {} is {}",
                               pathOf(*selected), selected->selector, selected->selectorValue,
                               selected->selector, actual));
}

std::string excerpt(std::string_view text) {
  if (text.size() <= kExcerptBytes) return std::string(text);
  std::size_t end = kExcerptBytes;
  // Back to the first byte of a UTF-8 character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return fmt::format("{}...", text.substr(0, end));
}

Pelix::Ptr<Asic::LogEntryWrapperBase> TableInfo::makeWrapper(AnyLogEntry const& entry,
                                                             Asic::UnitId unitId,
                                                             std::uint8_t flags) const {
  if (!holds(entry)) throw std::logic_error(fmt::format("{}: entry of another table", name));
  return wrapFn(entry, unitId, flags);
}

Pelix::Ptr<Asic::LogEntryWrapperBase> const& WrapperSlots::wrap(TableInfo const& table,
                                                                AnyLogEntry const& entry,
                                                                Asic::UnitId unitId,
                                                                std::uint8_t flags) {
  if (!table.holds(entry)) {
    throw std::logic_error(fmt::format("{}: entry of another table", table.name));
  }
  Pelix::Ptr<Asic::LogEntryWrapperBase>& slot = slots_[table.index];
  if (slot && slot->refCount() == 1) {
    table.rewrapFn(*slot, entry, unitId, flags);
  } else {
    slot = table.wrapFn(entry, unitId, flags);
  }
  return slot;
}

std::span<TableInfo const> tables() noexcept {
  return kTables;
}

TableInfo const* findTable(std::string_view name) noexcept {
  for (TableInfo const& t : kTables) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

TableInfo const& tableOf(AnyLogEntry const& entry) noexcept {
  return kTables[entry.index()];
}

std::string describe(AnyLogEntry const& entry) {
  return std::visit([](auto const& e) { return fmt::format("{}", e); }, entry);
}

}  // namespace ZuriErrm

fmt::format_context::iterator fmt::formatter<ZuriErrm::Value>::format(ZuriErrm::Value const& v,
                                                                      format_context& ctx) const {
  using Kind = ZuriErrm::Value::Kind;
  auto out = ctx.out();
  switch (v.kind()) {
    case Kind::null:
      return fmt::format_to(out, "null");
    case Kind::number:
      return fmt::format_to(out, "{}", v.asNumber());
    case Kind::negative:
      return fmt::format_to(out, "{}", v.asNegative());
    case Kind::big:
      return fmt::format_to(out, "{}", v.asText());
    case Kind::text:
      return fmt::format_to(out, "\"{}\"", v.asText());
    case Kind::object:
      break;
  }
  out = fmt::format_to(out, "{{");
  bool first = true;
  for (auto const& m : v.members()) {
    out = fmt::format_to(out, "{}{}={}", first ? "" : ", ", m.name, m.value);
    first = false;
  }
  return fmt::format_to(out, "}}");
}

fmt::format_context::iterator fmt::formatter<ZuriErrm::FieldKind>::format(
    ZuriErrm::FieldKind kind, format_context& ctx) const {
  using K = ZuriErrm::FieldKind;
  std::string_view name = "object";
  switch (kind) {
    case K::number:
      name = "number";
      break;
    case K::bounded:
      name = "bounded";
      break;
    case K::address:
      name = "address";
      break;
    case K::mac:
      name = "mac";
      break;
    case K::outlif:
      name = "outlif";
      break;
    case K::object:
      break;
  }
  return fmt::formatter<std::string_view>::format(name, ctx);
}
