// The ordered-table failure functions: the texts they join, the types they raise, and the
// range failure helper.

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "ancillary/Utility.h"
#include "asic/OrderedTableException.h"

namespace {

std::string caughtText(void (*raise)()) {
  try {
    raise();
  } catch (Asic::OrderedTableException const& e) {
    return e.what();
  }
  return "<nothing raised>";
}

TEST(OrderedTableException, JoinsContextAndCaughtText) {
  struct Case {
    char const* context;
    char const* caught;
    char const* expected;
  };
  Case const cases[] = {
      {"mapToHwKey: [logEntry: key 7], [unitId: 0x0000]", "boom",
       "mapToHwKey: [logEntry: key 7], [unitId: 0x0000]: boom"},
      {"translateToHwFormat", "", "translateToHwFormat: "},
      {"translateToHwFormat", nullptr, "translateToHwFormat: "},
      {"", "text", ": text"},
  };
  for (auto const& c : cases) {
    try {
      Asic::throwOrderedTableException(c.context, c.caught);
    } catch (Asic::OrderedTableException const& e) {
      EXPECT_STREQ(e.what(), c.expected);
      EXPECT_EQ(dynamic_cast<Asic::GracefulAssertException const*>(&e), nullptr);
      continue;
    }
    ADD_FAILURE() << "nothing raised for " << c.context;
  }
}

TEST(OrderedTableException, UnknownFailureText) {
  EXPECT_EQ(caughtText([] { Asic::throwOrderedTableExceptionUnknown("mapToHwKey: [x]"); }),
            "mapToHwKey: [x]: unknown exception");
}

// Guards nest: an inner wrapped failure is caught as a std::exception and wrapped again.
TEST(OrderedTableException, NestedWrappingKeepsEveryContext) {
  auto raise = [] {
    try {
      try {
        Ancillary::Utility::raise(std::range_error("Casting values: failed."));
      } catch (std::exception const& e) {
        Asic::throwOrderedTableException("userDefinedDoSetHwEntry: [a]", e.what());
      }
    } catch (std::exception const& e) {
      Asic::throwOrderedTableException("translateToHwFormat: [b]", e.what());
    }
  };
  EXPECT_EQ(caughtText(raise),
            "translateToHwFormat: [b]: userDefinedDoSetHwEntry: [a]: Casting values: failed.");
}

TEST(GracefulAssertException, IsAnOrderedTableException) {
  auto raise = [] { throw Asic::GracefulAssertException("AssertionError at f.cc:3 (x) - y"); };
  EXPECT_EQ(caughtText(raise), "AssertionError at f.cc:3 (x) - y");
  try {
    raise();
  } catch (std::exception const& e) {
    EXPECT_NE(dynamic_cast<Asic::GracefulAssertException const*>(&e), nullptr);
  }
}

TEST(AncillaryUtility, RaisesTheRangeErrorItIsGiven) {
  try {
    Ancillary::Utility::raise(std::range_error("too large"));
    FAIL() << "nothing raised";
  } catch (std::range_error const& e) {
    EXPECT_STREQ(e.what(), "too large");
  }
}

}  // namespace
