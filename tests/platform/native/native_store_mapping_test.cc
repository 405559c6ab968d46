// What the native backend adds on top of any store: arguments reach the
// store underneath unchanged, the store's answers come back unchanged
// (errors keep domain, code and text), quantities come back in the unit the
// bridge reads each type in, and what the framework would raise for becomes
// an invalid-argument error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "native_store_factories.h"
#include "platform/local_store/store_calls.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using health::ObjectKind;
using health::ObjectType;
using health::Quantity;
using health::Sample;
using health::Unit;

const ObjectType kSteps{ObjectKind::quantity, std::string(health::kStepCountIdentifier)};
const ObjectType kHeartRate{ObjectKind::quantity, std::string(health::kHeartRateIdentifier)};
const ObjectType kVariability{ObjectKind::quantity, std::string(health::kHeartRateVariabilityIdentifier)};
const ObjectType kBodyMass{ObjectKind::quantity, std::string(health::kBodyMassIdentifier)};
const ObjectType kGlucose{ObjectKind::quantity, std::string(health::kBloodGlucoseIdentifier)};
const ObjectType kSleep{ObjectKind::category, std::string(health::kSleepAnalysisIdentifier)};
const ObjectType kWorkout{ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)};
const ObjectType kUnknown{ObjectKind::quantity, "HKQuantityTypeIdentifierNoSuchThing"};

Unit unit(const char* text) { return *Unit::fromString(text); }

Sample syncedWorkout() {
  return health::makeWorkout(kWorkout, static_cast<int>(health::WorkoutActivityType::running), 1000, 2800, 1800,
                             std::nullopt, std::nullopt,
                             {{std::string(health::kMetadataKeyIndoorWorkout), true},
                              {std::string(health::kMetadataKeySyncIdentifier), std::string("run-7")},
                              {std::string(health::kMetadataKeySyncVersion), 1.0}});
}

class NativeMappingTest : public ::testing::Test {
 protected:
  FakeHealthStore& fake() { return stores.underneath().storeFake(); }
  health::HealthStore& native() { return stores.store(); }

  struct FakeAccess : FakeStoreFactory {
    FakeHealthStore& storeFake() { return static_cast<FakeHealthStore&>(store()); }
  };
  NativeOver<FakeAccess> stores;
};

TEST_F(NativeMappingTest, QueriesReachTheStoreUnchanged) {
  health::SampleQuery query{kHeartRate,
                            health::SamplePredicate{10.0, 20.0, 3u},
                            7,
                            {{std::string(health::kSampleSortIdentifierStartDate), false},
                             {std::string(health::kSampleSortIdentifierEndDate), true}}};
  ASSERT_FALSE(querySamples(native(), query).error);
  ASSERT_EQ(fake().sampleQueries().size(), 1u);
  const health::SampleQuery received = fake().sampleQueries()[0];
  EXPECT_EQ(received.sampleType, kHeartRate);
  EXPECT_EQ(received.sampleType.kind, ObjectKind::quantity);
  EXPECT_EQ(received.limit, 7);
  ASSERT_TRUE(received.predicate);
  EXPECT_EQ(received.predicate->startDate, 10.0);
  EXPECT_EQ(received.predicate->endDate, 20.0);
  EXPECT_EQ(received.predicate->options, 3u);
  ASSERT_EQ(received.sortDescriptors.size(), 2u);
  EXPECT_EQ(received.sortDescriptors[0].key, "startDate");
  EXPECT_FALSE(received.sortDescriptors[0].ascending);
  EXPECT_EQ(received.sortDescriptors[1].key, "endDate");
  EXPECT_TRUE(received.sortDescriptors[1].ascending);

  // No predicate stays no predicate; an open bound stays open.
  ASSERT_FALSE(querySamples(native(), {kSleep, std::nullopt, 0, {}}).error);
  EXPECT_FALSE(fake().sampleQueries()[1].predicate);
  EXPECT_EQ(fake().sampleQueries()[1].sampleType.kind, ObjectKind::category);
  queryStatistics(native(), {kSteps, health::SamplePredicate{std::nullopt, 50.0, 1u},
                             health::kStatisticsOptionCumulativeSum});
  ASSERT_EQ(fake().statisticsQueries().size(), 1u);
  const health::StatisticsQuery statistics = fake().statisticsQueries()[0];
  EXPECT_EQ(statistics.quantityType, kSteps);
  EXPECT_EQ(statistics.options, static_cast<unsigned>(health::kStatisticsOptionCumulativeSum));
  ASSERT_TRUE(statistics.predicate);
  EXPECT_FALSE(statistics.predicate->startDate);
  EXPECT_EQ(statistics.predicate->endDate, 50.0);
}

