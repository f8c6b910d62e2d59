// The replay catalogue: every field of every table accepts what its storage holds and rejects
// the rest with a reason that names the field and the value (that every line read is written
// back through visit() and read again into the same entry is the line_parser fuzz target's; that
// SRv6 view data are refused for another view, the replay tool's input test); an IPv4 view takes
// an IPv4 address; and the software table types whose behaviour the replay goldens do not show
// (SRv6 views sharing one block, ESEM values per revision).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "replay_support/Catalog.h"
#include "replay_support/DidYouMean.h"
#include "zuri_errm/EedbSrv6.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace {

using namespace ZuriErrm;

// Wraps `v` as the input object that sets `path` ("fodo" or "key.outlif").
Value at(std::string const& path, Value v) {
  auto const dot = path.find('.');
  if (dot == std::string::npos) return Value::object({{path, std::move(v)}});
  return Value::object({{path.substr(0, dot), at(path.substr(dot + 1), std::move(v))}});
}

// Like at(), with the selector of view data set to the view's own (SRv6: "viewType": 2).
Value within(TableInfo const& t, std::string const& path, Value v) {
  Value input = at(path, std::move(v));
  FieldInfo const* group = t.field(path.substr(0, path.find('.')));
  if (group->selector.empty()) return input;
  std::vector<Value::Member> members = input.members();
  members.push_back({std::string(group->selector), Value::number(group->selectorValue)});
  return Value::object(std::move(members));
}

// Reads `path` back through the catalogue's getters.
Value read(TableInfo const& t, AnyLogEntry const& e, std::string const& path) {
  auto const dot = path.find('.');
  if (dot == std::string::npos) return t.field(path)->get(e);
  return *t.field(path.substr(0, dot))->get(e).member(path.substr(dot + 1));
}

// Calls f(table, path, field) for every leaf field, members of objects included.
void forEachLeaf(std::function<void(TableInfo const&, std::string const&, FieldInfo const&)> f) {
  for (TableInfo const& t : tables()) {
    for (FieldInfo const& field : t.fields) {
      if (field.kind != FieldKind::object) {
        f(t, std::string(field.name), field);
        continue;
      }
      for (FieldInfo const& m : field.members) {
        f(t, fmt::format("{}.{}", field.name, m.name), m);
      }
    }
  }
}

// The text of the rejection of `input`, which must leave the entry as it was.
std::string rejection(TableInfo const& t, AnyLogEntry& e, Value const& input) {
  AnyLogEntry const before = e;
  try {
    t.setFields(e, input);
  } catch (InputError const& x) {
    EXPECT_EQ(e, before) << fmt::format("{}", input) << ": a rejected value changed the entry";
    return x.what();
  }
  return "accepted";
}

TEST(CatalogTest, NumbersAcceptTheirLimitAndRejectOneMore) {
  int checked = 0;
  forEachLeaf([&](TableInfo const& t, std::string const& path, FieldInfo const& f) {
    if (f.kind != FieldKind::number && f.kind != FieldKind::bounded &&
        f.kind != FieldKind::outlif) {
      return;
    }
    ++checked;
    AnyLogEntry e = t.newEntry();
    std::uint64_t const max = f.max();
    ASSERT_EQ(max, (std::uint64_t{1} << f.bits) - 1) << t.name << " " << path;
    t.setFields(e, within(t, path, Value::number(max)));
    EXPECT_EQ(read(t, e, path), Value::number(max)) << t.name << " " << path;
    std::string const storage =
        f.kind == FieldKind::bounded ? fmt::format("U{}", f.bits) : fmt::format("{} bits", f.bits);
    EXPECT_EQ(rejection(t, e, within(t, path, Value::number(max + 1))),
              fmt::format("field '{}': {} does not fit {} (max {})", path, max + 1, storage, max))
        << t.name;
    EXPECT_EQ(rejection(t, e, within(t, path, Value::negative(-1))),
              fmt::format("field '{}': -1 does not fit {} (max {})", path, storage, max))
        << t.name;
    EXPECT_EQ(rejection(t, e, within(t, path, Value::text("0x1g"))),
              fmt::format("field '{}': \"0x1g\" is not a number", path))
        << t.name;
    t.setFields(e, within(t, path, Value::text("0x1")));  // numbers may come as text
    EXPECT_EQ(read(t, e, path), Value::number(1)) << t.name << " " << path;
  });
  EXPECT_EQ(checked, 116);
}

