#include "writeback/item_plausibility.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "health/instant.h"
#include "health/metric_catalogue.h"

namespace tarnwick::testing {
namespace {

using protocol::WritebackItem;
using writeback::implausibleAmount;
using writeback::implausibleDates;

// 2023-11-14 22:13:20 UTC, in seconds and in milliseconds.
constexpr health::Instant kNow = 1'700'000'000;
constexpr double kNowMs = kNow * 1000;
constexpr double kHourMs = 3'600'000;

class CountingClock final : public health::Clock {
 public:
  health::Instant now() const override {
    ++readings;
    return kNow;
  }
  mutable int readings = 0;
};

const health::MetricEntry& row(std::string_view key) { return *health::findMetric(key); }

const std::string kSeconds =
    "its start date is before 1980; timestamps are milliseconds since 1970, and this looks like seconds";
const std::string kBefore1980 = "its start date is before 1980; timestamps are milliseconds since 1970";
const std::string kMicroseconds =
    "its end date is more than a day in the future; timestamps are milliseconds since 1970, and this looks like "
    "microseconds";
const std::string kFuture =
    "its end date is more than a day in the future, which no reading can be; check the date and the clock of the "
    "device that made it";
const std::string kLongSleep =
    "it lasts more than 48 hours, which no sleep does; its start and end dates likely belong to different sessions";

TEST(ItemPlausibilityTest, SentDatesAreJudgedAndTheLikelyUnitIsNamed) {
  struct Case {
    const char* name;
    const char* key;
    std::optional<double> start, end;
    std::optional<std::string> reason;
  };
  const Case cases[] = {
      {"NoDates", "sleep", std::nullopt, std::nullopt, std::nullopt},
      {"Milliseconds", "steps", kNowMs - kHourMs, kNowMs, std::nullopt},
      {"Seconds", "steps", kNow, std::nullopt, kSeconds},
      {"SecondsEnd", "weight", std::nullopt, kNow,
       "its end date is before 1980; timestamps are milliseconds since 1970, and this looks like seconds"},
      {"Microseconds", "heart_rate", std::nullopt, kNowMs * 1000, kMicroseconds},
      // Neither the number as seconds nor as microseconds is a sensible date.
      {"Zero", "steps", 0, std::nullopt, kBefore1980},
      // The start is judged first; a good start does not excuse the end.
      {"BothBad", "sleep", kNow, kNowMs * 1000, kSeconds},
      {"GoodStartBadEnd", "sleep", kNowMs - kHourMs, kNowMs * 1000, kMicroseconds},
      // The edges of the window are inside it.
      {"First1980", "steps", 315'532'800'000.0, std::nullopt, std::nullopt},
      {"Last1979", "steps", 315'532'799'999.0, std::nullopt, kBefore1980},
      {"ADayAhead", "steps", std::nullopt, kNowMs + 24 * kHourMs, std::nullopt},
      {"JustOverADayAhead", "steps", std::nullopt, kNowMs + 24 * kHourMs + 1, kFuture},
      // Only sessions with both dates sent have a length to judge.
      {"TwoDaysAsleep", "sleep", kNowMs - 48 * kHourMs, kNowMs, std::nullopt},
      {"LongSleep", "sleep", kNowMs - 49 * kHourMs, kNowMs, kLongSleep},
      {"LongWorkout", "workout", kNowMs - 72 * kHourMs, kNowMs,
       "it lasts more than 48 hours, which no workout does; its start and end dates likely belong to different "
       "sessions"},
      {"LongSleepWithoutAnEnd", "sleep", kNowMs - 49 * kHourMs, std::nullopt, std::nullopt},
      {"QuantityIsAnInstant", "steps", kNowMs - 49 * kHourMs, kNowMs, std::nullopt},
  };
  for (const Case& c : cases) {
    CountingClock clock;
    WritebackItem item{"i", c.key, "label", "1", {}, c.start, c.end, {}};
    EXPECT_EQ(implausibleDates(item, row(c.key), clock), c.reason) << c.name;
    // Items without dates use the clock for their instants; judging them
    // must not take a reading of its own.
    EXPECT_EQ(clock.readings, c.start || c.end ? 1 : 0) << c.name;
  }
}

TEST(ItemPlausibilityTest, NegativeAmountsNeverAndZeroOnlyWhereItIsAReading) {
  auto negative = [](const std::string& key) {
    return "its value is negative, which no reading of " + key +
           " can be; a write adds readings, so send the corrected reading rather than a difference";
  };
  auto zero = [](const std::string& key) {
    return "its value is 0, which is no reading of " + key +
           "; leave out a reading the device did not take rather than sending 0";
  };
  struct Case {
    const char* key;
    double amount;
    std::optional<std::string> reason;
  };
  const Case cases[] = {
      {"steps", 0, std::nullopt},
      {"steps", -0.0, std::nullopt},
      {"glucose", 0.1, std::nullopt},
      {"steps", -900, negative("steps")},
      {"weight", -1e-300, negative("weight")},
      {"heart_rate", 0, zero("heart_rate")},
      {"hrv", 0, zero("hrv")},
      {"weight", 0, zero("weight")},
      {"glucose", -0.0, zero("glucose")},
  };
  for (const Case& c : cases) EXPECT_EQ(implausibleAmount(row(c.key), c.amount), c.reason) << c.key << " " << c.amount;
}

}  // namespace
}  // namespace tarnwick::testing
