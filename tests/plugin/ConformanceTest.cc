// The conformance matrix of field limits: for every table utility, view and numeric field, the
// largest value that translation accepts, found by search, must be 2^n - 1 of its U<n>; the limit
// passes processSwEntry, the limit plus one fails with the exact text of its rule and writes
// nothing. The matrix must equal tests/golden/conformance.txt; EEDB_UPDATE_GOLDEN=1 rewrites it.
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PluginTestSupport.h"
#include "zuri_errm/Gen3EsemCmds.h"

namespace eedb::test {
namespace {

using ZuriErrm::AnyLogEntry;
using ZuriErrm::FieldInfo;
using ZuriErrm::FieldKind;
using ZuriErrm::TableInfo;
using ZuriErrm::Value;

// A numeric field, reached by its path ("key.dipOutlif", "etpsSrv6150.nofSids").
struct NumericField {
  std::string path;
  FieldInfo const* info;
  FieldInfo const* top;  // the catalogue field that holds it
};

void collect(FieldInfo const& field, FieldInfo const& top, std::string const& prefix,
             std::vector<NumericField>& out) {
  std::string const path =
      prefix.empty() ? std::string(field.name) : prefix + "." + std::string(field.name);
  if (field.kind == FieldKind::object) {
    for (auto const& m : field.members) collect(m, top, path, out);
  } else if (field.kind == FieldKind::number || field.kind == FieldKind::bounded) {
    if (field.name != "viewType") out.push_back({path, &field, &top});
  }
}

// Sets one numeric field, by path, leaving the others.
void setPath(TableInfo const& table, AnyLogEntry& entry, NumericField const& f, std::uint64_t v) {
  if (f.info == f.top) {
    table.set(entry, f.top->name, Value::number(v));
    return;
  }
  // Rebuild the object from its current members with the one member replaced.
  std::string const member = f.path.substr(f.path.rfind('.') + 1);
  std::vector<Value::Member> members = f.top->get(entry).members();
  for (auto& m : members) {
    if (m.name == member) m.value = Value::number(v);
  }
  table.set(entry, f.top->name, Value::object(std::move(members)));
}

std::string_view sourceTypeOf(NumericField const& f) {
  if (f.path.ends_with("esemCommand")) return "Gen3EsemCmds::Item";
  return f.info->bits == 8    ? "unsigned char"
         : f.info->bits == 16 ? "short unsigned int"
                              : "unsigned int";
}

// The failure text of translating the entry, or nothing when it translates; "no format" for an
// EEDB entry that translates to no format when formatless is set (a direct entry is always its
// table's one field).
std::optional<std::string> translationFailure(UtilBase& util, TableInfo const& table,
                                              AnyLogEntry const& entry, bool formatless = false) {
  std::any result;
  try {
    reflect(util, "translateToHwFormat", Pelix::Access::call,
            {std::any(table.makeWrapper(entry, Asic::UnitId(0), 0))}, &result);
  } catch (std::exception const& e) {
    return std::string(e.what());
  }
  auto const* e = std::any_cast<chip26_a0::EedbHwMdb::Entry>(&result);
  if (formatless && e && !e->hasFormat()) return "no format";
  return std::nullopt;
}

TEST(Conformance, EveryCheckedFieldPassesAtItsLimitAndFailsAboveWithNothingWritten) {
  Managers m;
  std::vector<std::string> rows, irregular;
  for (auto const& expected : kExpectedUtils) {
    auto util = create(expected.name, m);
    addFap(*util, 0);
    TableInfo const* table = &tableInfoOf(*util);
    std::vector<NumericField> fields;
    for (auto const& f : table->fields) collect(f, f, "", fields);
    bool const viewed = table->field("viewType") != nullptr;
    std::string const name(expected.name.substr(expected.name.rfind(':') + 1));

    for (unsigned view = 0; view < (viewed ? 16u : 1u); ++view) {
      AnyLogEntry base = table->newEntry();
      if (viewed) table->set(base, "viewType", Value::number(view));
      if (translationFailure(*util, *table, base, true)) continue;
      for (auto const& f : fields) {
        std::uint64_t const max = f.info->max();
        auto failsAt = [&](std::uint64_t v) {
          AnyLogEntry e = base;
          setPath(*table, e, f, v);
          return translationFailure(*util, *table, e).has_value();
        };
        if (!failsAt(max)) continue;
        std::string const where = viewed ? fmt::format("{} view {} {}", name, view, f.path)
                                         : fmt::format("{} {}", name, f.path);
        // The limit: the largest value that passes, below the first that fails.
        std::uint64_t lo = 0, hi = max;  // lo passes (checked below), hi fails
        ASSERT_FALSE(failsAt(0)) << where;
        while (hi - lo > 1) {
          std::uint64_t const mid = lo + (hi - lo) / 2;
          (failsAt(mid) ? hi : lo) = mid;
        }
        // Small fields are scanned whole: every value above the limit must fail, none below.
        if (f.info->bits <= 8) {
          std::vector<std::uint64_t> failing;
          for (std::uint64_t v = 0; v <= max; ++v) {
            if (failsAt(v)) failing.push_back(v);
          }
          if (failing.front() != lo + 1 || failing.size() != max - lo) {
            irregular.push_back(fmt::format("{}: fails at {}", where, fmt::join(failing, ",")));
            continue;
          }
        }
        unsigned const width = static_cast<unsigned>(std::bit_width(lo));
        EXPECT_EQ(lo, (std::uint64_t{1} << width) - 1) << where << ": limit " << lo;
        std::string const cast =
            fmt::format("Casting values: cast from {}{{ {} }} to U{} (max = {}) failed.",
                        sourceTypeOf(f), lo + 1, width, lo);
        int const digits = width <= 8 ? 2 : width <= 16 ? 4 : 8;
        std::string const bounded =
            fmt::format("U{}::value < 0 or > 0x{:0{}x} not allowed", width, lo, digits);
        // The limit passes processSwEntry; the limit plus one fails with the exact text (the
        // translation guard around the rule's text, perhaps through the hook's guard) and
        // writes nothing.
        AnyLogEntry atLimit = base, over = base;
        setPath(*table, atLimit, f, lo);
        setPath(*table, over, f, lo + 1);
        EXPECT_NO_THROW(util->processSwEntry(table->makeWrapper(atLimit, Asic::UnitId(0), 0)))
            << where;
        std::string const text = raisesUntouched<Asic::OrderedTableException>({util.get()}, [&] {
          util->processSwEntry(table->makeWrapper(over, Asic::UnitId(0), 0));
        });
        std::string const rule = text.ends_with(": " + cast)      ? "checked cast"
                                 : text.ends_with(": " + bounded) ? "bounded construction"
                                                                  : "";
        EXPECT_FALSE(rule.empty()) << where << " fails with neither rule's text: " << text;
        std::string const& inner = rule == "checked cast" ? cast : bounded;
        std::string const prefix =
            fmt::format("translateToHwFormat: [logEntry: {}]: ", ZuriErrm::describe(over));
        bool const direct = text == prefix + inner;
        bool const viaHook =
            text.starts_with(prefix + "userDefinedDoSetHwEntry: [unitId: ") &&
            text.find(fmt::format("], [logEntry: {}], [hwEntry: ", ZuriErrm::describe(over))) !=
                std::string::npos &&
            text.ends_with("]: " + inner);
        EXPECT_TRUE(direct || viaHook) << where << ": " << text;
        rows.push_back(fmt::format("{}: {} into U{} from {}", where, rule, width,
                                   rule == "checked cast" ? sourceTypeOf(f) : "its storage"));
      }
    }
  }

  std::ostringstream found;
  for (auto const& row : rows) found << row << '\n';
  for (auto const& line : irregular) found << line << '\n';
  auto const golden = std::filesystem::path(EEDB_GOLDEN_DIR) / "conformance.txt";
  if (std::getenv("EEDB_UPDATE_GOLDEN") != nullptr) std::ofstream(golden) << found.str();
  std::stringstream want;
  want << std::ifstream(golden).rdbuf();
  EXPECT_EQ(found.str(), want.str()) << "the matrix differs from " << golden;
  EXPECT_GT(rows.size(), 30u);
}

// One entry split between the two sFlow table utilities that share the EEDB. The data entry's
// ESEM command is the hardware value of Gen3 A0 on every revision (item 1 is 21, item 4 is 64
// and does not fit the U6 field); a failure of the data utility leaves the first-pass utility
// of the same entry and table untouched as well.
TEST(SflowTables, EsemCommandIsTheGen3A0ValueOnEveryRevisionAndAFailureTouchesNeither) {
  using Item = Gen3EsemCmds::Item;
  ASSERT_EQ(Gen3EsemCmds::hwValue(kB0, Item{1}), 1u);  // B0's own list keeps the item numbers
  for (FapRevision rev : {kA0, kB0}) {
    SCOPED_TRACE(fmt::format("{}", rev));
    Managers const m;
    auto first = create("chip26_a0::ZuriErrmUtil::EedbSflowTableUtil", m, rev);
    auto data = create("chip26_a0::ZuriErrmUtil::EedbSflowDataTableUtil", m, rev);
    addFap(*first, 0);
    addFap(*data, 0);
    auto const table = mdbTable(*data);
    ZuriErrm::EedbSflowTableLogEntry e;
    e.keyIs(ZuriErrm::EedbSflowTableEntryKey(0x5000, 0x5001, 0));
    e.esemCommandIs(Item{1});
    auto const entry = [&] { return wrap<ZuriErrm::EedbSflowTableLogEntryWrapper>(e, 0); };
    first->processSwEntry(entry());
    data->processSwEntry(entry());
    ASSERT_NE(storedIn(*table, 0x5001), nullptr);
    EXPECT_EQ(storedIn(*table, 0x5001)->fieldValue("esemCommand")->value(), 21u);
    EXPECT_EQ(storedIn(*table, 0x5000)->fieldValue("nextOutlifPointer")->value(), 0x5001u);

    e.esemCommandIs(Item{4});
    EXPECT_THAT(raisesUntouched<Asic::OrderedTableException>(
                    {first.get(), data.get()}, [&] { data->processSwEntry(entry()); }),
                ::testing::EndsWith("]: U6::value < 0 or > 0x3f not allowed"));
  }
}

}  // namespace
}  // namespace eedb::test
