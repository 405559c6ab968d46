#include "health/sample_queries.h"

#include <gtest/gtest.h>

#include <vector>

#include "health_test_helpers.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using health::Instant;

std::vector<Instant> startsOf(const std::vector<health::Sample>& samples) {
  std::vector<Instant> starts;
  for (const health::Sample& sample : samples) starts.push_back(sample.startDate);
  return starts;
}

const health::ObjectType kHeartRate = quantityTypeNamed(health::kHeartRateIdentifier);
const health::ObjectType kSteps = quantityTypeNamed(health::kStepCountIdentifier);

TEST(SampleQuery, SortsOnStartOnlyAndHonoursTheLimit) {
  FakeHealthStore store;
  store.addSample(heartRate(60, 2000, 2100));
  store.addSample(heartRate(61, 1000, 9000));  // ends last, starts first
  store.addSample(heartRate(62, 3000, 3100));
  struct Case {
    std::int64_t limit;
    bool descending;
    std::vector<Instant> starts;
  };
  const std::vector<Case> cases = {
      {0, true, {3000, 2000, 1000}}, {0, false, {1000, 2000, 3000}}, {1, true, {3000}},
      {1, false, {1000}},            {2, true, {3000, 2000}},        {5, false, {1000, 2000, 3000}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(startsOf(health::sampleQueryResults(store, kHeartRate, c.limit, c.descending)), c.starts)
        << "limit " << c.limit << (c.descending ? " descending" : " ascending");
  }
  // Never a date window, whatever the caller reads the result for.
  for (const health::SampleQuery& query : store.sampleQueries()) {
    EXPECT_FALSE(query.predicate);
    ASSERT_EQ(query.sortDescriptors.size(), 1u);
    EXPECT_EQ(query.sortDescriptors[0].key, health::kSampleSortIdentifierStartDate);
  }
}

TEST(SampleQuery, NewestIsReturnedHowEverOld) {
  FakeHealthStore store;
  const Instant longAgo = 946684800;  // 2000-01-01
  store.addSample(heartRate(80, longAgo, longAgo + 60));
  EXPECT_EQ(startsOf(health::sampleQueryResults(store, kHeartRate, 1, true)), std::vector<Instant>{longAgo});
}

TEST(SampleQuery, NothingThereIsAnEmptyList) {
  FakeHealthStore store;
  EXPECT_TRUE(health::sampleQueryResults(store, kHeartRate, 1, true).empty());
  store.addSample(heartRate(60, 1000, 1100));
  store.scriptNext(StoreCall::sampleQuery, ScriptedReply{std::nullopt, false, true});  // neither data nor error
  EXPECT_TRUE(health::sampleQueryResults(store, kHeartRate, 0, true).empty());
}

TEST(SampleQuery, StoreErrorsPassUnchanged) {
  FakeHealthStore store;
  store.addSample(heartRate(60, 1000, 1100));
  store.scriptNext(StoreCall::sampleQuery, {HealthStoreError(HealthErrorCode::databaseInaccessible, "Store is locked.")});
  try {
    health::sampleQueryResults(store, kHeartRate, 1, true);
    ADD_FAILURE() << "no error";
  } catch (const HealthStoreError& error) {
    EXPECT_EQ(error.code(), 6);
    EXPECT_STREQ(error.what(), "Store is locked.");
  }
}

TEST(StepStatistics, StrictStartWindowEndingNow) {
  FakeHealthStore store;
  FixedClock clock(kNoon);
  const Instant since = kNoon - 10 * kHour;
  store.addSample(steps(500, since - 60, since + 60));  // starts before the window
  store.addSample(steps(1200, since, since + 600));
  store.addSample(steps(300, kNoon - 60, kNoon - 1));
  store.addSample(steps(9999, kNoon, kNoon + 60));  // starts at the window's end
  EXPECT_DOUBLE_EQ(health::cumulativeSum(store, kSteps, health::Unit::count(), since, clock), 1500);

  ASSERT_EQ(store.statisticsQueries().size(), 1u);
  const health::StatisticsQuery query = store.statisticsQueries()[0];
  ASSERT_TRUE(query.predicate);
  EXPECT_EQ(query.predicate->startDate, since);
  EXPECT_EQ(query.predicate->endDate, kNoon);
  EXPECT_EQ(query.predicate->options, health::kQueryOptionStrictStartDate);
  EXPECT_EQ(query.options, health::kStatisticsOptionCumulativeSum);
}

TEST(StepStatistics, EmptyOrMissingStatisticsAreZero) {
  FixedClock clock(kNoon);
  FakeHealthStore store;
  store.addSample(steps(500, kNoon - 100 * kHour, kNoon - 99 * kHour));
  // The store answers the empty window with its "no data" error.
  EXPECT_EQ(health::cumulativeSum(store, kSteps, health::Unit::count(), kNoon - kHour, clock), 0);
  store.scriptNext(StoreCall::statisticsQuery, ScriptedReply{std::nullopt, false, true});
  EXPECT_EQ(health::cumulativeSum(store, kSteps, health::Unit::count(), 0, clock), 0);
  store.scriptNext(StoreCall::statisticsQuery,
                   {HealthStoreError(HealthErrorCode::noData, "No data available for the specified predicate."), true});
  EXPECT_EQ(health::cumulativeSum(store, kSteps, health::Unit::count(), 0, clock), 0);
  EXPECT_EQ(health::cumulativeSum(store, kSteps, health::Unit::count(), 0, clock), 500);
}

TEST(StepStatistics, OtherErrorsPassUnchanged) {
  const std::vector<HealthStoreError> errors = {
      HealthStoreError(HealthErrorCode::authorizationNotDetermined, "Authorization not determined"),
      HealthStoreError(HealthErrorCode::databaseInaccessible, "Protected health data is inaccessible"),
      // Code 11 of another domain is not the store's "no data".
      HealthStoreError("com.example.elsewhere", 11, "Something else entirely."),
  };
  for (const HealthStoreError& scripted : errors) {
    FixedClock clock(kNoon);
    FakeHealthStore store;
    store.addSample(steps(500, kNoon - 60, kNoon - 1));
    store.scriptNext(StoreCall::statisticsQuery, {scripted, true});
    try {
      health::cumulativeSum(store, kSteps, health::Unit::count(), 0, clock);
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
