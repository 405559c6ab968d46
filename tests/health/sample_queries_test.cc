#include "health/sample_queries.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "health/health_store.h"
#include "health_test_helpers.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using health::Instant;
using health::Sample;

std::vector<Instant> startsOf(const std::vector<Sample>& samples) {
  std::vector<Instant> starts;
  for (const Sample& sample : samples) starts.push_back(sample.startDate);
  return starts;
}

health::ObjectType heartRateType() { return quantityTypeNamed(health::kHeartRateIdentifier); }
health::ObjectType stepType() { return quantityTypeNamed(health::kStepCountIdentifier); }

// A store whose statistics query answers with whatever the test set, on a
// thread of its own; the fake always computes a sum, this one need not.
class ScriptedStatisticsStore final : public health::HealthStore {
 public:
  std::optional<health::Statistics> statistics;
  std::optional<HealthStoreError> error;

  ~ScriptedStatisticsStore() override {
    for (std::thread& thread : threads_) thread.join();
  }
  std::optional<health::ObjectType> quantityTypeForIdentifier(std::string_view) override { return std::nullopt; }
  std::optional<health::ObjectType> categoryTypeForIdentifier(std::string_view) override { return std::nullopt; }
  health::ObjectType workoutType() override { return testing::workoutType(); }
  std::optional<health::Unit> unitFromString(std::string_view) override { return std::nullopt; }
  void executeSampleQuery(health::SampleQuery, health::SampleQueryHandler handler) override {
    threads_.emplace_back([handler] { handler(std::nullopt, std::nullopt); });
  }
  void executeStatisticsQuery(health::StatisticsQuery, health::StatisticsHandler handler) override {
    threads_.emplace_back([this, handler] { handler(statistics, error); });
  }
  void requestAuthorization(std::set<health::ObjectType>, std::set<health::ObjectType>,
                            health::CompletionHandler handler) override {
    threads_.emplace_back([handler] { handler(false, std::nullopt); });
  }
  void saveObjects(std::vector<Sample>, health::CompletionHandler handler) override {
    threads_.emplace_back([handler] { handler(false, std::nullopt); });
  }

 private:
  std::vector<std::thread> threads_;
};

// ---- Sample query ----------------------------------------------------------