// Wrong shapes, unknown names, bad address text, and an object whose last member fails: each
// is refused with its reason and nothing of the input is kept.
TEST(CatalogTest, WrongShapesUnknownNamesAndBadAddresses) {
  TableInfo const& t = *findTable("EedbIpTunnel");
  AnyLogEntry e = t.newEntry();
  std::pair<Value, char const*> const cases[] = {
      {at("dip", Value::text("10.1.2")), "field 'dip': \"10.1.2\" is not an IPv4 or IPv6 address"},
      {at("dip", Value::number(5)), "field 'dip': 5 is not an address text"},
      {at("nope", Value::number(1)), "unknown field 'nope'"},
      {at("key.nope", Value::number(1)), "unknown field 'key.nope'"},
      {at("key", Value::number(5)), "field 'key': 5 is not an object"},
      {at("fodo", at("x", Value::number(1))), "field 'fodo': {x=1} is not a number"},
      {at("fodo", Value()), "field 'fodo': null is not a number"},
      {at("fodo", Value::text("")), "field 'fodo': \"\" is not a number"},
      {at("fodo", Value::text("99999999999999999999999")),
       "field 'fodo': \"99999999999999999999999\" does not fit U10 (max 1023)"},
      {Value::number(3), "field 'entry': 3 is not an object"},
      {at("fodo", Value::big("18446744073709551616")),
       "field 'fodo': 18446744073709551616 does not fit U10 (max 1023)"},
      {at("key.outlif", Value::big("-1e400")),
       "field 'key.outlif': -1e400 does not fit 32 bits (max 4294967295)"},
      {at("dip", Value::big("1e400")), "field 'dip': 1e400 is not an address text"},
      {at("dip", Value::text(std::string(1000, '1'))),
       "field 'dip': \"111111111111111111111111111111111111111... is not an IPv4 or IPv6 address"},
      {at("fodp", Value::number(1)), "unknown field 'fodp' (did you mean 'fodo'?)"},
      {at(std::string(100, 'f'), Value::number(1)),
       "unknown field 'ffffffffffffffffffffffffffffffffffffffff...'"},
      {Value::object({{"fodo", Value::number(1)}, {"fodo", Value::number(1)}}),
       "duplicate field 'fodo'"},
      {at("key", Value::object({{"outlif", Value::number(1)}, {"outlif", Value::number(2)}})),
       "duplicate field 'key.outlif'"},
      {Value::object({{"fodo", Value::number(5)},
                      {"key", Value::object({{"outlif", Value::number(7)},
                                             {"dipOutlif", Value::negative(-2)}})}}),
       "field 'key.dipOutlif': -2 does not fit 32 bits (max 4294967295)"},
  };
  for (auto const& [input, message] : cases) EXPECT_EQ(rejection(t, e, input), message);
  EXPECT_EQ(e, t.newEntry());
  TableInfo const& arp = *findTable("EedbArpTable");
  AnyLogEntry a = arp.newEntry();
  for (char const* bad : {"02:00:00:aa:bb", "02:00:00:aa:bb:cc:dd", "02-00-00-aa-bb-cc"}) {
    EXPECT_EQ(rejection(arp, a, at("l2Mac", Value::text(bad))),
              fmt::format("field 'l2Mac': \"{}\" is not a MAC address (02:00:00:aa:bb:cc)", bad));
  }
  AnyLogEntry other = findTable("EedbOutrif")->newEntry();
  EXPECT_THROW(t.set(other, "fodo", Value::number(1)), std::logic_error);
  EXPECT_THROW(t.makeWrapper(other, Asic::UnitId(), 0), std::logic_error);
}

