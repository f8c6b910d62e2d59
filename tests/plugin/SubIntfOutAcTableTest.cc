// The sub-interface out-AC table through the plug-in: one view, four checked casts in order, no
// hook, and the failures that leave the table as it was.

#include <string>

#include <gtest/gtest.h>

#include "KeyHookTables.h"

namespace eedb::test {
namespace {

class SubIntfOutAcTable : public KeyHookTable {
 protected:
  SubIntfOutAcTable() : KeyHookTable(kSubIntfOutAc) {}
};

TEST_F(SubIntfOutAcTable, ViewOneWritesTheVlanEdit) {
  struct Case {
    char const* what;
    SubIntf in;
    std::uint32_t hwKey;
    Fields fields;  // every field of EedbOutAcEtpsAc3TagStat120Entry
  };
  Case const cases[] = {
      {"every field at its limit, key cut to 20 bits",
       {.key = 0xFFFFFF,
        .vlanEditVid1 = 4095,
        .vlanEditVid2 = 4095,
        .egressLastLayer = 1,
        .vlanEditProfile = 63},
       0xFFFFF,
       {{"egressLastLayer", 1},
        {"vlanEditProfile", 63},
        {"vlanEditVid1", 4095},
        {"vlanEditVid2", 4095},
        {"statObjectCmd", 0},
        {"statObjectId", 0}}},
      {"two tags",
       {.key = 0x100200, .vlanEditVid1 = 100, .vlanEditVid2 = 200, .vlanEditProfile = 5},
       0x00200,
       {{"egressLastLayer", 0},
        {"vlanEditProfile", 5},
        {"vlanEditVid1", 100},
        {"vlanEditVid2", 200},
        {"statObjectCmd", 0},
        {"statObjectId", 0}}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    auto const entry = added(c.in.wrapped(), c.hwKey);
    EXPECT_EQ(formatName(entry), "EedbOutAcEtpsAc3TagStat120Entry");
    EXPECT_EQ(fieldsOf(entry), c.fields);
  }
}

TEST_F(SubIntfOutAcTable, CheckedCastFailsOnTheFirstBadField) {
  struct Case {
    SubIntf in;
    char const* cast;
  };
  Case const cases[] = {
      {{.egressLastLayer = 2}, "unsigned char{ 2 } to U1 (max = 1)"},
      {{.vlanEditProfile = 64}, "unsigned char{ 64 } to U6 (max = 63)"},
      {{.vlanEditVid1 = 4096}, "short unsigned int{ 4096 } to U12 (max = 4095)"},
      {{.vlanEditVid2 = 4096}, "short unsigned int{ 4096 } to U12 (max = 4095)"},
      {{.vlanEditVid2 = 0xFFFF}, "short unsigned int{ 65535 } to U12 (max = 4095)"},
      // The egress last layer is looked at before any VLAN field.
      {{.vlanEditVid1 = 5000, .vlanEditVid2 = 6000, .egressLastLayer = 2, .vlanEditProfile = 64},
       "unsigned char{ 2 } to U1 (max = 1)"},
      {{.vlanEditVid1 = 5000, .vlanEditVid2 = 6000, .vlanEditProfile = 64},
       "unsigned char{ 64 } to U6 (max = 63)"},
      {{.vlanEditVid1 = 5000, .vlanEditVid2 = 6000},
       "short unsigned int{ 5000 } to U12 (max = 4095)"},
  };
  added(SubIntf{.vlanEditVid1 = 7}.wrapped(), 0x100);
  for (auto const& c : cases) {
    std::string const expected =
        fmt::format("translateToHwFormat: [logEntry: {}]: Casting values: cast from {} failed.",
                    c.in.entry(), c.cast);
    SCOPED_TRACE(expected);
    failsEverywhereWith([&](std::uint8_t flags) { return c.in.wrapped(0, flags); }, expected);
  }
}

}  // namespace
}  // namespace eedb::test
