#include "health/metric_readers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "health_test_helpers.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::SleepAnalysis;
using protocol::MetricPayload;
using protocol::RecordPayload;

// ---- Latest quantity sample ------------------------------------------------

TEST(LatestQuantitySample, HeartRateMetricAndRecord) {
  FakeHealthStore store;
  store.addSample(heartRate(72, kNoon - 60, kNoon - 30.5));
  auto reading = health::latestQuantitySample(store, "heart_rate");
  ASSERT_TRUE(reading);
  const double recordedAt = (kNoon - 30.5) * 1000;
  EXPECT_EQ(reading->metric, (MetricPayload{"heart_rate", 72, "bpm", "Heart Rate", recordedAt}));
  ASSERT_TRUE(reading->record);
  EXPECT_EQ(*reading->record, (RecordPayload{"Heart Rate Snapshot", "Heart Rate recorded from HealthKit.", recordedAt,
                                             "Apple Health", "wearable", {"heart_rate", "healthkit"}}));
}

TEST(MetricReaders, NoTypeMeansNothingAndNoQuery) {
  FakeHealthStore store;
  for (std::string key : {"sleep", "workout", "Heart_Rate", "pulse"}) {
    EXPECT_FALSE(health::latestQuantitySample(store, key)) << key;
  }
  EXPECT_TRUE(store.calls().empty());
}

TEST(LatestQuantitySample, NothingForAnEmptyTypeOrASampleOfAnotherKind) {
  FakeHealthStore store;
  EXPECT_FALSE(health::latestQuantitySample(store, "heart_rate"));
  health::Sample odd = heartRate(70, 10, 20);
  odd.value = health::CategorySampleValue{1};
  store.scriptNext(StoreCall::sampleQuery, ScriptedReply::delivering({odd}));
  EXPECT_FALSE(health::latestQuantitySample(store, "heart_rate"));
}

// ---- Steps -----------------------------------------------------------------

TEST(AggregatedSteps, TotalRecordedNowAndZeroForAnEmptyWindow) {
  FakeHealthStore store;
  FixedClock clock(kNoon);
  store.addSample(steps(4000, kNoon - 5 * kHour, kNoon - 4 * kHour));
  store.addSample(steps(2500, kNoon - 2 * kHour, kNoon - kHour));
  EXPECT_EQ(health::aggregatedSteps(store, kNoon - 6 * kHour, clock),
            (MetricPayload{"steps", 6500, "steps", "Steps", kNoon * 1000}));
  EXPECT_EQ(health::aggregatedSteps(store, kNoon - kHour, clock),
            (MetricPayload{"steps", 0, "steps", "Steps", kNoon * 1000}));
}

// ---- Sleep -----------------------------------------------------------------

