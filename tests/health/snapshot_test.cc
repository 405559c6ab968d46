#include "health/snapshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "health/metric_catalogue.h"
#include "health_test_helpers.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using protocol::BridgeRequest;
using protocol::SyncData;

const std::vector<std::string>& kAllKeys = health::readableTypes();

// The keys whose readers make a record beside their metric, in catalogue order.
std::vector<std::string> recordKeys() {
  std::vector<std::string> keys;
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    if (metric.reader == health::MetricReader::latestQuantity || metric.reader == health::MetricReader::latestWorkout) {
      keys.emplace_back(metric.key);
    }
  }
  return keys;
}

BridgeRequest syncRequest(std::string sourceMode, std::optional<std::vector<std::string>> readTypes = std::nullopt) {
  BridgeRequest request;
  request.method = "sync";
  request.sourceMode = std::move(sourceMode);
  request.readTypes = std::move(readTypes);
  return request;
}

std::vector<std::string> metricKeys(const SyncData& data) {
  std::vector<std::string> keys;
  for (const auto& metric : data.metrics) keys.push_back(metric.key);
  return keys;
}

std::vector<std::string> recordTags(const SyncData& data) {
  std::vector<std::string> keys;
  for (const auto& record : data.records) keys.push_back(record.tags.at(0));
  return keys;
}

class SnapshotTest : public ::testing::Test {
 protected:
  SnapshotTest() : clock_(kNoon), zone_("UTC") {}

  SyncData readSnapshot(const BridgeRequest& request) { return health::readSnapshot(request, store_, clock_); }

  // One sample of every metric, all inside the default window: 10 of a
  // quantity in its default unit, 480 minutes of a category, an hour's run.
  void fillEveryMetric() {
    for (const health::MetricEntry& metric : health::metricCatalogue()) {
      switch (metric.kind()) {
        case health::ObjectKind::quantity:
          store_.addSample(health::makeQuantitySample(metric.type, health::Quantity(metric.quantity->defaultUnit, 10),
                                                      kNoon - 3 * kHour, kNoon - 2 * kHour));
          break;
        case health::ObjectKind::category:
          store_.addSample(health::makeCategorySample(metric.type, metric.category->written, kNoon - 14 * kHour,
                                                      kNoon - 6 * kHour));
          break;
        case health::ObjectKind::workout: store_.addSample(workout(37, kNoon - 5 * kHour, kNoon - 4 * kHour, 3600)); break;
      }
    }
  }

  FakeHealthStore store_;
  FixedClock clock_;
  ScopedTimeZone zone_;
};

TEST_F(SnapshotTest, EveryMetricInFixedOrder) {
  fillEveryMetric();
  SyncData data = readSnapshot(syncRequest("native"));
  EXPECT_EQ(metricKeys(data), kAllKeys);
  EXPECT_EQ(recordTags(data), recordKeys());
  EXPECT_EQ(data.readableTypes, kAllKeys);
  EXPECT_EQ(data.writableTypes, kAllKeys);
  EXPECT_EQ(data.permissions, (protocol::PermissionSnapshot{true, true}));
  EXPECT_EQ(data.lastSyncedAt, kNoon * 1000);
  EXPECT_EQ(data.metrics[0].value, 10);
  EXPECT_EQ(data.metrics[1].value, 480);
}

TEST_F(SnapshotTest, EffectiveKeyLists) {
  fillEveryMetric();
  struct Case {
    const char* name;
    std::optional<std::vector<std::string>> readTypes;
    std::vector<std::string> metrics;
    std::vector<std::string> records;
    std::vector<std::string> readableTypes;
  };
  const std::vector<std::string> none;
  const std::vector<Case> cases = {
      {"absent", std::nullopt, kAllKeys, recordKeys(), kAllKeys},
      {"empty", std::vector<std::string>{}, kAllKeys, recordKeys(), kAllKeys},
      {"reversed order", std::vector<std::string>{"workout", "steps"}, {"steps", "workout"}, {"workout"},
       {"workout", "steps"}},
      {"letter case counts", std::vector<std::string>{"Steps"}, none, none, {"Steps"}},
      {"duplicates", std::vector<std::string>{"steps", "steps"}, {"steps"}, none, {"steps", "steps"}},
      {"unknown only", std::vector<std::string>{"blood_pressure"}, none, none, {"blood_pressure"}},
      {"unknown among known", std::vector<std::string>{"x", "hrv", " sleep"}, {"hrv"}, {"hrv"}, {"x", "hrv", " sleep"}},
  };
  for (const Case& c : cases) {
    BridgeRequest request = syncRequest("native", c.readTypes);
    request.writeTypes = std::vector<std::string>{"weight"};  // never narrows writableTypes
    SyncData data = readSnapshot(request);
    EXPECT_EQ(metricKeys(data), c.metrics) << c.name;
    EXPECT_EQ(recordTags(data), c.records) << c.name;
    EXPECT_EQ(data.readableTypes, c.readableTypes) << c.name;
    EXPECT_EQ(data.writableTypes, kAllKeys) << c.name;
    EXPECT_EQ(data.permissions.read, !c.metrics.empty()) << c.name;
  }
}