// A view whose format holds an IPv4 address takes one: an IPv6 address there (IPv4-mapped too)
// is refused whatever order the fields come in, and the entry is left as it was; the IPv6 views
// and an IPv4 address on the IPv4 views are accepted.
TEST(CatalogTest, IpFourViewsTakeAnIpFourAddress) {
  struct Case {
    std::string_view table;
    unsigned view;
    std::string_view dip;
    std::string_view answer;
  } const cases[] = {
      {"EedbIpTunnel", 0, "2001:db8::1",
       "field 'dip': \"2001:db8::1\" is an IPv6 address, but view 0 takes an IPv4 address"},
      {"EedbIpTunnel", 1, "2001:db8::1",
       "field 'dip': \"2001:db8::1\" is an IPv6 address, but view 1 takes an IPv4 address"},
      {"EedbIpTunnel", 0, "::ffff:10.1.2.3",
       "field 'dip': \"::ffff:10.1.2.3\" is an IPv6 address, but view 0 takes an IPv4 address "
       "(write 10.1.2.3)"},
      {"EedbVxlanTunnel", 0,
       "::", "field 'dip': \"::\" is an IPv6 address, but view 0 takes an IPv4 address"},
      {"EedbIpTunnel", 2, "2001:db8::1", "accepted"},
      {"EedbIpTunnel", 3, "::ffff:10.1.2.3", "accepted"},
      {"EedbIpTunnel", 1, "10.1.2.3", "accepted"},
      {"EedbVxlanTunnel", 0, "0.0.0.0", "accepted"},
  };
  for (auto const& c : cases) {
    TableInfo const& t = *findTable(c.table);
    Value const dip = Value::text(std::string(c.dip));
    Value const view = Value::number(c.view);
    for (bool const dipFirst : {true, false}) {
      AnyLogEntry e = t.newEntry();
      Value const input = dipFirst ? Value::object({{"dip", dip}, {"viewType", view}})
                                   : Value::object({{"viewType", view}, {"dip", dip}});
      EXPECT_EQ(rejection(t, e, input), c.answer) << c.table << " " << c.view << " " << c.dip;
    }
  }
}

// One suggestion helper for tables, fields, members and options (as the replay tool's input
// test shows them, prefixed paths included).
TEST(DidYouMean, SuggestsTheClosestNameWhenCloseEnough) {
  std::string_view const names[] = {"format",      "faps",   "fodo",    "EedbOutrif",
                                    "tableDelete", "delete", "instance"};
  struct {
    std::string_view typo;
    std::string_view suggestion;
  } const cases[] = {
      {"fromat", " (did you mean 'format'?)"},          // two neighbours swapped
      {"EEDBOUTRIF", " (did you mean 'EedbOutrif'?)"},  // letter case
      {"fodoo", " (did you mean 'fodo'?)"},
      {"fap", " (did you mean 'faps'?)"},
      {"delet", " (did you mean 'delete'?)"},
      {"fo", ""},  // half of the name is too much
      {"x", ""},
      {"comment", ""},
      {"", ""},
  };
  for (auto const& c : cases) EXPECT_EQ(didYouMean(c.typo, names), c.suggestion) << c.typo;
  EXPECT_EQ(editDistance("fromat", "format"), 1u);
  EXPECT_EQ(editDistance("abc", ""), 3u);
  EXPECT_EQ(editDistance("kitten", "sitting"), 3u);
}

