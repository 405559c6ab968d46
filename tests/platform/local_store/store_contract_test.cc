// Behaviour every health store must show, run here against the local SQLite
// store and, from the native tests, against the native backend over the
// stand-in framework.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string_view>

#include "health/metric_catalogue.h"
#include "store_calls.h"
#include "store_factories.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::Instant;
using health::ObjectKind;
using health::ObjectType;
using health::Quantity;
using health::Sample;
using health::Unit;

const ObjectType kSteps{ObjectKind::quantity, std::string(health::kStepCountIdentifier)};
const ObjectType kHeartRate{ObjectKind::quantity, std::string(health::kHeartRateIdentifier)};
const ObjectType kBodyMass{ObjectKind::quantity, std::string(health::kBodyMassIdentifier)};
const ObjectType kSleep{ObjectKind::category, std::string(health::kSleepAnalysisIdentifier)};
const ObjectType kWorkout{ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)};

Unit beatsPerMinute() { return Unit::count().dividedBy(Unit::minute()); }

Sample heartRate(double value, Instant start, Instant end) {
  return health::makeQuantitySample(kHeartRate, Quantity(beatsPerMinute(), value), start, end);
}

Sample steps(double value, Instant start, Instant end) {
  return health::makeQuantitySample(kSteps, Quantity(Unit::count(), value), start, end);
}

Sample workout(Instant start, double duration, const std::string& syncIdentifier, double version) {
  return health::makeWorkout(kWorkout, static_cast<int>(health::WorkoutActivityType::running), start, start + duration,
                             duration, std::nullopt, std::nullopt,
                             {{std::string(health::kMetadataKeySyncIdentifier), syncIdentifier},
                              {std::string(health::kMetadataKeySyncVersion), version}});
}

// Heart-rate values of the samples, in the order delivered.
std::vector<double> values(const std::vector<Sample>& samples) {
  std::vector<double> out;
  for (const Sample& sample : samples) {
    if (const auto* quantity = sample.asQuantitySample()) out.push_back(quantity->quantity.doubleValueForUnit(
        sample.type == kSteps ? Unit::count() : beatsPerMinute()));
  }
  return out;
}

health::SampleQuery byStart(const ObjectType& type, bool descending, std::int64_t limit,
                            std::optional<health::SamplePredicate> predicate = std::nullopt) {
  return {type, std::move(predicate), limit, {{std::string(health::kSampleSortIdentifierStartDate), !descending}}};
}

template <class Factory>
class StoreContractTest : public ::testing::Test {
 protected:
  void authorizeAll() {
    for (const ObjectType& type : {kSteps, kHeartRate, kBodyMass, kSleep, kWorkout}) {
      factory.setAccess(type.identifier, Decision::authorized, Decision::authorized);
    }
  }
  std::vector<double> heartRates(health::SampleQuery query) {
    auto delivered = querySamples(factory.store(), std::move(query));
    EXPECT_FALSE(delivered.error) << delivered.error->what();
    return values(delivered.value.value_or(std::vector<Sample>{}));
  }
  Factory factory;
};

using Stores = ::testing::Types<LocalStoreFactory>;
class StoreNames {
 public:
  template <class T>
  static std::string GetName(int) {
    return "Local";
  }
};
#ifdef TARNWICK_CONTRACT_STORES
// Another test binary includes this file to hold its own stores to the same
// contract, naming them in these two macros.
TYPED_TEST_SUITE(StoreContractTest, TARNWICK_CONTRACT_STORES, TARNWICK_CONTRACT_STORE_NAMES);
#else
TYPED_TEST_SUITE(StoreContractTest, Stores, StoreNames);
#endif