TEST_F(NativeMappingTest, StoreErrorsArriveWithDomainCodeAndTextUnchanged) {
  const HealthStoreError errors[] = {
      HealthStoreError(HealthErrorCode::databaseInaccessible, "Protected health data is inaccessible"),
      HealthStoreError("NSCocoaErrorDomain", 4097, "Couldn\xE2\x80\x99t communicate with a helper application."),
  };
  for (const HealthStoreError& error : errors) {
    for (StoreCall call : {StoreCall::sampleQuery, StoreCall::statisticsQuery, StoreCall::requestAuthorization,
                           StoreCall::saveObjects}) {
      SCOPED_TRACE(::testing::Message() << error.domain() << " call " << static_cast<int>(call));
      fake().scriptNext(call, {error, /*alsoDeliverData=*/true, false});
      std::optional<HealthStoreError> delivered;
      auto keep = [&](const auto& answer) { delivered = answer.error; };
      switch (call) {
        case StoreCall::sampleQuery: keep(querySamples(native(), {kHeartRate, std::nullopt, 0, {}})); break;
        case StoreCall::statisticsQuery:
          keep(queryStatistics(native(), {kSteps, std::nullopt, health::kStatisticsOptionCumulativeSum}));
          break;
        case StoreCall::requestAuthorization: keep(authorize(native(), {kSteps}, {kSteps})); break;
        case StoreCall::saveObjects: keep(save(native(), {syncedWorkout()})); break;
      }
      ASSERT_TRUE(delivered);
      EXPECT_EQ(delivered->domain(), error.domain());
      EXPECT_EQ(delivered->code(), error.code());
      EXPECT_STREQ(delivered->what(), error.what());
    }
  }
}

TEST_F(NativeMappingTest, NothingDeliveredStaysNothing) {
  fake().scriptNext(StoreCall::sampleQuery, {std::nullopt, false, /*deliverNothing=*/true});
  auto samples = querySamples(native(), {kHeartRate, std::nullopt, 0, {}});
  EXPECT_EQ(samples.value, std::vector<Sample>{});
  fake().scriptNext(StoreCall::statisticsQuery, {std::nullopt, false, true});
  auto statistics = queryStatistics(native(), {kSteps, std::nullopt, health::kStatisticsOptionCumulativeSum});
  EXPECT_FALSE(statistics.value);
  EXPECT_FALSE(statistics.error);
  fake().scriptNext(StoreCall::saveObjects, {std::nullopt, false, true});
  auto saved = save(native(), {syncedWorkout()});
  EXPECT_EQ(saved.value, false);
}

TEST_F(NativeMappingTest, QuantitiesComeBackInTheUnitEachTypeIsReadIn) {
  struct Case {
    ObjectType type;
    Quantity stored;
    const char* readIn;
    double expected;
  };
  const Case cases[] = {
      {kSteps, Quantity(unit("count"), 1234), "count", 1234},
      {kHeartRate, Quantity(unit("count/s"), 1), "count/min", 60},
      {kVariability, Quantity(unit("s"), 0.045), "ms", 45},
      {kBodyMass, Quantity(unit("lb"), 150), "kg", 68.0388555},
      {kGlucose, Quantity(unit("mmol<180.15588000005408>/L"), 5.5), "mg/dL", 99.08573400003},
  };
  health::Instant start = 100;
  for (const Case& c : cases) stores.seed(health::makeQuantitySample(c.type, c.stored, start, start), "Scale");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.identifier);
    auto read = querySamples(native(), {c.type, std::nullopt, 1, {}});
    ASSERT_TRUE(read.value && read.value->size() == 1u);
    const Sample& sample = read.value->front();
    ASSERT_TRUE(sample.asQuantitySample());
    EXPECT_EQ(sample.asQuantitySample()->quantity.unit(), unit(c.readIn));
    EXPECT_NEAR(sample.asQuantitySample()->quantity.value(), c.expected, 1e-9 * c.expected);
    EXPECT_EQ(sample.sourceName, "Scale");
  }
}

