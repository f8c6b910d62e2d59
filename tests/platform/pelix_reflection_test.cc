// Reflection: modules, type lookup and the three answers of an inspect access.
#include <any>
#include <array>
#include <string_view>

#include <gtest/gtest.h>

#include "pelix/Reflection.h"

namespace {

using Pelix::Access;

// A small reflected class: an attribute, an operation with a parameter, an operation that
// refuses reflection, and a hook.
class Meter : public Pelix::Node {
 public:
  explicit Meter(int start) : value(start) {}
  int value;
  int hooks = 0;
};

constexpr std::string_view kAddParams[] = {"amount"};
constexpr Pelix::MemberRecord kMeterMembers[] = {
    {"value", Pelix::MemberKind::attribute, {}},
    {"add", Pelix::MemberKind::operation, kAddParams},
    {"add_", Pelix::MemberKind::operation, {}},
    {"onTick", Pelix::MemberKind::hook, {}},
};

int meterInspect(Pelix::Node& object, std::string_view member, Access access,
                 std::span<std::any const> args, std::any* result) {
  auto& m = static_cast<Meter&>(object);
  if (member == "value") {
    if (access == Access::read) {
      *result = m.value;
    } else {
      m.value = std::any_cast<int>(args[0]);
    }
    return Pelix::kInspectDone;
  }
  if (member == "add") {
    m.value += std::any_cast<int>(args[0]);
    *result = m.value;
    return Pelix::kInspectDone;
  }
  if (member == "onTick") {
    ++m.hooks;
    return Pelix::kInspectDone;
  }
  return Pelix::kInspectNoAccess;  // add_ is the body of add: not offered
}

Pelix::Ptr<Pelix::Node> meterConstruct(std::span<std::any const> args) {
  if (args.size() != 1 || args[0].type() != typeid(int)) return nullptr;
  return Pelix::Ptr<Pelix::Node>(new Meter(std::any_cast<int>(args[0])));
}

constexpr Pelix::TypeRecord kMeterType{"test::Meter", kMeterMembers, &meterInspect,
                                       &meterConstruct};
constexpr Pelix::TypeRecord kGaugeType{"test::Gauge", {}, nullptr, nullptr};
constexpr Pelix::TypeRecord const* kTypes[] = {&kMeterType, &kGaugeType};
Pelix::ModuleInspectData gModule("pelix_reflection_test", kTypes);

constexpr Pelix::TypeRecord kHiddenType{"test::Hidden", {}, nullptr, nullptr};
constexpr Pelix::TypeRecord const* kHiddenTypes[] = {&kHiddenType};
Pelix::ModuleInspectData gNeverLoaded("pelix_reflection_test_hidden", kHiddenTypes);

TEST(PelixReflection, LoadedModulesMakeTheirTypesFindable) {
  gModule.loaded();
  gModule.loaded();  // a second announcement changes nothing
  EXPECT_TRUE(gModule.isLoaded());
  EXPECT_EQ(Pelix::ModuleInspectData::findType("test::Meter"), &kMeterType);
  EXPECT_EQ(Pelix::ModuleInspectData::findType("test::Gauge"), &kGaugeType);
  EXPECT_EQ(Pelix::ModuleInspectData::findType("test::Hidden"), nullptr);
  EXPECT_FALSE(gNeverLoaded.isLoaded());
  EXPECT_EQ(Pelix::ModuleInspectData::findType("test::Mete"), nullptr);
}

struct InspectCase {
  std::string_view member;
  Access access;
  int answer;
};

TEST(PelixReflection, InspectAnswersDoneNoAccessOrNoMember) {
  InspectCase const cases[] = {
      {"value", Access::read, Pelix::kInspectDone},
      {"value", Access::write, Pelix::kInspectDone},
      {"value", Access::call, Pelix::kInspectNoAccess},  // an attribute is not called
      {"add", Access::call, Pelix::kInspectDone},
      {"add", Access::read, Pelix::kInspectNoAccess},  // an operation is not read
      {"add", Access::write, Pelix::kInspectNoAccess},
      {"add_", Access::call, Pelix::kInspectNoAccess},  // refused by the class
      {"onTick", Access::call, Pelix::kInspectDone},
      {"onTick", Access::write, Pelix::kInspectNoAccess},
      {"missing", Access::call, Pelix::kInspectNoMember},
      {"", Access::read, Pelix::kInspectNoMember},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.member);
    Meter meter(1);
    std::array<std::any, 1> args{std::any(2)};
    std::any result;
    EXPECT_EQ(Pelix::inspect(meter, kMeterType, c.member, c.access, args, &result), c.answer)
        << static_cast<int>(c.access);
  }
}

TEST(PelixReflection, InspectServesTheAccess) {
  Meter meter(10);
  std::any result;
  std::array<std::any, 1> five{std::any(5)};
  ASSERT_EQ(Pelix::inspect(meter, kMeterType, "add", Access::call, five, &result), 0);
  EXPECT_EQ(std::any_cast<int>(result), 15);
  ASSERT_EQ(Pelix::inspect(meter, kMeterType, "value", Access::write, five, nullptr), 0);
  ASSERT_EQ(Pelix::inspect(meter, kMeterType, "value", Access::read, {}, &result), 0);
  EXPECT_EQ(std::any_cast<int>(result), 5);
  ASSERT_EQ(Pelix::inspect(meter, kMeterType, "onTick", Access::call, {}, nullptr), 0);
  EXPECT_EQ(meter.hooks, 1);
  // A refused access leaves the object alone.
  ASSERT_EQ(Pelix::inspect(meter, kMeterType, "add", Access::write, five, nullptr), 1);
  EXPECT_EQ(meter.value, 5);
}

TEST(PelixReflection, TypeWithoutGlueOffersNoAccess) {
  static constexpr Pelix::MemberRecord members[] = {{"x", Pelix::MemberKind::attribute, {}}};
  static constexpr Pelix::TypeRecord bare{"test::Bare", members, nullptr, nullptr};
  Meter object(0);
  EXPECT_EQ(Pelix::inspect(object, bare, "x", Access::read, {}, nullptr), 1);
  EXPECT_EQ(Pelix::inspect(object, bare, "y", Access::read, {}, nullptr), 2);
}

TEST(PelixReflection, ConstructFromArguments) {
  std::array<std::any, 1> args{std::any(7)};
  Pelix::Ptr<Pelix::Node> made = kMeterType.construct(args);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->refCount(), 1u);
  EXPECT_EQ(static_cast<Meter&>(*made).value, 7);
  std::array<std::any, 1> wrong{std::any(7.0)};
  EXPECT_FALSE(kMeterType.construct(wrong));
  EXPECT_FALSE(kMeterType.construct({}));
}

}  // namespace