TEST_F(SnapshotTest, EachRequestedReaderQueriesOnce) {
  readSnapshot(syncRequest("native", std::vector<std::string>{"steps", "steps", "Steps"}));
  EXPECT_EQ(store_.calls(), std::vector<StoreCall>{StoreCall::statisticsQuery});
  readSnapshot(syncRequest("native", std::vector<std::string>{"unknown", "HRV"}));
  EXPECT_EQ(store_.calls().size(), 1u);
}

TEST_F(SnapshotTest, EmptyStoreStillGivesZeroSteps) {
  SyncData data = readSnapshot(syncRequest("native"));
  ASSERT_EQ(data.metrics.size(), 1u);
  EXPECT_EQ(data.metrics[0], (protocol::MetricPayload{"steps", 0, "steps", "Steps", kNoon * 1000}));
  EXPECT_TRUE(data.records.empty());
  EXPECT_EQ(data.permissions, (protocol::PermissionSnapshot{true, true}));
}

TEST_F(SnapshotTest, WindowStartFromSince) {
  struct Case {
    std::optional<double> since;
    health::Instant start;
  };
  const std::vector<Case> cases = {
      {1700000000000, 1700000000},  // 2023-11-14 22:13:20 UTC
      {0, 0},
      {-86400000, -86400},
      {1700000000123.5, 1700000000.1235},
      {kNoon * 1000 + 3600000, kNoon + 3600},  // the future is used as given
      {std::nullopt, kNoon - 604800},          // seven days in UTC
  };
  for (const Case& c : cases) {
    BridgeRequest request = syncRequest("native", std::vector<std::string>{"steps"});
    request.since = c.since;
    EXPECT_DOUBLE_EQ(health::defaultSince(request, clock_), c.start);
    readSnapshot(request);
    ASSERT_TRUE(store_.statisticsQueries().back().predicate);
    EXPECT_DOUBLE_EQ(*store_.statisticsQueries().back().predicate->startDate, c.start);
  }
}

TEST_F(SnapshotTest, AnErrorStopsTheWholeSnapshot) {
  fillEveryMetric();
  // Sample queries run for sleep, heart rate, then hrv: the third fails.
  store_.scriptNext(StoreCall::sampleQuery, {});
  store_.scriptNext(StoreCall::sampleQuery, {});
  store_.scriptNext(StoreCall::sampleQuery,
                    ScriptedReply{HealthStoreError(HealthErrorCode::authorizationNotDetermined,
                                                   "Authorization not determined"),
                                  true, false});
  try {
    readSnapshot(syncRequest("native"));
    FAIL() << "snapshot succeeded";
  } catch (const HealthStoreError& error) {
    EXPECT_EQ(error.code(), 5);
    EXPECT_STREQ(error.what(), "Authorization not determined");
  }
  EXPECT_EQ(store_.calls(), (std::vector<StoreCall>{StoreCall::statisticsQuery, StoreCall::sampleQuery,
                                                    StoreCall::sampleQuery, StoreCall::sampleQuery}));
}

// ---- Seven calendar days back ----------------------------------------------

TEST(DefaultSince, SevenCalendarDaysInTheLocalZone) {
  struct Case {
    const char* zone;
    health::Instant now;
    health::Instant expected;
  };
  const std::vector<Case> cases = {
      // Noon EDT 2024-03-12 back to noon EST 2024-03-05: one hour short of a week.
      {"America/New_York", 1710259200, 1709658000},
      // Noon EST 2024-11-05 back to noon EDT 2024-10-29: one hour over.
      {"America/New_York", 1730826000, 1730217600},
      {"America/New_York", 1718467200, 1718467200 - 604800},
      {"America/New_York", 1718467200.75, 1718467200.75 - 604800},
      // Southern hemisphere: summer time ends 2024-04-07 in Sydney.
      {"Australia/Sydney", 1712620800, 1712620800 - 604800 - 3600},
      {"UTC", 1710259200, 1710259200 - 604800},
  };
  for (const Case& c : cases) {
    ScopedTimeZone zone(c.zone);
    FixedClock clock(c.now);
    EXPECT_DOUBLE_EQ(health::defaultSince(BridgeRequest{}, clock), c.expected) << c.zone << " " << c.now;
  }
}

TEST(DefaultSince, FallsBackToAWeekOfSecondsWhenTheCalendarCannot) {
  ScopedTimeZone zone("America/New_York");
  EXPECT_EQ(health::calendarDaysBefore(1e300, 7), 1e300 - 604800);
  EXPECT_TRUE(std::isinf(health::calendarDaysBefore(std::numeric_limits<double>::infinity(), 7)));
  // The last second of 1969 is a real answer, not mktime's failure value.
  ScopedTimeZone utc("UTC");
  EXPECT_EQ(health::calendarDaysBefore(604799, 7), -1);
}

}  // namespace
}  // namespace tarnwick::testing
