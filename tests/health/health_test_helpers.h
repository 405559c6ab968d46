// Small helpers shared by the health tests: a clock that stands still, a
// time zone for one test, and samples of the seven metric types.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "health/instant.h"
#include "health/metric_catalogue.h"
#include "health/object_types.h"
#include "health/samples.h"
#include "health/units.h"

namespace tarnwick::testing {

// A clock that always reads `now`.
class FixedClock final : public health::Clock {
 public:
  explicit FixedClock(health::Instant now) : now_(now) {}
  health::Instant now() const override { return now_; }

 private:
  health::Instant now_;
};

// Sets TZ for the life of the object, then puts the previous value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (previous_) setenv("TZ", previous_->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

// The catalogue's row of a key the test names.
inline const health::MetricEntry& metric(std::string_view key) { return *health::findMetric(key); }

inline health::ObjectType quantityTypeNamed(std::string_view identifier) {
  return {health::ObjectKind::quantity, std::string(identifier)};
}
inline health::ObjectType sleepType() {
  return {health::ObjectKind::category, std::string(health::kSleepAnalysisIdentifier)};
}
inline health::ObjectType workoutType() {
  return {health::ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)};
}

inline health::Unit beatsPerMinute() { return health::Unit::count().dividedBy(health::Unit::minute()); }

inline health::Sample heartRate(double bpm, health::Instant start, health::Instant end) {
  return health::makeQuantitySample(quantityTypeNamed(health::kHeartRateIdentifier),
                                    health::Quantity(beatsPerMinute(), bpm), start, end);
}
inline health::Sample steps(double count, health::Instant start, health::Instant end) {
  return health::makeQuantitySample(quantityTypeNamed(health::kStepCountIdentifier),
                                    health::Quantity(health::Unit::count(), count), start, end);
}
inline health::Sample sleep(health::SleepAnalysis value, health::Instant start, health::Instant end) {
  return health::makeCategorySample(sleepType(), static_cast<int>(value), start, end);
}
inline health::Sample workout(int activityType, health::Instant start, health::Instant end, double duration) {
  return health::makeWorkout(workoutType(), activityType, start, end, duration, std::nullopt, std::nullopt, {});
}

// 2024-06-03 12:00:00 UTC, a Monday far from any daylight-saving change.
inline constexpr health::Instant kNoon = 1717416000;
inline constexpr double kHour = 3600;

}  // namespace tarnwick::testing
