// Linked into every test binary: after the last test no runtime object may be alive beyond the
// process-wide ones, and no allocation tracker may count a live object but the plug-in loader's
// list nodes. A leaked table utility, log entry wrapper or hardware table fails the binary.
#include <cstdint>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kiv/AllocTrack.h"
#include "pelix/Node.h"
#include "zuri_asic_utils/UtilBase.h"

namespace {

class LeakCheck : public ::testing::Environment {
 public:
  void SetUp() override {
    // Process-wide and created on first use: create it now so that it is not counted.
    ZuriAsicUtils::SupportedFapRevList::fapRevisionList();
    baseline_ = Pelix::Node::liveCount();
  }

  void TearDown() override {
    std::string tracked;
    for (auto const* tracker : Kiv::AllocTrackTypeInfo::alive()) {
      // The loader keeps one list node per plug-in it recorded until the process ends.
      if (tracker->name() == "Plugin::Loader::ListNode" && tracker->live() > 0) continue;
      tracked += fmt::format(" {} ({})", tracker->name(), tracker->live());
    }
    EXPECT_TRUE(tracked.empty()) << "tracked objects alive after the last test:" << tracked;
    EXPECT_EQ(Pelix::Node::liveCount(), baseline_)
        << "runtime nodes alive after the last test, beyond the process-wide ones";
  }

 private:
  std::int64_t baseline_ = 0;
};

[[maybe_unused]] ::testing::Environment* const kLeakCheck =
    ::testing::AddGlobalTestEnvironment(new LeakCheck);

}  // namespace
