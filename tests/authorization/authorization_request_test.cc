#include "authorization/authorization_request.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "health/metric_catalogue.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::ObjectKind;
using health::ObjectType;
using protocol::AuthorizationData;
using protocol::BridgeRequest;
using Keys = std::vector<std::string>;
using Types = std::set<ObjectType>;

const ObjectType kSteps{ObjectKind::quantity, std::string(health::kStepCountIdentifier)};
const ObjectType kBodyMass{ObjectKind::quantity, std::string(health::kBodyMassIdentifier)};
const ObjectType kSleep{ObjectKind::category, std::string(health::kSleepAnalysisIdentifier)};
const ObjectType kWorkout{ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)};
const Types kAllSeven{kSteps,
                      kSleep,
                      {ObjectKind::quantity, std::string(health::kHeartRateIdentifier)},
                      {ObjectKind::quantity, std::string(health::kHeartRateVariabilityIdentifier)},
                      kBodyMass,
                      {ObjectKind::quantity, std::string(health::kBloodGlucoseIdentifier)},
                      kWorkout};

BridgeRequest authorizeRequest(std::string sourceMode, std::optional<Keys> readTypes, std::optional<Keys> writeTypes) {
  BridgeRequest request;
  request.method = "authorize";
  request.sourceMode = std::move(sourceMode);
  request.readTypes = std::move(readTypes);
  request.writeTypes = std::move(writeTypes);
  return request;
}

class AuthorizationTest : public ::testing::Test {
 protected:
  AuthorizationData requestAuthorization(const BridgeRequest& request) {
    return authorization::requestAuthorization(request, store);
  }

  FakeHealthStore store;
};

TEST_F(AuthorizationTest, NothingResolvableIsNotDeterminedWithTheListsAsSent) {
  struct Case {
    std::optional<Keys> readTypes, writeTypes;
  };
  for (const Case& c : {Case{Keys{}, Keys{}}, Case{Keys{"bogus"}, Keys{"other"}}, Case{Keys{"Steps"}, Keys{" sleep"}}}) {
    EXPECT_EQ(requestAuthorization(authorizeRequest("native", c.readTypes, c.writeTypes)),
              (AuthorizationData{false, "not-determined", *c.readTypes, *c.writeTypes, "native"}));
  }
  EXPECT_TRUE(store.calls().empty());
}

struct RequestSetCase {
  std::string name;
  std::optional<Keys> readTypes, writeTypes;
  Types expectedShare, expectedRead;
  Keys echoedRead, echoedWrite;
};

class AuthorizationRequestSetTest : public AuthorizationTest,
                                    public ::testing::WithParamInterface<RequestSetCase> {};

TEST_P(AuthorizationRequestSetTest, AsksOnceForTheResolvedSets) {
  const RequestSetCase& c = GetParam();
  EXPECT_EQ(requestAuthorization(authorizeRequest("Native", c.readTypes, c.writeTypes)),
            (AuthorizationData{true, "authorized", c.echoedRead, c.echoedWrite, "Native"}));
  auto calls = store.authorizationCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].shareTypes, c.expectedShare);
  EXPECT_EQ(calls[0].readTypes, c.expectedRead);
}

const Keys kDefaults = health::readableTypes();

INSTANTIATE_TEST_SUITE_P(
    Sets, AuthorizationRequestSetTest,
    ::testing::Values(
        RequestSetCase{"BothAbsentAskForAllSeven", std::nullopt, std::nullopt, kAllSeven, kAllSeven, kDefaults,
                       kDefaults},
        RequestSetCase{"ReadAbsentWriteEmpty", std::nullopt, Keys{}, {}, kAllSeven, kDefaults, {}},
        RequestSetCase{"DuplicatesCountOnceButEchoVerbatim", Keys{"steps", "steps", "bogus"}, Keys{}, {}, {kSteps},
                       {"steps", "steps", "bogus"}, {}},
        RequestSetCase{"WrittenTypesAreAlsoRead", Keys{"steps"}, Keys{"weight"}, {kBodyMass}, {kBodyMass, kSteps},
                       {"steps"}, {"weight"}},
        RequestSetCase{"WriteOnly", Keys{}, Keys{"workout", "sleep", "Sleep"}, {kWorkout, kSleep}, {kWorkout, kSleep},
                       {}, {"workout", "sleep", "Sleep"}},
        RequestSetCase{"InBothLists", Keys{"sleep", "weight"}, Keys{"weight"}, {kBodyMass}, {kBodyMass, kSleep},
                       {"sleep", "weight"}, {"weight"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(AuthorizationTest, RefusalWithoutAnErrorIsDenied) {
  // The store's two ways of refusing: a sheet answered "Don't Allow", and a
  // callback with nothing in it.
  store.setAllAccess(Access::notDetermined);
  store.setUndecidedAuthorizationAnswer(false);
  EXPECT_EQ(requestAuthorization(authorizeRequest("native", Keys{"steps", "nope"}, std::nullopt)),
            (AuthorizationData{false, "denied", {"steps", "nope"}, kDefaults, "native"}));

  store.scriptNext(StoreCall::requestAuthorization, ScriptedReply{std::nullopt, false, true});
  EXPECT_EQ(requestAuthorization(authorizeRequest("native", std::nullopt, Keys{"weight"})),
            (AuthorizationData{false, "denied", kDefaults, {"weight"}, "native"}));
  EXPECT_EQ(store.authorizationCalls().size(), 2u);
}

TEST_F(AuthorizationTest, AnErrorWinsOverTheSuccessFlag) {
  for (bool successAlongside : {true, false}) {
    store.scriptNext(StoreCall::requestAuthorization,
                     ScriptedReply{health::HealthStoreError(health::HealthErrorCode::healthDataUnavailable,
                                                            "Health data is unavailable on this device."),
                                   successAlongside});
    try {
      requestAuthorization(authorizeRequest("native", Keys{"steps"}, Keys{}));
      ADD_FAILURE() << "no error";
    } catch (const health::HealthStoreError& error) {
      EXPECT_EQ(error.code(), 1);
      EXPECT_EQ(error.domain(), health::kHealthErrorDomain);
      EXPECT_STREQ(error.what(), "Health data is unavailable on this device.");
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
