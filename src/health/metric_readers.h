// The readers behind "sync": each turns what the store holds for one metric
// key into the bridge's metric and, for some keys, a descriptive record. A
// reader makes at most one store query, keeps no state and never writes.
// "Nothing found" is an empty optional; a store failure is the store's
// HealthStoreError, thrown unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "health/health_store.h"
#include "health/instant.h"
#include "protocol/records.h"

namespace tarnwick::health {

// A metric with the record that describes it, when its reader makes one.
struct MetricReading {
  protocol::MetricPayload metric;
  std::optional<protocol::RecordPayload> record;
};

// The newest sample (by start date, of any age) of a quantity key
// ("heart_rate", "hrv", "weight", "glucose", also "steps"), its value in the
// key's catalogue unit, recorded at its end date, with a "Snapshot" record.
// Nothing when the key has no quantity type (no query is made) or the type
// holds no sample.
std::optional<MetricReading> latestQuantitySample(HealthStore& store, std::string_view key);

// The step total of samples starting in [since, now), recorded when the
// total arrived (both read from `clock`). Nothing only when the store has no
// step type; an empty window is the value 0.
std::optional<protocol::MetricPayload> aggregatedSteps(HealthStore& store, Instant since, const Clock& clock);

// The minutes of every sleep-analysis sample that ends at or after `since`,
// whatever its category value, each counted whole (overlaps and a start
// before `since` included). Nothing when the store has no sleep type, no
// sample ends in the window, or the total is not positive. Recorded at
// `clock`'s reading once the total is known.
std::optional<protocol::MetricPayload> aggregatedSleep(HealthStore& store, Instant since, const Clock& clock);

// The newest workout (by start date, of any age) as its minutes (at least 1)
// with a "Workout summary" record. Nothing when the store holds no workout.
std::optional<MetricReading> latestWorkout(HealthStore& store);

// The display name of a workout activity type's raw value; "Workout" for
// any type without a name of its own.
std::string workoutActivityName(int activityType);

// "<activity> workout, <whole minutes> min." for a minute count of at least
// 1. Minutes beyond what a signed 64-bit count holds (an infinite count
// included) are written as its largest value.
std::string workoutSummary(int activityType, double minutes);

}  // namespace tarnwick::health