TYPED_TEST(StoreContractTest, SortsByStartWithStableTiesAndLimits) {
  this->authorizeAll();
  // Values name the samples; 2 and 3 start together, 4 starts first but
  // ends last.
  this->factory.seed(heartRate(1, 10, 11), "Watch");
  this->factory.seed(heartRate(2, 20, 21), "Watch");
  this->factory.seed(heartRate(3, 20, 22), "Phone");
  this->factory.seed(heartRate(4, 5, 100), "Watch");
  struct Case {
    bool descending;
    std::int64_t limit;
    std::vector<double> expected;
  };
  for (const Case& c : std::vector<Case>{{false, 0, {4, 1, 2, 3}},
                                         {true, 0, {3, 2, 1, 4}},
                                         {true, 1, {3}},
                                         {false, 2, {4, 1}},
                                         {false, 10, {4, 1, 2, 3}}}) {
    SCOPED_TRACE(::testing::Message() << "descending " << c.descending << " limit " << c.limit);
    EXPECT_EQ(this->heartRates(byStart(kHeartRate, c.descending, c.limit)), c.expected);
  }
  EXPECT_TRUE(this->heartRates(byStart(kBodyMass, true, 1)).empty());
}

TYPED_TEST(StoreContractTest, AQuantityAtItsBoundIsRead) {
  this->authorizeAll();
  std::optional<Quantity> bound = health::findMetric("weight")->quantity->largest;
  this->factory.seed(health::makeQuantitySample(kBodyMass, *bound, 10, 10), "Scale");
  auto read = querySamples(this->factory.store(), byStart(kBodyMass, true, 0));
  ASSERT_TRUE(read.value) << read.error->what();
  ASSERT_EQ(read.value->size(), 1u);
  EXPECT_DOUBLE_EQ(read.value->front().asQuantitySample()->quantity.doubleValueForUnit(bound->unit()),
                   bound->value());
}

