// Log handles and the log sink; precondition failures.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kiv/Log.h"
#include "kiv/Sassert.h"

namespace {

constexpr Kiv::LogDescriptor kException{"HW_ABSTRACTION_EXCEPTION", "%s", "Exception", "\x01", 3};

TEST(KivLog, WritesNameAndMessageToTheSink) {
  std::vector<std::string> lines;
  Kiv::logSinkIs([&](std::string_view line) { lines.emplace_back(line); });
  Kiv::LogHandle handle(kException, Pelix::Duration(), 1.0, 0, 0);
  Kiv::log(handle, "translateToHwFormat: [logEntry: x]");
  Kiv::log(handle, "");
  Kiv::logSinkIs(nullptr);

  EXPECT_THAT(
      lines, ::testing::ElementsAre("%HW_ABSTRACTION_EXCEPTION: translateToHwFormat: [logEntry: x]",
                                    "%HW_ABSTRACTION_EXCEPTION: "));
  EXPECT_EQ(handle.written(), 2u);
}

TEST(KivLog, WithoutSinkTheLineGoesToStandardError) {
  Kiv::LogHandle handle(kException, Pelix::Duration(), 1.0, 0, 0);
  ::testing::internal::CaptureStderr();
  Kiv::log(handle, "boom %s 100%");  // the message is text, never a format
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "%HW_ABSTRACTION_EXCEPTION: boom %s 100%\n");
}

void checkWrapper() {
  Kiv::SassertHelper::fail("\"logPtr\" == nullptr", "logPtr is NULL",
                           "void chip26_a0::EedbOutrifUtil::processSwEntry()", "EedbOutrifUtil.cc",
                           42);
}

TEST(KivSassert, FailureRaisesTheExceptionWithItsParts) {
  try {
    checkWrapper();
    FAIL() << "no exception";
  } catch (std::logic_error const& logicError) {
    auto const& e = dynamic_cast<Kiv::SassertException const&>(logicError);
    EXPECT_STREQ(e.what(),
                 "logPtr is NULL (\"logPtr\" == nullptr) in void "
                 "chip26_a0::EedbOutrifUtil::processSwEntry()");
    EXPECT_EQ(e.message(), "logPtr is NULL");
    EXPECT_EQ(e.condition(), "\"logPtr\" == nullptr");
    EXPECT_EQ(e.function(), "void chip26_a0::EedbOutrifUtil::processSwEntry()");
    EXPECT_EQ(e.file(), "EedbOutrifUtil.cc");
    EXPECT_EQ(e.line(), 42);
  }
}

}  // namespace
