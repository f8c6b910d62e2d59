// The conformance matrix of field limits, generated: for every table utility, every view (a
// view type that translates to a format) and every numeric field of the catalogue, the largest
// value that translation accepts is found by search. A field with a limit below its storage is
// filled by checked cast or bounded construction: the limit must be 2^n - 1 for a U<n> type, the
// limit passes processSwEntry, and the limit plus one fails with the exact text of its rule and
// writes nothing (shadow, counters, enqueue statistics unchanged). The matrix found, one line per
// field, must equal tests/golden/conformance.txt, which is reviewed against the tables' rules;
// EEDB_UPDATE_GOLDEN=1 rewrites it.
#include <any>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "zuri_errm/Catalog.h"

namespace eedb::test {
namespace {

using ZuriErrm::AnyLogEntry;
using ZuriErrm::FieldInfo;
using ZuriErrm::FieldKind;
using ZuriErrm::TableInfo;
using ZuriErrm::Value;

std::filesystem::path goldenPath() {
  return std::filesystem::path(__FILE__).parent_path().parent_path() / "golden" / "conformance.txt";
}

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
  Value current = f.top->get(entry);
  std::string const member = f.path.substr(f.path.rfind('.') + 1);
  std::vector<Value::Member> members = current.members();
  for (auto& m : members) {
    if (m.name == member) m.value = Value::number(v);
  }
  table.set(entry, f.top->name, Value::object(std::move(members)));
}

std::string_view sourceTypeOf(NumericField const& f) {
  if (f.path.ends_with("esemCommand")) return "Gen3EsemCmds::Item";
  switch (f.info->bits) {
    case 8:
      return "unsigned char";
    case 16:
      return "short unsigned int";
    default:
      return "unsigned int";
  }
}

class Conformance : public ::testing::Test {
 protected:
  // The failure text of translating the entry, or nothing when it translates.
  static std::optional<std::string> translationFailure(UtilBase& util, TableInfo const& table,
                                                       AnyLogEntry const& entry) {
    std::any result;
    try {
      reflect(util, "translateToHwFormat", Pelix::Access::call,
              {std::any(table.makeWrapper(entry, Asic::UnitId(0), 0))}, &result);
    } catch (std::exception const& e) {
      return std::string(e.what());
    }
    return std::nullopt;
  }