TYPED_TEST(StoreContractTest, PredicatesFollowThePlatformRules) {
  this->authorizeAll();
  this->factory.seed(heartRate(1, 0, 10), "Watch");
  this->factory.seed(heartRate(2, 10, 20), "Watch");
  this->factory.seed(heartRate(3, 20, 30), "Watch");
  using health::SamplePredicate;
  struct Case {
    const char* name;
    SamplePredicate predicate;
    std::vector<double> expected;
  };
  for (const Case& c : std::vector<Case>{
           {"overlap includes a sample ending at the start", {10.0, 20.0, health::kQueryOptionNone}, {1, 2}},
           {"strict start", {10.0, 20.0, health::kQueryOptionStrictStartDate}, {2}},
           {"strict end", {10.0, 20.0, health::kQueryOptionStrictEndDate}, {1}},
           {"strict start and end", {10.0, 30.0, 3u}, {2}},
           {"no start bound", {std::nullopt, 20.0, health::kQueryOptionNone}, {1, 2}},
           {"no end bound", {20.0, std::nullopt, health::kQueryOptionStrictStartDate}, {3}},
           {"no bounds", {std::nullopt, std::nullopt, health::kQueryOptionNone}, {1, 2, 3}},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(this->heartRates(byStart(kHeartRate, false, 0, c.predicate)), c.expected);
  }
}

TYPED_TEST(StoreContractTest, SumsStepsOverTheWindowAndReportsNoData) {
  this->authorizeAll();
  this->factory.seed(steps(10, 0, 100), "Watch");
  this->factory.seed(steps(20, 100, 200), "Watch");
  this->factory.seed(steps(5, 50, 150), "Phone");
  auto sum = [&](std::optional<health::SamplePredicate> predicate) {
    return queryStatistics(this->factory.store(), {kSteps, predicate, health::kStatisticsOptionCumulativeSum});
  };
  auto strict = sum(health::SamplePredicate{100.0, 300.0, health::kQueryOptionStrictStartDate});
  ASSERT_FALSE(strict.error) << strict.error->what();
  ASSERT_TRUE(strict.value && strict.value->sumQuantity);
  EXPECT_DOUBLE_EQ(strict.value->sumQuantity->doubleValueForUnit(Unit::count()), 20);
  // The phone's walk lies inside the watch's hours: the watch wrote first,
  // so its samples win.
  auto everything = sum(std::nullopt);
  ASSERT_TRUE(everything.value && everything.value->sumQuantity);
  EXPECT_DOUBLE_EQ(everything.value->sumQuantity->doubleValueForUnit(Unit::count()), 30);

  auto empty = sum(health::SamplePredicate{500.0, 600.0, health::kQueryOptionStrictStartDate});
  EXPECT_FALSE(empty.value);
  ASSERT_TRUE(empty.error);
  EXPECT_TRUE(empty.error->is(HealthErrorCode::noData));
  EXPECT_STREQ(empty.error->what(), "No data available for the specified predicate.");

  // Summing a discrete type is a programming error on the platform.
  auto discrete = queryStatistics(this->factory.store(), {kHeartRate, std::nullopt, health::kStatisticsOptionCumulativeSum});
  ASSERT_TRUE(discrete.error);
  EXPECT_TRUE(discrete.error->is(HealthErrorCode::invalidArgument));
}

TYPED_TEST(StoreContractTest, StepSumsMergeOverlappingSourcesByPriority) {
  this->authorizeAll();
  struct Seed {
    const char* source;
    double value;
    Instant start;
    Instant end;
  };
  struct Case {
    const char* name;
    std::vector<Seed> seeds;  // sources rank in the order they first appear
    std::vector<std::string> preferred;
    double expected;
  };
  // Source names are unique to each case, so that cases never share a rank.
  std::vector<Case> cases{
      {"a lower source inside a higher one adds nothing", {{"A1", 100, 0, 100}, {"B1", 50, 25, 75}}, {}, 100},
      {"partial overlap counts the uncovered share", {{"A2", 100, 0, 100}, {"B2", 60, 50, 110}}, {}, 110},
      {"a lower source fills a gap", {{"A3", 10, 0, 10}, {"A3", 10, 20, 30}, {"B3", 30, 0, 30}}, {}, 30},
      {"three sources, each covered by all above it",
       {{"A4", 10, 0, 10}, {"B4", 20, 0, 20}, {"C4", 30, 0, 30}}, {}, 30},
      {"samples of one source never hide each other", {{"A5", 10, 0, 10}, {"A5", 10, 5, 15}}, {}, 20},
      {"an instant counts unless a higher sample holds it",
       {{"A6", 10, 0, 10}, {"B6", 5, 5, 5}, {"B6", 7, 10, 10}}, {}, 17},
      {"an instant hides nothing", {{"A7", 5, 5, 5}, {"B7", 10, 0, 10}}, {}, 15},
      {"an instant at the start of a higher sample is held by it", {{"A11", 10, 0, 10}, {"B11", 5, 0, 0}}, {}, 10},
      {"a sample starting before the window neither counts nor hides",
       {{"A8", 100, -50, 50}, {"B8", 60, 0, 60}}, {}, 60},
      {"a preferred source wins", {{"A9", 100, 0, 100}, {"B9", 80, 0, 50}}, {"B9"}, 130},
      {"preferring reorders three sources",
       {{"A10", 10, 0, 10}, {"B10", 20, 0, 20}, {"C10", 40, 10, 20}}, {"C10", "A10"}, 50},
  };
  Instant base = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    base += 1000;
    for (const Seed& seed : c.seeds) this->factory.seed(steps(seed.value, base + seed.start, base + seed.end), seed.source);
    if (!c.preferred.empty()) this->factory.prefer(c.preferred);
    auto sum = queryStatistics(this->factory.store(),
                               {kSteps, health::SamplePredicate{base, base + 500, health::kQueryOptionStrictStartDate},
                                health::kStatisticsOptionCumulativeSum});
    ASSERT_FALSE(sum.error) << sum.error->what();
    ASSERT_TRUE(sum.value && sum.value->sumQuantity);
    EXPECT_DOUBLE_EQ(sum.value->sumQuantity->doubleValueForUnit(Unit::count()), c.expected);
  }
}

