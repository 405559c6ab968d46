// The local store's permission request: the sheet decides what is still
// undecided, and each of its answers records exactly what it should.
#include <gtest/gtest.h>

#include <thread>

#include "platform/permission_sheet.h"
#include "store_calls.h"
#include "store_factories.h"

namespace tarnwick::testing {
namespace {

using platform::PermissionSheetAnswer;
using platform::local_store::Access;
using platform::local_store::TypeAccess;

const health::ObjectType kSteps{health::ObjectKind::quantity, std::string(health::kStepCountIdentifier)};
const health::ObjectType kBodyMass{health::ObjectKind::quantity, std::string(health::kBodyMassIdentifier)};

// Answers every request with a fixed answer from a thread of its own, as a
// real sheet answers from the main thread.
class ScriptedSheet : public platform::PermissionSheet {
 public:
  explicit ScriptedSheet(PermissionSheetAnswer answer) : answer_(std::move(answer)) {}
  ~ScriptedSheet() override {
    for (std::thread& thread : threads_) thread.join();
  }
  void present(platform::PermissionSheetRequest request, std::function<void(PermissionSheetAnswer)> answer) override {
    requests.push_back(std::move(request));
    threads_.emplace_back([answer = std::move(answer), reply = answer_] { answer(reply); });
  }
  std::vector<platform::PermissionSheetRequest> requests;

 private:
  PermissionSheetAnswer answer_;
  std::vector<std::thread> threads_;
};

class LocalStorePermissions : public ::testing::Test {
 protected:
  // A second store on the factory's file that asks with sheet.
  std::unique_ptr<health::HealthStore> storeWith(std::shared_ptr<platform::PermissionSheet> sheet,
                                                 LocalStoreFactory& on) {
    return platform::local_store::makeLocalHealthStore(on.path(), {std::move(sheet)});
  }
  TypeAccess recorded(const health::ObjectType& type) {
    auto database = platform::local_store::openStore(factory.path());
    return platform::local_store::accessFor(*database, type.identifier);
  }
  LocalStoreFactory factory;
};

TEST_F(LocalStorePermissions, WithoutASheetTheRequestFailsWithItsReasonAndRecordsNothing) {
  struct Case {
    std::unique_ptr<health::HealthStore> store;
    std::string reason;
  };
  Case cases[] = {
      {platform::local_store::makeLocalHealthStore(factory.path()),
       "The permission sheet can only be shown when the bridge runs with --appkit; run it again with --appkit on a "
       "display."},
      {platform::local_store::makeLocalHealthStore(factory.path(), {nullptr, "No display."}), "No display."},
  };
  for (Case& c : cases) {
    auto result = authorize(*c.store, {kSteps}, {kSteps, kBodyMass});
    ASSERT_TRUE(result.error);
    EXPECT_TRUE(result.error->is(health::HealthErrorCode::healthDataUnavailable));
    EXPECT_EQ(result.error->what(), c.reason);
    EXPECT_EQ(recorded(kSteps), TypeAccess{});
    EXPECT_EQ(recorded(kBodyMass), TypeAccess{});
  }
}

TEST_F(LocalStorePermissions, SheetAnswersAreRecorded) {
  using Outcome = PermissionSheetAnswer::Outcome;
  struct Case {
    const char* name;
    PermissionSheetAnswer answer;
    bool success;
    TypeAccess steps;
    TypeAccess bodyMass;
  };
  const TypeAccess undecided{};
  std::vector<Case> cases{
      {"allow with the person's switches",
       {Outcome::allow, {{kSteps.identifier, true}, {kBodyMass.identifier, false}}, {{kSteps.identifier, false}}},
       true,
       {Access::authorized, Access::denied},
       {Access::denied, Access::notDetermined}},
      {"don't allow", {Outcome::dontAllow, {}, {}}, false, {Access::denied, Access::denied}, {Access::denied, Access::notDetermined}},
      {"dismissed", {Outcome::dismissed, {}, {}}, false, undecided, undecided},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LocalStoreFactory fresh;
    auto sheet = std::make_shared<ScriptedSheet>(c.answer);
    auto result = authorize(*storeWith(sheet, fresh), {kSteps}, {kSteps, kBodyMass});
    ASSERT_FALSE(result.error) << result.error->what();
    EXPECT_EQ(*result.value, c.success);
    ASSERT_EQ(sheet->requests.size(), 1u);
    EXPECT_EQ(sheet->requests[0].shareTypes, std::vector<health::ObjectType>{kSteps});
    EXPECT_EQ(sheet->requests[0].readTypes.size(), 2u);
    auto database = platform::local_store::openStore(fresh.path());
    EXPECT_EQ(platform::local_store::accessFor(*database, kSteps.identifier), c.steps);
    EXPECT_EQ(platform::local_store::accessFor(*database, kBodyMass.identifier), c.bodyMass);
  }
}

TEST_F(LocalStorePermissions, DecidedTypesNeedNoSheetEvenWhenDenied) {
  auto sheet = std::make_shared<ScriptedSheet>(PermissionSheetAnswer{});
  auto store = storeWith(sheet, factory);
  factory.setAccess(kSteps.identifier, Decision::denied, Decision::denied);
  auto result = authorize(*store, {kSteps}, {kSteps});
  ASSERT_FALSE(result.error);
  EXPECT_TRUE(*result.value);
  EXPECT_TRUE(sheet->requests.empty());
  // A read-only decision leaves the share side undecided: that needs the sheet.
  factory.setAccess(kBodyMass.identifier, Decision::authorized, Decision::notDetermined);
  authorize(*store, {kBodyMass}, {kBodyMass});
  EXPECT_EQ(sheet->requests.size(), 1u);
}

TEST_F(LocalStorePermissions, RefusalsNameTheMetricAndWhatToDo) {
  factory.setAccess(kBodyMass.identifier, Decision::authorized, Decision::denied);
  health::Sample weight = health::makeQuantitySample(
      kBodyMass, health::Quantity(health::Unit::gram(health::MetricPrefix::kilo), 70), 0, 0);
  health::Sample stepCount = health::makeQuantitySample(kSteps, health::Quantity(health::Unit::count(), 5), 0, 0);
  struct Case {
    const char* name;
    std::optional<health::HealthStoreError> error;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {"undecided read", querySamples(factory.store(), {kSteps, std::nullopt, 0, {}}).error,
            "Authorization not determined for steps: ask with \"authorize\" (with --appkit, on a display) or run "
            "\"tarnwick-store grant steps\"."},
           {"undecided save", save(factory.store(), {stepCount}).error,
            "Authorization not determined for steps: ask with \"authorize\" (with --appkit, on a display) or run "
            "\"tarnwick-store grant steps\"."},
           {"denied save, named before an undecided one", save(factory.store(), {stepCount, weight}).error,
            "Not authorized for weight: run \"tarnwick-store grant weight\", or \"tarnwick-store reset weight\" and "
            "ask with \"authorize\" again."},
       }) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.error);
    EXPECT_EQ(c.error->what(), c.expected);
  }
}

}  // namespace
}  // namespace tarnwick::testing