TEST(SampleQuery, SortsOnStartAndHonoursTheLimit) {
  FakeHealthStore store;
  store.addSample(heartRate(60, 2000, 2100));
  store.addSample(heartRate(61, 1000, 1100));
  store.addSample(heartRate(62, 3000, 3100));
  struct Case {
    std::int64_t limit;
    bool descending;
    std::vector<Instant> starts;
  };
  const std::vector<Case> cases = {
      {0, true, {3000, 2000, 1000}},
      {0, false, {1000, 2000, 3000}},
      {1, true, {3000}},
      {1, false, {1000}},
      {2, true, {3000, 2000}},
      {5, false, {1000, 2000, 3000}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(startsOf(health::sampleQueryResults(store, heartRateType(), c.limit, c.descending)), c.starts)
        << "limit " << c.limit << (c.descending ? " descending" : " ascending");
  }
}

TEST(SampleQuery, AsksForEverySampleWithOneSortOnStartDate) {
  FakeHealthStore store;
  health::sampleQueryResults(store, heartRateType(), 1, true);
  health::sampleQueryResults(store, heartRateType(), 0, false);
  auto queries = store.sampleQueries();
  ASSERT_EQ(queries.size(), 2u);
  for (std::size_t i = 0; i < queries.size(); ++i) {
    EXPECT_FALSE(queries[i].predicate);
    EXPECT_EQ(queries[i].sampleType.identifier, health::kHeartRateIdentifier);
    ASSERT_EQ(queries[i].sortDescriptors.size(), 1u);
    EXPECT_EQ(queries[i].sortDescriptors[0].key, health::kSampleSortIdentifierStartDate);
    EXPECT_EQ(queries[i].sortDescriptors[0].ascending, i == 1);
  }
  EXPECT_EQ(queries[0].limit, 1);
  EXPECT_EQ(queries[1].limit, health::kObjectQueryNoLimit);
}

TEST(SampleQuery, NewestByStartEvenWhenAnotherEndsLater) {
  FakeHealthStore store;
  store.addSample(heartRate(70, 1000, 9000));
  store.addSample(heartRate(71, 2000, 2001));
  auto newest = health::sampleQueryResults(store, heartRateType(), 1, true);
  EXPECT_EQ(startsOf(newest), std::vector<Instant>{2000});
}

TEST(SampleQuery, NoDateWindowHowEverOldTheNewestIs) {
  FakeHealthStore store;
  FixedClock clock(kNoon);
  const Instant longAgo = 946684800;  // 2000-01-01
  store.addSample(heartRate(80, longAgo, longAgo + 60));
  EXPECT_EQ(startsOf(health::sampleQueryResults(store, heartRateType(), 1, true)), std::vector<Instant>{longAgo});
}

TEST(SampleQuery, NothingThereIsAnEmptyList) {
  FakeHealthStore store;
  EXPECT_TRUE(health::sampleQueryResults(store, heartRateType(), 1, true).empty());

  store.addSample(heartRate(60, 1000, 1100));
  store.scriptNext(StoreCall::sampleQuery, ScriptedReply{std::nullopt, false, true});
  EXPECT_TRUE(health::sampleQueryResults(store, heartRateType(), 0, true).empty());
}

TEST(SampleQuery, AnErrorWinsOverDataDeliveredWithIt) {
  for (bool alsoDeliverData : {false, true}) {
    FakeHealthStore store;
    store.addSample(heartRate(60, 1000, 1100));
    store.scriptNext(StoreCall::sampleQuery,
                     ScriptedReply{HealthStoreError(HealthErrorCode::databaseInaccessible, "Store is locked."),
                                   alsoDeliverData, false});
    try {
      health::sampleQueryResults(store, heartRateType(), 1, true);
      ADD_FAILURE() << "no error, alsoDeliverData " << alsoDeliverData;
    } catch (const HealthStoreError& error) {
      EXPECT_EQ(error.code(), 6);
      EXPECT_STREQ(error.what(), "Store is locked.");
    }
  }
}

// ---- Step statistics -------------------------------------------------------

TEST(StepStatistics, StrictStartWindowEndingNow) {
  FakeHealthStore store;
  FixedClock clock(kNoon);
  const Instant since = kNoon - 10 * kHour;
  store.addSample(steps(500, since - 60, since + 60));  // starts before the window: not counted
  store.addSample(steps(1200, since, since + 600));      // starts exactly at the window start
  store.addSample(steps(300, kNoon - 60, kNoon - 1));
  store.addSample(steps(9999, kNoon, kNoon + 60));       // starts at the end: outside
  EXPECT_DOUBLE_EQ(health::cumulativeStepCount(store, stepType(), since), 1500);

  auto queries = store.statisticsQueries();
  ASSERT_EQ(queries.size(), 1u);
  ASSERT_TRUE(queries[0].predicate);
  EXPECT_EQ(queries[0].predicate->startDate, since);
  EXPECT_EQ(queries[0].predicate->endDate, kNoon);
  EXPECT_EQ(queries[0].predicate->options, health::kQueryOptionStrictStartDate);
  EXPECT_EQ(queries[0].options, health::kStatisticsOptionCumulativeSum);
  EXPECT_EQ(queries[0].quantityType.identifier, health::kStepCountIdentifier);
}

TEST(StepStatistics, EmptyWindowIsZeroNotTheStoresNoDataError) {
  FakeHealthStore store;
  FixedClock clock(kNoon);
  store.addSample(steps(500, kNoon - 100 * kHour, kNoon - 99 * kHour));
  EXPECT_EQ(health::cumulativeStepCount(store, stepType(), kNoon - kHour), 0);
}

TEST(StepStatistics, NoDataWithDataDeliveredIsStillZero) {
  FakeHealthStore store;
  FixedClock clock(kNoon);
  store.addSample(steps(500, kNoon - 60, kNoon - 1));
  store.scriptNext(StoreCall::statisticsQuery,
                   ScriptedReply{HealthStoreError(HealthErrorCode::noData, "No data available for the specified predicate."),
                                 true, false});
  EXPECT_EQ(health::cumulativeStepCount(store, stepType(), kNoon - kHour), 0);
}

TEST(StepStatistics, MissingStatisticsOrSumIsZero) {
  FixedClock clock(kNoon);
  {
    ScriptedStatisticsStore store;
    EXPECT_EQ(health::cumulativeStepCount(store, stepType(), 0), 0);
  }
  {
    ScriptedStatisticsStore store;
    store.statistics = health::Statistics{stepType(), 0.0, kNoon, std::nullopt};
    EXPECT_EQ(health::cumulativeStepCount(store, stepType(), 0), 0);
  }
  {
    ScriptedStatisticsStore store;
    store.statistics = health::Statistics{stepType(), 0.0, kNoon, health::Quantity(health::Unit::count(), 4321)};
    EXPECT_EQ(health::cumulativeStepCount(store, stepType(), 0), 4321);
  }
}

TEST(StepStatistics, OtherErrorsPassUnchanged) {
  const std::vector<HealthStoreError> errors = {
      HealthStoreError(HealthErrorCode::authorizationNotDetermined, "Authorization not determined"),
      HealthStoreError(HealthErrorCode::databaseInaccessible, "Protected health data is inaccessible"),
      // The "no data" code of some other domain is not the store's "no data".
      HealthStoreError("com.example.elsewhere", 11, "Something else entirely."),
  };
  for (const HealthStoreError& scripted : errors) {
    FixedClock clock(kNoon);
    ScriptedStatisticsStore store;
    store.error = scripted;
    store.statistics = health::Statistics{stepType(), 0.0, kNoon, health::Quantity(health::Unit::count(), 10)};
    try {
      health::cumulativeStepCount(store, stepType(), 0);
      ADD_FAILURE() << "no error for " << scripted.what();
    } catch (const HealthStoreError& error) {
      EXPECT_EQ(error.domain(), scripted.domain());
      EXPECT_EQ(error.code(), scripted.code());
      EXPECT_STREQ(error.what(), scripted.what());
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