TYPED_TEST(StoreContractTest, ReadAccessDecidesWhatAQueryShows) {
  this->factory.seed(heartRate(60, 10, 10), "Watch");
  this->factory.seed(heartRate(70, 20, 20), std::string(health::kBridgeSourceName));
  this->factory.seed(steps(100, 10, 20), "Watch");
  // The same hours as the watch's: hidden by it when the watch is visible.
  this->factory.seed(steps(7, 10, 20), std::string(health::kBridgeSourceName));
  struct Case {
    Decision read;
    std::vector<double> heartRates;  // empty with an error
    std::optional<double> stepSum;
  };
  for (const Case& c : std::vector<Case>{{Decision::notDetermined, {}, std::nullopt},
                                         {Decision::denied, {70}, 7},
                                         {Decision::authorized, {60, 70}, 100}}) {
    SCOPED_TRACE(static_cast<int>(c.read));
    this->factory.setAccess(kHeartRate.identifier, c.read, Decision::authorized);
    this->factory.setAccess(kSteps.identifier, c.read, Decision::authorized);
    auto samples = querySamples(this->factory.store(), byStart(kHeartRate, false, 0));
    auto sum = queryStatistics(this->factory.store(), {kSteps, std::nullopt, health::kStatisticsOptionCumulativeSum});
    if (c.read == Decision::notDetermined) {
      ASSERT_TRUE(samples.error && sum.error);
      EXPECT_TRUE(samples.error->is(HealthErrorCode::authorizationNotDetermined));
      EXPECT_TRUE(std::string_view(samples.error->what()).starts_with("Authorization not determined"))
          << samples.error->what();
      EXPECT_TRUE(sum.error->is(HealthErrorCode::authorizationNotDetermined));
      continue;
    }
    ASSERT_FALSE(samples.error);
    EXPECT_EQ(values(*samples.value), c.heartRates);
    ASSERT_TRUE(sum.value && sum.value->sumQuantity);
    EXPECT_DOUBLE_EQ(sum.value->sumQuantity->doubleValueForUnit(Unit::count()), *c.stepSum);
  }
}

TYPED_TEST(StoreContractTest, SavesAllObjectsUnderTheBridgeSource) {
  this->authorizeAll();
  std::optional<Unit> pound = Unit::fromString("lb");
  ASSERT_TRUE(pound);
  auto saved = save(this->factory.store(),
                    {health::makeQuantitySample(kBodyMass, Quantity(*pound, 150), 100, 100),
                     health::makeCategorySample(kSleep, static_cast<int>(health::SleepAnalysis::asleepUnspecified), 0, 50)});
  ASSERT_FALSE(saved.error) << saved.error->what();
  EXPECT_TRUE(*saved.value);
  std::vector<Sample> stored = this->factory.stored();
  ASSERT_EQ(stored.size(), 2u);
  for (const Sample& sample : stored) EXPECT_EQ(sample.sourceName, health::kBridgeSourceName);
  auto weights = querySamples(this->factory.store(), byStart(kBodyMass, true, 1));
  ASSERT_TRUE(weights.value && weights.value->size() == 1);
  EXPECT_NEAR((*weights.value)[0].asQuantitySample()->quantity.doubleValueForUnit(*pound), 150, 1e-9);
}

