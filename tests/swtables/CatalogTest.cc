// The replay catalogue: every field of every table accepts what its storage holds and rejects
// the rest with a reason that names the field and the value.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "zuri_errm/Catalog.h"

namespace {

using namespace ZuriErrm;

// Wraps `v` as the input object that sets `path` ("fodo" or "key.outlif").
Value at(std::string const& path, Value v) {
  auto const dot = path.find('.');
  if (dot == std::string::npos) return Value::object({{path, std::move(v)}});
  return Value::object({{path.substr(0, dot), at(path.substr(dot + 1), std::move(v))}});
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

std::string rejection(TableInfo const& t, AnyLogEntry& e, std::string const& path, Value v) {
  AnyLogEntry const before = e;
  try {
    t.setFields(e, at(path, std::move(v)));
  } catch (InputError const& x) {
    EXPECT_EQ(e, before) << path << ": a rejected value changed the entry";
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
    t.setFields(e, at(path, Value::number(max)));
    EXPECT_EQ(read(t, e, path), Value::number(max)) << t.name << " " << path;

    std::string const storage =
        f.kind == FieldKind::bounded ? fmt::format("U{}", f.bits) : fmt::format("{} bits", f.bits);
    EXPECT_EQ(rejection(t, e, path, Value::number(max + 1)),
              fmt::format("field '{}': {} does not fit {} (max {})", path, max + 1, storage, max))
        << t.name;
    EXPECT_EQ(rejection(t, e, path, Value::negative(-1)),
              fmt::format("field '{}': -1 does not fit {} (max {})", path, storage, max))
        << t.name;
    EXPECT_EQ(rejection(t, e, path, Value::text("0x1g")),
              fmt::format("field '{}': \"0x1g\" is not a number", path))
        << t.name;
    // Numbers may come as text, hex or decimal.
    t.setFields(e, at(path, Value::text("0x1")));
    EXPECT_EQ(read(t, e, path), Value::number(1)) << t.name << " " << path;
    t.setFields(e, at(path, Value::text(fmt::format("{}", max))));
    EXPECT_EQ(read(t, e, path), Value::number(max)) << t.name << " " << path;
  });
  EXPECT_EQ(checked, 116);
}

TEST(CatalogTest, AddressesParseOrReject) {
  int checked = 0;
  forEachLeaf([&](TableInfo const& t, std::string const& path, FieldInfo const& f) {
    AnyLogEntry e = t.newEntry();
    if (f.kind == FieldKind::address) {
      ++checked;
      for (char const* text : {"10.1.2.3", "2001:db8::1"}) {
        t.setFields(e, at(path, Value::text(text)));
        // An SRv6 SID is always IPv6; an IPv4 one comes back IPv4-mapped.
        std::string const back =
            path == "etpsDataSid150.sid" && text[2] == '.' ? std::string("::ffff:") + text : text;
        EXPECT_EQ(read(t, e, path), Value::text(back)) << t.name << " " << path;
      }
      EXPECT_EQ(rejection(t, e, path, Value::text("10.1.2")),
                fmt::format("field '{}': \"10.1.2\" is not an IPv4 or IPv6 address", path));
      EXPECT_EQ(rejection(t, e, path, Value::text("2001:db8::1::2")),
                fmt::format("field '{}': \"2001:db8::1::2\" is not an IPv4 or IPv6 address", path));
      EXPECT_EQ(rejection(t, e, path, Value::number(5)),
                fmt::format("field '{}': 5 is not an address text", path));
    } else if (f.kind == FieldKind::mac) {
      ++checked;
      t.setFields(e, at(path, Value::text("02:00:00:AA:bb:cc")));
      EXPECT_EQ(read(t, e, path), Value::text("02:00:00:aa:bb:cc"));
      for (char const* bad :
           {"02:00:00:aa:bb", "02:00:00:aa:bb:cc:dd", "02-00-00-aa-bb-cc", "02:00:00:aa:bb:cg"}) {
        EXPECT_EQ(
            rejection(t, e, path, Value::text(bad)),
            fmt::format("field '{}': \"{}\" is not a MAC address (02:00:00:aa:bb:cc)", path, bad));
      }
    }
  });
  EXPECT_EQ(checked, 6);  // dip x2, sid, l2Mac, destMac, srcMac
}

TEST(CatalogTest, OutlifNullIsNotValid) {
  TableInfo const& t = *findTable("EedbVxlanTunnel");
  AnyLogEntry e = t.newEntry();
  EXPECT_FALSE(std::get<EedbVxlanTunnelLogEntry>(e).nextOutlif().valid());
  t.set(e, "nextOutlif", Value::number(0));
  EXPECT_EQ(std::get<EedbVxlanTunnelLogEntry>(e).nextOutlif(), Hardware::Zuri::Outlif(0));
  t.set(e, "nextOutlif", Value());
  EXPECT_FALSE(std::get<EedbVxlanTunnelLogEntry>(e).nextOutlif().valid());
  EXPECT_EQ(t.field("nextOutlif")->get(e), Value());
}

TEST(CatalogTest, WrongShapesAndUnknownNames) {
  TableInfo const& ip = *findTable("EedbIpTunnel");
  AnyLogEntry e = ip.newEntry();
  struct Case {
    Value input;
    char const* message;
  };
  Case const cases[] = {
      {at("nope", Value::number(1)), "unknown field 'nope'"},
      {at("key.nope", Value::number(1)), "unknown field 'key.nope'"},
      {at("key", Value::number(5)), "field 'key': 5 is not an object"},
      {at("fodo", at("x", Value::number(1))), "field 'fodo': {x=1} is not a number"},
      {at("fodo", Value()), "field 'fodo': null is not a number"},
      {at("fodo", Value::text("")), "field 'fodo': \"\" is not a number"},
      {at("fodo", Value::text("99999999999999999999999")),
       "field 'fodo': \"99999999999999999999999\" does not fit U10 (max 1023)"},
      {Value::number(3), "field 'entry': 3 is not an object"},
  };
  for (Case const& c : cases) {
    try {
      ip.setFields(e, c.input);
      ADD_FAILURE() << "accepted " << fmt::format("{}", c.input);
    } catch (InputError const& x) {
      EXPECT_STREQ(x.what(), c.message);
    }
  }
  EXPECT_THROW(ip.set(e, "nope", Value::number(1)), InputError);
  AnyLogEntry other = findTable("EedbOutrif")->newEntry();
  EXPECT_THROW(ip.set(other, "fodo", Value::number(1)), std::logic_error);
  EXPECT_THROW(ip.makeWrapper(other, Asic::UnitId(), 0), std::logic_error);
}

TEST(CatalogTest, ObjectFailureLeavesEntryAsItWas) {
  TableInfo const& ip = *findTable("EedbIpTunnel");
  AnyLogEntry e = ip.newEntry();
  // The first members are valid; the last one is not: nothing of the object is kept.
  Value const input = Value::object(
      {{"fodo", Value::number(5)},
       {"key", Value::object({{"outlif", Value::number(7)}, {"dipOutlif", Value::negative(-2)}})}});
  EXPECT_THROW(ip.setFields(e, input), InputError);
  EXPECT_EQ(e, ip.newEntry());
}

TEST(CatalogTest, SetsCompoundKeysAndViewsThroughTheirOwners) {
  TableInfo const& sflow = *findTable("EedbSflowTable");
  AnyLogEntry e = sflow.newEntry();
  sflow.setFields(e, Value::object({{"key", Value::object({{"outlif", Value::number(1)},
                                                           {"dataOutlif", Value::number(2)},
                                                           {"word3", Value::number(3)}})},
                                    {"esemCommand", Value::number(4)}}));
  auto const& s = std::get<EedbSflowTableLogEntry>(e);
  EXPECT_EQ(s.key(), EedbSflowTableEntryKey(1, 2, 3));
  EXPECT_EQ(s.esemCommand(), Gen3EsemCmds::Item{4});

  TableInfo const& srv6 = *findTable("EedbSrv6");
  AnyLogEntry v = srv6.newEntry();
  srv6.setFields(v, Value::object({{"viewType", Value::number(2)},
                                   {"etpsIpv6TunnelRaw150", at("fodo", Value::number(0x3ff))}}));
  EXPECT_EQ(std::get<EedbSrv6LogEntry>(v).etpsIpv6TunnelRaw150().fodo(), 0x3ff);
  EXPECT_EQ(std::get<EedbSrv6LogEntry>(v).viewData()[4], 0x03);
  EXPECT_EQ(std::get<EedbSrv6LogEntry>(v).viewData()[5], 0xff);
}

// Every table, filled through the catalogue, reads back and replays into the same entry.
TEST(CatalogTest, VisitedFieldsReplayIntoTheSameEntry) {
  for (TableInfo const& t : tables()) {
    AnyLogEntry e = t.newEntry();
    std::uint64_t n = 0;
    forEachLeaf([&](TableInfo const& table, std::string const& path, FieldInfo const& f) {
      if (&table != &t) return;
      ++n;
      Value v = Value::number(n & f.max());
      if (f.kind == FieldKind::address) v = Value::text(n % 2 ? "10.1.2.3" : "2001:db8::9");
      if (f.kind == FieldKind::mac) v = Value::text("02:00:00:aa:bb:cc");
      t.setFields(e, at(path, v));
    });
    if (t.name == "EedbSrv6") t.set(e, "viewType", Value::number(2));

    std::vector<Value::Member> members;
    t.visit(e, [&](FieldInfo const& f, Value v) { members.push_back({std::string(f.name), v}); });
    AnyLogEntry replayed = t.newEntry();
    t.setFields(replayed, Value::object(members));
    EXPECT_EQ(describe(replayed), describe(e)) << t.name;
    EXPECT_EQ(tableOf(e).name, t.name);
  }
}

// Null pointers standing for each wrapper type.
using AllWrappers =
    std::tuple<EedbOutrifLogEntryWrapper*, EedbMplsTunnelTableLogEntryWrapper*,
               EedbSrv6LogEntryWrapper*, EedbIpTunnelLogEntryWrapper*,
               EedbVxlanTunnelLogEntryWrapper*, ZuriErrmArp::EedbArpTableLogEntryWrapper*,
               EedbSubIntfOutAcTableLogEntryWrapper*, EedbTapAggTableLogEntryWrapper*,
               EedbSflowTableLogEntryWrapper*, EedbStatTableLogEntryWrapper*,
               EedbAgMemTlmLogEntryWrapper*, EedbDataByLocalOutlifMsbsLogEntryWrapper*>;

TEST(CatalogTest, WrapperIsTheTablesOwn) {
  for (TableInfo const& t : tables()) {
    AnyLogEntry e = t.newEntry();
    // Something other than the default, so that the entry's trip through the wrapper shows.
    t.set(e, t.field("viewType") ? "viewType" : "key", Value::number(1));
    auto const w = t.makeWrapper(e, Asic::UnitId(0x0203), LogFlumeFlags::kDelete);
    int matches = 0;
    std::apply(
        [&]<class... W>(W*...) {
          auto check = [&]<class One>() {
            auto const p = Pelix::dynamic_pointer_cast<One>(w);
            if (!p) return;
            ++matches;
            EXPECT_EQ(p->unitId(), Asic::UnitId(0x0203));
            EXPECT_EQ(p->flags(), LogFlumeFlags::kDelete);
            EXPECT_EQ(AnyLogEntry(p->logEntry()), e) << t.name;
          };
          (check.template operator()<W>(), ...);
        },
        AllWrappers{});
    EXPECT_EQ(matches, 1) << t.name;
  }
}

// Table names, ids and field layouts: name:kind:bits in storage order.
TEST(CatalogTest, Layouts) {
  std::map<std::string, std::string> const golden = {
      {"EedbOutrif 03:01:0c07",
       "key:number:32 fodo:number:16 viewType:number:8 forwardQosModel:number:8 "
       "remarkProfile:number:8 mtuProfile:number:8"},
      {"EedbMplsTunnelTable 03:01:0c06",
       "key:number:32 nextOutlifPointer:number:32 label1:number:32 label2:number:32 "
       "label3:number:32 label4:number:32 label5:number:32 label6:number:32 statObjectId:number:32 "
       "viewType:number:8 vlanEditProfile:number:8 esemCommand:number:8 ttlMode:number:8 "
       "encapQosModel:number:8 nwkQosIdx:number:8 ttlPipeProfile:number:8 lifAhpMpls:number:8"},
      {"EedbSrv6 03:01:0c09",
       "key:number:32 nextOutlifPointer:number:32 statObjectId:number:32 viewType:number:8 "
       "etpsSrv6150{nofSids:number:8 srhRoutingType:number:8} etpsDataSid150{sid:address:128} "
       "etpsIpv6TunnelRaw150{fodo:number:16 actionProfile:number:8 nwkQosIdx:number:8 "
       "encapQosModel:number:8 ttlDecrementDisable:number:8 ttlMode:number:8 "
       "remarkProfile:number:8 sourceIdx:number:8 ttlPipeProfile:number:8 "
       "forwardQosModel:number:8}"},
      {"EedbIpTunnel 03:01:0c04",
       "reserved1:number:32 statObjectId:number:32 lifAhp:bounded:4 nextOutlifPointer:bounded:20 "
       "key{outlif:number:32 dipOutlif:number:32} fodo:bounded:10 viewType:number:8 "
       "esemCommand:bounded:6 actionProfile:bounded:2 nwkQosIdx:bounded:6 encapQosModel:bounded:3 "
       "ttlDecrementDisable:bounded:1 ttlMode:bounded:1 ipv4HeaderDfFlag:bounded:1 "
       "ipv4HeaderReservedFlag:bounded:1 dip:address:128 remarkProfile:bounded:5 "
       "mtuProfile:bounded:4 sourceIdx:number:8 ttlPipeProfile:bounded:4 "
       "forwardQosModel:bounded:1"},
      {"EedbVxlanTunnel 03:01:0c0d",
       "key:number:32 nextOutlif:outlif:32 viewType:number:8 dip:address:128 "
       "esemNameSpace:bounded:4 outLifProfile:bounded:3 sourceIdx:number:8 "
       "ttlPipeProfile:bounded:4 nwkQosIdx:bounded:6"},
      {"EedbArpTable 03:01:1001",
       "key:number:32 statObjectId:number:32 vlanEditVid1:number:16 fodo:number:16 l2Mac:mac:48 "
       "viewType:number:8 actionProfile:number:8 egressLastLayer:number:8 statObjectCmd:number:8 "
       "vlanEditProfile:number:8 mtuProfile:number:8"},
      {"EedbSubIntfOutAcTable 03:01:0c0b",
       "key:number:32 vlanEditVid1:number:16 vlanEditVid2:number:16 viewType:number:8 "
       "egressLastLayer:number:8 vlanEditProfile:number:8"},
      {"EedbTapAggTable 03:01:0c0c",
       "key:number:32 nextOutlifPointer:number:32 vlanEditVid1:number:16 vlanEditVid2:number:16 "
       "reserved1:number:16 destMac:mac:48 srcMac:mac:48 viewType:number:8 "
       "egressLastLayer:number:8 vlanEditProfile:number:8"},
      {"EedbSflowTable 03:01:0c08",
       "key{outlif:number:32 dataOutlif:number:32 word3:number:32} "
       "headerSampleSamplingRate:number:32 headerRecordEnterpriseFormat:number:32 "
       "reserved1:number:32 headerSampleSampleLength:number:16 headerRecordDataLength:number:16 "
       "headerRecordProtocol:number:16 headerRecordSize:number:16 viewType:number:8 "
       "headerSampleFlowRecord:number:8 reserved2:number:8 esemCommand:number:8 "
       "oamLifSet:number:8 eventorId:number:8"},
      {"EedbStatTable 03:01:0c0a",
       "key:number:32 nextOutlifPointer:number:32 statObjectId:number:32 viewType:number:8"},
      {"EedbAgMemTlm 03:01:0c01", "key:number:16 agFieldTlm:number:8"},
      {"EedbDataByLocalOutlifMsbs 03:01:0c03", "key:number:16 eesIsDataEntryapped:number:8"},
  };
  std::map<std::string, std::string> actual;
  auto describeFields = [](auto&& self, std::span<FieldInfo const> fields) -> std::string {
    std::string s;
    for (FieldInfo const& f : fields) {
      if (!s.empty()) s += ' ';
      s += f.kind == FieldKind::object ? fmt::format("{}{{{}}}", f.name, self(self, f.members))
                                       : fmt::format("{}:{}:{}", f.name, f.kind, f.bits);
    }
    return s;
  };
  for (TableInfo const& t : tables()) {
    actual[fmt::format("{} {}", t.name, t.swTableId)] = describeFields(describeFields, t.fields);
    EXPECT_EQ(findTable(t.name), &t);
  }
  EXPECT_EQ(actual, golden);
  EXPECT_EQ(findTable("EedbOutrifLogEntry"), nullptr);
}

TEST(CatalogTest, ValuePrinting) {
  Value const v = Value::object({{"a", Value::number(1)},
                                 {"b", Value::text("x")},
                                 {"c", Value()},
                                 {"d", Value::negative(-3)},
                                 {"e", Value::object({})}});
  EXPECT_EQ(fmt::format("{}", v), "{a=1, b=\"x\", c=null, d=-3, e={}}");
  EXPECT_EQ(Value::negative(3), Value::number(3));
}

}  // namespace