  static bool hasFormat(UtilBase& util, TableInfo const& table, AnyLogEntry const& entry) {
    std::any result;
    reflect(util, "translateToHwFormat", Pelix::Access::call,
            {std::any(table.makeWrapper(entry, Asic::UnitId(0), 0))}, &result);
    if (auto const* e = std::any_cast<chip26_a0::EedbHwMdb::Entry>(&result)) return e->hasFormat();
    return true;  // a direct entry is always its table's one field
  }
};

struct Row {
  std::string line;  // the golden line
  UtilBase* util;
  TableInfo const* table;
  AnyLogEntry base;
  NumericField field;
  std::uint64_t limit;
  std::string rule, source;
  unsigned width;
};

TEST_F(Conformance, EveryCheckedFieldPassesAtItsLimitAndFailsAboveWithNothingWritten) {
  Managers m;
  std::vector<Pelix::Ptr<UtilBase>> utils;
  std::vector<Row> rows;
  std::vector<std::string> irregular;
  for (auto const& expected : kExpectedUtils) {
    auto util = create(expected.name, m);
    addFap(*util, 0);
    TableInfo const* table = &tableInfoOf(*util);
    std::vector<NumericField> fields;
    for (auto const& f : table->fields) collect(f, f, "", fields);
    bool const viewed = table->field("viewType") != nullptr;
    std::string const name(shortName(expected.name));

    for (unsigned view = 0; view < (viewed ? 16u : 1u); ++view) {
      AnyLogEntry base = table->newEntry();
      if (viewed) table->set(base, "viewType", Value::number(view));
      if (translationFailure(*util, *table, base) || !hasFormat(*util, *table, base)) continue;
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
          std::vector<std::uint64_t> odd;
          for (std::uint64_t v = 0; v <= max; ++v) {
            if (failsAt(v) != (v > lo)) odd.push_back(v);
          }
          if (!odd.empty()) {
            std::vector<std::uint64_t> failing;
            for (std::uint64_t v = 0; v <= max; ++v) {
              if (failsAt(v)) failing.push_back(v);
            }
            irregular.push_back(fmt::format("{}: fails at {}", where, fmt::join(failing, ",")));
            continue;
          }
        }
        unsigned const width = static_cast<unsigned>(std::bit_width(lo));
        EXPECT_EQ(lo, (std::uint64_t{1} << width) - 1) << where << ": limit " << lo;
        AnyLogEntry over = base;
        setPath(*table, over, f, lo + 1);
        std::string const text = *translationFailure(*util, *table, over);
        std::string const cast =
            fmt::format("Casting values: cast from {}{{ {} }} to U{} (max = {}) failed.",
                        sourceTypeOf(f), lo + 1, width, lo);
        int const digits = width <= 8 ? 2 : width <= 16 ? 4 : 8;
        std::string const bounded =
            fmt::format("U{}::value < 0 or > 0x{:0{}x} not allowed", width, lo, digits);
        std::string rule = text.ends_with(": " + cast)      ? "checked cast"
                           : text.ends_with(": " + bounded) ? "bounded construction"
                                                            : "";
        EXPECT_FALSE(rule.empty()) << where << " fails with neither rule's text: " << text;
        rows.push_back({fmt::format("{}: {} into U{} from {}", where, rule, width,
                                    rule == "checked cast" ? sourceTypeOf(f) : "its storage"),
                        util.get(), table, base, f, lo, rule, std::string(sourceTypeOf(f)), width});
      }
    }
    utils.push_back(std::move(util));
  }

  // Each row: the limit passes processSwEntry, the limit plus one fails with the exact text
  // (the translation guard around the rule's text, perhaps through the hook's guard) and
  // writes nothing.
  std::size_t cases = 0;
  for (auto const& row : rows) {
    SCOPED_TRACE(row.line);
    AnyLogEntry atLimit = row.base;
    setPath(*row.table, atLimit, row.field, row.limit);
    EXPECT_NO_THROW(row.util->processSwEntry(row.table->makeWrapper(atLimit, Asic::UnitId(0), 0)));
    ++cases;

    AnyLogEntry over = row.base;
    setPath(*row.table, over, row.field, row.limit + 1);
    std::string const prefix =
        fmt::format("translateToHwFormat: [logEntry: {}]: ", ZuriErrm::describe(over));
    std::string const inner =
        row.rule == "checked cast"
            ? fmt::format("Casting values: cast from {}{{ {} }} to U{} (max = {}) failed.",
                          row.source, row.limit + 1, row.width, row.limit)
            : fmt::format("U{}::value < 0 or > 0x{:0{}x} not allowed", row.width, row.limit,
                          row.width <= 8    ? 2
                          : row.width <= 16 ? 4
                                            : 8);
    std::string const text = raisesUntouched<Asic::OrderedTableException>({row.util}, [&] {
      row.util->processSwEntry(row.table->makeWrapper(over, Asic::UnitId(0), 0));
    });
    bool const direct = text == prefix + inner;
    bool const viaHook = text.starts_with(prefix + "userDefinedDoSetHwEntry: [unitId: ") &&
                         text.find(fmt::format("], [logEntry: {}], [hwEntry: ",
                                               ZuriErrm::describe(over))) != std::string::npos &&
                         text.ends_with("]: " + inner);
    EXPECT_TRUE(direct || viaHook) << text << "\nexpected " << prefix << "..." << inner;
    ++cases;
  }

  std::ostringstream found;
  for (auto const& row : rows) found << row.line << '\n';
  for (auto const& line : irregular) found << line << '\n';
  if (std::getenv("EEDB_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(goldenPath()) << found.str();
  }
  std::ifstream golden(goldenPath());
  std::stringstream want;
  want << golden.rdbuf();
  EXPECT_EQ(found.str(), want.str()) << "the matrix differs from " << goldenPath();
  EXPECT_GT(rows.size(), 30u);
  RecordProperty("matrixFields", static_cast<int>(rows.size()));
  RecordProperty("matrixCases", static_cast<int>(cases));
  fmt::print("conformance matrix: {} fields, {} cases\n", rows.size(), cases);
}

}  // namespace
}  // namespace eedb::test