// The three views overlay one block: writing one view changes what the others read.
TEST(Srv6ViewTest, ViewsShareTheSameBytesInNetworkOrder) {
  EedbSrv6LogEntry e;
  e.etpsSrv6150().nofSidsIs(0x23);
  e.etpsSrv6150().srhRoutingTypeIs(4);
  EedbSrv6LogEntry::ViewData expected{};
  expected[2] = 0x23;
  expected[3] = 4;
  EXPECT_EQ(e.viewData(), expected);
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("2001:db8::1"));
  expected = {0x20, 0x01, 0x0d, 0xb8};
  expected[15] = 0x01;
  EXPECT_EQ(e.viewData(), expected);
  EXPECT_EQ(e.etpsSrv6150().nofSids(), 0x0d);
  EXPECT_EQ(e.etpsSrv6150().srhRoutingType(), 0xb8);
  EXPECT_EQ(std::as_const(e).etpsIpv6TunnelRaw150().fodo(), 0);
  e.etpsIpv6TunnelRaw150().fodoIs(0x1234);  // bytes 4 and 5, high byte first
  EXPECT_EQ(e.viewData()[4], 0x12);
  EXPECT_EQ(e.viewData()[5], 0x34);
  // An IPv4 SID is held IPv4-mapped.
  e.etpsDataSid150().sidIs(*Plexo::IpGenAddr::parse("10.1.2.3"));
  EXPECT_EQ(e.etpsDataSid150().sid(), *Plexo::IpGenAddr::parse("::ffff:10.1.2.3"));
}

// Only 26:A0 renumbers items 1 to 4; item 4's value there does not fit a 6-bit field.
TEST(Gen3EsemCmdsTest, HwValuePerRevision) {
  using Hardware::ChipType;
  using Hardware::Zuri::FapRevision;
  for (auto const& [item, onA0] :
       {std::pair{0, 0}, {1, 21}, {2, 22}, {3, 42}, {4, 64}, {5, 5}, {63, 63}, {255, 255}}) {
    Gen3EsemCmds::Item const i{static_cast<std::uint8_t>(item)};
    EXPECT_EQ(Gen3EsemCmds::hwValue(FapRevision::fapRevGen3A0(), i), unsigned(onA0)) << item;
    EXPECT_EQ(Gen3EsemCmds::hwValue(FapRevision(ChipType{26}, 'B', 0), i), unsigned(item));
    EXPECT_EQ(Gen3EsemCmds::hwValue(FapRevision(ChipType{25}, 'A', 0), i), unsigned(item));
  }
}

// A table's wrapper is written again for the next entry while only the slots hold it; one that
// someone kept stays as it was, and the next entry gets a wrapper of its own.
TEST(WrapperSlotsTest, UsesAWrapperAgainOnlyWhileNoOneElseHoldsIt) {
  TableInfo const& outrif = *findTable("EedbOutrif");
  TableInfo const& arp = *findTable("EedbArpTable");
  auto const entryOf = [&](std::uint32_t key) {
    AnyLogEntry entry = outrif.newEntry();
    std::get<EedbOutrifLogEntry>(entry).keyIs(EedbOutrifEntryKey(key));
    return entry;
  };
  auto const carried = [](Pelix::Ptr<Asic::LogEntryWrapperBase> const& w) {
    auto const& wrapper = dynamic_cast<EedbOutrifLogEntryWrapper const&>(*w);
    return fmt::format("{}", wrapper);
  };
  WrapperSlots slots;
  Asic::LogEntryWrapperBase const* const first =
      slots.wrap(outrif, entryOf(1), Asic::UnitId(0x0100), 0).get();
  EXPECT_EQ(slots.wrap(outrif, entryOf(2), Asic::UnitId(0x0200), 1).get(), first);
  EXPECT_EQ(carried(slots.wrap(outrif, entryOf(3), Asic::UnitId(0x0300), 1)),
            fmt::format("{}", EedbOutrifLogFlumeEntry(std::get<EedbOutrifLogEntry>(entryOf(3)),
                                                      Asic::UnitId(0x0300), 1)));
  // Each table has its own.
  EXPECT_NE(slots.wrap(arp, arp.newEntry(), Asic::UnitId(0), 0).get(), first);

  Pelix::Ptr<Asic::LogEntryWrapperBase> const kept =
      slots.wrap(outrif, entryOf(4), Asic::UnitId(0), 0);
  std::string const before = carried(kept);
  auto const& next = slots.wrap(outrif, entryOf(5), Asic::UnitId(0), 0);
  EXPECT_NE(next.get(), kept.get());
  EXPECT_EQ(carried(kept), before);
  EXPECT_NE(carried(next), before);

  EXPECT_THROW(slots.wrap(arp, entryOf(6), Asic::UnitId(0), 0), std::logic_error);
}

}  // namespace