TYPED_TEST(StoreContractTest, RefusedSavesWriteNothing) {
  this->authorizeAll();
  this->factory.seed(steps(1, 0, 1), "Watch");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  Sample valid = heartRate(70, 10, 10);
  struct Case {
    const char* name;
    Sample object;
    HealthErrorCode code;
  };
  Sample noVersion = workout(0, 60, "run-1", 1);
  noVersion.metadata.erase(std::string(health::kMetadataKeySyncVersion));
  std::vector<Case> cases{
      {"end before start", heartRate(70, 20, 10), HealthErrorCode::invalidArgument},
      {"value not a number", heartRate(nan, 10, 10), HealthErrorCode::invalidArgument},
      {"infinite value", steps(infinity, 10, 10), HealthErrorCode::invalidArgument},
      {"infinite date", heartRate(70, 10, infinity), HealthErrorCode::invalidArgument},
      {"mass unit on steps", health::makeQuantitySample(kSteps, Quantity(Unit::gram(), 5), 10, 10),
       HealthErrorCode::invalidArgument},
      {"sleep value out of range", health::makeCategorySample(kSleep, 9, 0, 10), HealthErrorCode::invalidArgument},
      {"sync identifier without version", noVersion, HealthErrorCode::invalidArgument},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto saved = save(this->factory.store(), {valid, c.object});
    ASSERT_TRUE(saved.error);
    EXPECT_TRUE(saved.error->is(c.code)) << saved.error->code() << " " << saved.error->what();
  }
  struct AccessCase {
    Decision share;
    HealthErrorCode code;
    const char* message;
  };
  for (const AccessCase& c : std::vector<AccessCase>{
           {Decision::denied, HealthErrorCode::authorizationDenied, "Not authorized"},
           {Decision::notDetermined, HealthErrorCode::authorizationNotDetermined, "Authorization not determined"}}) {
    SCOPED_TRACE(c.message);
    this->factory.setAccess(kSleep.identifier, Decision::authorized, c.share);
    auto saved = save(this->factory.store(), {valid, health::makeCategorySample(kSleep, 1, 0, 10)});
    ASSERT_TRUE(saved.error);
    EXPECT_TRUE(saved.error->is(c.code));
    // The platform's words come first; a store may say more after them.
    EXPECT_TRUE(std::string_view(saved.error->what()).starts_with(c.message)) << saved.error->what();
  }
  // Denied wins over undecided when both occur in one save.
  this->factory.setAccess(kHeartRate.identifier, Decision::authorized, Decision::denied);
  auto mixed = save(this->factory.store(), {valid, health::makeCategorySample(kSleep, 1, 0, 10)});
  ASSERT_TRUE(mixed.error);
  EXPECT_TRUE(mixed.error->is(HealthErrorCode::authorizationDenied));
  EXPECT_EQ(this->factory.stored().size(), 1u);
}

TYPED_TEST(StoreContractTest, SyncIdentifiersKeepOneSamplePerIdentifier) {
  this->authorizeAll();
  auto durations = [&] {
    std::vector<double> found;
    for (const Sample& sample : this->factory.stored()) found.push_back(sample.asWorkout()->duration);
    return found;
  };
  struct Step {
    double duration;
    double version;
    std::vector<double> expected;
  };
  for (const Step& step : std::vector<Step>{{600, 1, {600}},
                                            {700, 1, {600}},   // same version: the stored one stays
                                            {800, 2, {800}},   // greater: replaces
                                            {900, 1, {800}}}) {  // smaller: ignored
    SCOPED_TRACE(step.duration);
    auto saved = save(this->factory.store(), {workout(0, step.duration, "run-1", step.version)});
    ASSERT_FALSE(saved.error) << saved.error->what();
    EXPECT_EQ(durations(), step.expected);
  }
  ASSERT_FALSE(save(this->factory.store(), {workout(0, 300, "run-2", 1)}).error);
  EXPECT_EQ(durations(), (std::vector<double>{800, 300}));
}

TYPED_TEST(StoreContractTest, PermissionRequestsThatNeedNoSheet) {
  this->authorizeAll();
  auto decided = authorize(this->factory.store(), {kSteps}, {kSteps, kHeartRate});
  ASSERT_FALSE(decided.error) << decided.error->what();
  EXPECT_TRUE(*decided.value);

  auto empty = authorize(this->factory.store(), {}, {});
  ASSERT_TRUE(empty.error);
  EXPECT_TRUE(empty.error->is(HealthErrorCode::invalidArgument));
}

}  // namespace
}  // namespace tarnwick::testing
