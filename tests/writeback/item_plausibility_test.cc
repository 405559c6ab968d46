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

WritebackItem dated(std::optional<double> start, std::optional<double> end) {
  return WritebackItem{"i", "steps", "label", "1", {}, start, end, {}};
}

const std::string kSeconds =
    "its start date is before 1980; timestamps are milliseconds since 1970, and this looks like seconds";
const std::string kMicroseconds =
    "its end date is more than a day in the future; timestamps are milliseconds since 1970, and this looks like "
    "microseconds";

TEST(ItemPlausibilityTest, DatesAreJudgedInTheirOwnUnitAndTheLikelyOneIsNamed) {
  struct Case {
    const char* name;
    const char* key;
    std::optional<double> start, end;
    std::optional<std::string> reason;
  };
  const Case cases[] = {
      {"Milliseconds", "steps", kNowMs - kHourMs, kNowMs, std::nullopt},
      {"OnlyAnEnd", "weight", std::nullopt, kNowMs, std::nullopt},
      {"Seconds", "steps", kNow, std::nullopt, kSeconds},
      {"SecondsEnd", "weight", std::nullopt, kNow,
       "its end date is before 1980; timestamps are milliseconds since 1970, and this looks like seconds"},
      {"Microseconds", "heart_rate", std::nullopt, kNowMs * 1000, kMicroseconds},
      // Neither the number as seconds nor as microseconds is a sensible date.
      {"Zero", "steps", 0, std::nullopt, "its start date is before 1980; timestamps are milliseconds since 1970"},
      {"Negative", "glucose", -kNowMs, std::nullopt,
       "its start date is before 1980; timestamps are milliseconds since 1970"},
      {"NextWeek", "hrv", std::nullopt, kNowMs + 7 * 24 * kHourMs,
       "its end date is more than a day in the future, which no reading can be; check the date and the clock of "
       "the device that made it"},
      // The start is judged first; the end is judged too.
      {"BothBad", "sleep", kNow, kNowMs * 1000, kSeconds},
      {"GoodStartBadEnd", "sleep", kNowMs - kHourMs, kNowMs * 1000, kMicroseconds},
      // The edges of the window are inside it.
      {"First1980", "steps", 315'532'800'000.0, std::nullopt, std::nullopt},
      {"Last1979", "steps", 315'532'799'999.0, std::nullopt,
       "its start date is before 1980; timestamps are milliseconds since 1970"},
      {"ADayAhead", "steps", std::nullopt, kNowMs + 24 * kHourMs, std::nullopt},
      {"JustOverADayAhead", "steps", std::nullopt, kNowMs + 24 * kHourMs + 1,
       "its end date is more than a day in the future, which no reading can be; check the date and the clock of "
       "the device that made it"},
  };
  for (const Case& c : cases) {
    CountingClock clock;
    EXPECT_EQ(implausibleDates(dated(c.start, c.end), row(c.key), clock), c.reason) << c.name;
  }
}

TEST(ItemPlausibilityTest, OnlySentDatesReadTheClock) {
  CountingClock clock;
  EXPECT_EQ(implausibleDates(dated(std::nullopt, std::nullopt), row("sleep"), clock), std::nullopt);
  EXPECT_EQ(clock.readings, 0);
  implausibleDates(dated(kNowMs, kNowMs), row("sleep"), clock);
  EXPECT_EQ(clock.readings, 1);
}

TEST(ItemPlausibilityTest, SessionsLongerThanTwoDaysAreRefused) {
  struct Case {
    const char* key;
    double hours;
    std::optional<double> end;  // hours after the start; none: the end is not sent
    std::optional<std::string> reason;
  };
  const std::string sleepTooLong =
      "it lasts more than 48 hours, which no sleep does; its start and end dates likely belong to different sessions";
  const Case cases[] = {
      {"sleep", 48, 48, std::nullopt},
      {"sleep", 49, 49, sleepTooLong},
      {"workout", 72, 72,
       "it lasts more than 48 hours, which no workout does; its start and end dates likely belong to different "
       "sessions"},
      {"sleep", 49, std::nullopt, std::nullopt},
      // A quantity is an instant; its two dates are not a session.
      {"steps", 49, 49, std::nullopt},
  };
  for (const Case& c : cases) {
    CountingClock clock;
    double start = kNowMs - 100 * kHourMs;
    std::optional<double> end = c.end ? std::optional(start + *c.end * kHourMs) : std::nullopt;
    EXPECT_EQ(implausibleDates(dated(start, end), row(c.key), clock), c.reason) << c.key << " " << c.hours;
  }
}

TEST(ItemPlausibilityTest, NegativeAmountsNeverAndZeroOnlyWhereItIsAReading) {
  struct Case {
    const char* key;
    double amount;
    std::optional<std::string> reason;
  };
  const Case cases[] = {
      {"steps", 0, std::nullopt},
      {"steps", -0.0, std::nullopt},
      {"steps", 1e-300, std::nullopt},
      {"steps", -900,
       "its value is negative, which no reading of steps can be; a write adds readings, so send the corrected "
       "reading rather than a difference"},
      {"weight", -1e-300,
       "its value is negative, which no reading of weight can be; a write adds readings, so send the corrected "
       "reading rather than a difference"},
      {"heart_rate", 0,
       "its value is 0, which is no reading of heart_rate; leave out a reading the device did not take rather than "
       "sending 0"},
      {"hrv", 0,
       "its value is 0, which is no reading of hrv; leave out a reading the device did not take rather than sending "
       "0"},
      {"weight", 0,
       "its value is 0, which is no reading of weight; leave out a reading the device did not take rather than "
       "sending 0"},
      {"glucose", -0.0,
       "its value is 0, which is no reading of glucose; leave out a reading the device did not take rather than "
       "sending 0"},
      {"glucose", 0.1, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(implausibleAmount(row(c.key), c.amount), c.reason) << c.key << " " << c.amount;
}

}  // namespace
}  // namespace tarnwick::testing