TEST_F(NativeMappingTest, WorkoutsAndSleepSurviveTheRoundTripWithTheirMetadata) {
  Sample sleep = health::makeCategorySample(kSleep, static_cast<int>(health::SleepAnalysis::asleepREM), 50, 400);
  sleep.metadata = {{"HKTimeZone", std::string("Europe/Oslo")}};
  ASSERT_FALSE(save(native(), {syncedWorkout(), sleep}).error);

  // What the store was handed is what the caller built.
  ASSERT_EQ(fake().saves().size(), 1u);
  const std::vector<Sample> handed = fake().saves()[0];
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[0], syncedWorkout());
  EXPECT_EQ(handed[1], sleep);

  // And what comes back out is the same again, with the store's source.
  auto workouts = querySamples(native(), {kWorkout, std::nullopt, 0, {}});
  ASSERT_TRUE(workouts.value && workouts.value->size() == 1u);
  Sample workout = workouts.value->front();
  EXPECT_EQ(workout.sourceName, health::kBridgeSourceName);
  workout.sourceName.clear();
  EXPECT_EQ(workout, syncedWorkout());
  auto sleeps = querySamples(native(), {kSleep, std::nullopt, 0, {}});
  ASSERT_TRUE(sleeps.value && sleeps.value->size() == 1u);
  EXPECT_EQ(sleeps.value->front().asCategorySample()->value, static_cast<int>(health::SleepAnalysis::asleepREM));
  EXPECT_EQ(sleeps.value->front().metadata, sleep.metadata);
}

TEST_F(NativeMappingTest, WhatTheFrameworkWouldRaiseForIsAnInvalidArgumentAndNeverReachesTheStore) {
  struct Case {
    const char* name;
    std::vector<Sample> objects;
  };
  const Case cases[] = {
      {"end before start", {health::makeQuantitySample(kHeartRate, Quantity(unit("count/min"), 60), 20, 10)}},
      {"mass unit on steps", {health::makeQuantitySample(kSteps, Quantity(unit("g"), 5), 10, 10)}},
      {"workout ending before it starts",
       {health::makeWorkout(kWorkout, 37, 100, 50, 1, std::nullopt, std::nullopt, {})}},
      {"energy that is not an energy",
       {health::makeWorkout(kWorkout, 37, 0, 60, 60, Quantity(unit("m"), 5), std::nullopt, {})}},
      {"type the framework does not know", {health::makeQuantitySample(kUnknown, Quantity(unit("count"), 90), 0, 0)}},
      {"a good sample beside a bad one",
       {syncedWorkout(), health::makeQuantitySample(kSteps, Quantity(unit("kg"), 1), 0, 0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto saved = save(native(), c.objects);
    ASSERT_TRUE(saved.error);
    EXPECT_TRUE(saved.error->is(HealthErrorCode::invalidArgument)) << saved.error->what();
  }
  EXPECT_TRUE(fake().saves().empty());

  auto empty = authorize(native(), {}, {});
  ASSERT_TRUE(empty.error);
  EXPECT_TRUE(empty.error->is(HealthErrorCode::invalidArgument));
  auto unknown = authorize(native(), {}, {kUnknown});
  ASSERT_TRUE(unknown.error);
  EXPECT_TRUE(unknown.error->is(HealthErrorCode::invalidArgument));
  EXPECT_TRUE(fake().authorizationCalls().empty());

  auto negative = querySamples(native(), {kHeartRate, std::nullopt, -1, {}});
  ASSERT_TRUE(negative.error);
  EXPECT_TRUE(negative.error->is(HealthErrorCode::invalidArgument));
  auto forgotten = queryStatistics(native(), {kUnknown, std::nullopt, health::kStatisticsOptionCumulativeSum});
  ASSERT_TRUE(forgotten.error);
  EXPECT_TRUE(forgotten.error->is(HealthErrorCode::invalidArgument));
  EXPECT_TRUE(fake().sampleQueries().empty());
  EXPECT_TRUE(fake().statisticsQueries().empty());
}

}  // namespace
}  // namespace tarnwick::testing