TEST(AggregatedSleep, WindowOnEndDateWholeLengthsOverlapsCountTwice) {
  const health::Instant night = kNoon - 14 * kHour;  // 22:00 the evening before
  struct Case {
    const char* name;
    std::vector<health::Sample> samples;
    health::Instant since;
    std::optional<double> minutes;
  };
  const std::vector<Case> cases = {
      {"a night ending after since counts whole", {sleep(SleepAnalysis::asleepCore, night, night + 8 * kHour)},
       night + 7 * kHour, 480},
      {"in bed and asleep overlap, both count",
       {sleep(SleepAnalysis::inBed, night + kHour, night + 9 * kHour),
        sleep(SleepAnalysis::asleepUnspecified, night + 1.5 * kHour, night + 8.5 * kHour)},
       night, 900},
      {"awake counts like any other value", {sleep(SleepAnalysis::awake, night, night + 90)}, night, 1.5},
      {"a sample ending exactly at since counts", {sleep(SleepAnalysis::inBed, night, night + kHour)},
       night + kHour, 60},
      {"ended before since", {sleep(SleepAnalysis::asleepDeep, night, night + kHour)}, night + kHour + 1,
       std::nullopt},
      {"only zero-length samples", {sleep(SleepAnalysis::inBed, night, night), sleep(SleepAnalysis::awake, night + 5, night + 5)},
       night, std::nullopt},
      {"mixed old and new", {sleep(SleepAnalysis::inBed, night - 48 * kHour, night - 40 * kHour),
                             sleep(SleepAnalysis::asleepREM, night, night + 30 * 60)},
       night - kHour, 30},
      {"no samples", {}, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    FakeHealthStore store;
    FixedClock clock(kNoon);
    for (const health::Sample& sample : c.samples) store.addSample(sample);
    auto metric = health::aggregatedSleep(store, c.since, clock);
    if (!c.minutes) {
      EXPECT_FALSE(metric) << c.name;
      continue;
    }
    ASSERT_TRUE(metric) << c.name;
    EXPECT_EQ(*metric, (MetricPayload{"sleep", *c.minutes, "min", "Sleep", kNoon * 1000})) << c.name;
  }
}

TEST(AggregatedSleep, AsksTheStoreOnlyForSamplesEndingInTheWindow) {
  FakeHealthStore store;
  health::aggregatedSleep(store, kNoon, health::systemClock());
  ASSERT_EQ(store.sampleQueries().size(), 1u);
  const health::SampleQuery query = store.sampleQueries()[0];
  ASSERT_TRUE(query.predicate);
  EXPECT_EQ(query.predicate->startDate, kNoon);
  EXPECT_FALSE(query.predicate->endDate);
  EXPECT_EQ(query.predicate->options, health::kQueryOptionNone);
  EXPECT_EQ(query.limit, health::kObjectQueryNoLimit);
}

// ---- Workout ---------------------------------------------------------------

TEST(LatestWorkout, MinutesAndSummary) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  struct Case {
    int activityType;
    double duration;
    double minutes;
    std::string summary;
  };
  const std::vector<Case> cases = {
      {37, 2730, 45.5, "Running workout, 45 min."},
      {37, 30, 1, "Running workout, 1 min."},
      {13, 20, 1, "Cycling workout, 1 min."},
      {24, 0, 1, "Hiking workout, 1 min."},
      {52, -600, 1, "Walking workout, 1 min."},
      {57, std::nan(""), 1, "Yoga workout, 1 min."},
      {20, 3600, 60, "Strength Training workout, 60 min."},
      {50, 3659.9, 3659.9 / 60, "Strength Training workout, 60 min."},
      {3000, 5400, 90, "Workout workout, 90 min."},
      {37, 6e20, 1e19, "Running workout, 9223372036854775807 min."},
      {37, kInfinity, std::numeric_limits<double>::max(), "Running workout, 9223372036854775807 min."},
  };
  FakeHealthStore store;
  for (const Case& c : cases) {
    // Durations no store keeps (negative, not a number, infinite) included.
    store.scriptNext(StoreCall::sampleQuery,
                     ScriptedReply::delivering({workout(c.activityType, kNoon - kHour, kNoon - 0.25, c.duration)}));
    auto reading = health::latestWorkout(store);
    ASSERT_TRUE(reading) << c.summary;
    EXPECT_EQ(reading->metric, (MetricPayload{"workout", c.minutes, "min", "Training Load", kNoon * 1000 - 250}))
        << c.summary;
    ASSERT_TRUE(reading->record);
    EXPECT_EQ(*reading->record, (RecordPayload{"Workout summary", c.summary, kNoon * 1000 - 250, "Apple Health",
                                               "wearable", {"workout", "healthkit"}}));
  }
}

TEST(LatestWorkout, NewestByStartOfAnyAge) {
  FakeHealthStore store;
  EXPECT_FALSE(health::latestWorkout(store));
  store.addSample(workout(37, 1000, 900000, 899000));
  store.addSample(workout(57, 2000, 2600, 600));
  auto reading = health::latestWorkout(store);
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->record->summary, "Yoga workout, 10 min.");
  for (const health::SampleQuery& query : store.sampleQueries()) {
    EXPECT_EQ(query.limit, 1);
    EXPECT_EQ(query.sampleType.identifier, health::kWorkoutTypeIdentifier);
  }
}

}  // namespace
}  // namespace tarnwick::testing
