// The typed readers of leaf fields against the catalogue: every leaf field of every table (view
// data of every view included) is found by its path and reads the number the catalogue's value
// holds, or none where that value is no number (addresses, an out-LIF that is not valid).

#include <cstdint>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "Explainer.h"
#include "FieldRead.h"

namespace {

using eedb::replay::FieldPath;
using eedb::replay::NumberRead;
using eedb::replay::numberRead;
using ZuriErrm::FieldKind;
using ZuriErrm::Value;

bool isNumber(FieldKind kind) {
  return kind == FieldKind::number || kind == FieldKind::bounded || kind == FieldKind::outlif;
}

// What the reader says against what the catalogue's value says, for every leaf of the entry.
void expectAgrees(ZuriErrm::TableInfo const& table, ZuriErrm::AnyLogEntry const& entry,
                  std::string_view when) {
  for (FieldPath const& field : eedb::replay::leafFields(table, entry, true)) {
    NumberRead const read = numberRead(table, field.path);
    ASSERT_NE(read, nullptr) << table.name << " " << field.path;
    Value const value = field.info->get(entry);
    std::uint64_t n = 0;
    bool const isNumberValue = value.kind() == Value::Kind::number;
    EXPECT_EQ(read(entry, n), isNumberValue) << table.name << " " << field.path << " " << when;
    if (isNumberValue) {
      EXPECT_EQ(n, value.asNumber()) << table.name << " " << field.path << " " << when;
    }
  }
}

TEST(FieldRead, EveryLeafReadsWhatTheCatalogueHolds) {
  for (ZuriErrm::TableInfo const& table : ZuriErrm::tables()) {
    ZuriErrm::AnyLogEntry entry = table.newEntry();
    expectAgrees(table, entry, "blank");
    // Every number field its own value, the largest it holds where that is smaller: fields
    // written as the wrong one, or read through the wrong group, show.
    std::uint64_t next = 0x1234567;
    for (FieldPath const& field : eedb::replay::leafFields(table, entry, true)) {
      if (!isNumber(field.info->kind)) continue;
      next = next * 31 + 7;
      field.info->set(entry, Value::number(next % (field.info->max() + 1)));
    }
    expectAgrees(table, entry, "set");
  }
}

TEST(FieldRead, OnlyLeavesAreFound) {
  ZuriErrm::TableInfo const& outrif = *ZuriErrm::findTable("EedbOutrif");
  ZuriErrm::TableInfo const& tunnel = *ZuriErrm::findTable("EedbIpTunnel");
  EXPECT_NE(numberRead(outrif, "fodo"), nullptr);
  EXPECT_NE(numberRead(outrif, "key"), nullptr);  // a scalar key
  EXPECT_NE(numberRead(tunnel, "key.dipOutlif"), nullptr);
  EXPECT_EQ(numberRead(tunnel, "key"), nullptr);  // a compound key: a group of fields
  EXPECT_EQ(numberRead(tunnel, "key."), nullptr);
  EXPECT_EQ(numberRead(tunnel, "keydipOutlif"), nullptr);
  EXPECT_EQ(numberRead(tunnel, "dipOutlif"), nullptr);
  EXPECT_EQ(numberRead(outrif, "fod"), nullptr);
  EXPECT_EQ(numberRead(outrif, "fodo.x"), nullptr);
  EXPECT_EQ(numberRead(outrif, ""), nullptr);
}

}  // namespace
