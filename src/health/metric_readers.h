// The readers behind "sync": each turns what the store holds for one metric
// into the bridge's metric and, for some metrics, a descriptive record; the
// catalogue row says which reader a metric has. A reader makes at most one
// store query, keeps no state and never writes.
// "Nothing found" is an empty optional; a store failure is the store's
// HealthStoreError, thrown unchanged.
#pragma once

#include <optional>
#include <string>

#include "health/health_store.h"
#include "health/instant.h"
#include "health/metric_catalogue.h"
#include "protocol/records.h"

namespace tarnwick::health {

// A metric with the record that describes it, when its reader makes one.
struct MetricReading {
  protocol::MetricPayload metric;
  std::optional<protocol::RecordPayload> record;
};

// The newest sample (by start date, of any age) of a quantity metric, its
// value in the metric's default unit, recorded at its end date, with a
// "Snapshot" record. Nothing for a metric without a quantity rule (no query
// is made) or when the type holds no sample.
std::optional<MetricReading> latestQuantitySample(HealthStore& store, const MetricEntry& metric);

// The total, in the metric's default unit, of the samples of a cumulative
// quantity metric starting in [since, now), recorded when the total arrived
// (both read from `clock`). An empty window is the value 0; a metric
// without a quantity rule gives nothing (no query is made).
std::optional<protocol::MetricPayload> cumulativeTotal(HealthStore& store, const MetricEntry& metric, Instant since,
                                                       const Clock& clock);

// The minutes of every sample of a category metric that ends at or after
// `since`, whatever its category value, each counted whole (overlaps and a
// start before `since` included). Nothing when no sample ends in the window
// or the total is not positive. Recorded at `clock`'s reading once the total
// is known.
std::optional<protocol::MetricPayload> categoryMinutes(HealthStore& store, const MetricEntry& metric, Instant since,
                                                       const Clock& clock);

// The newest workout (by start date, of any age) as its minutes (at least 1)
// with a "Workout summary" record. Nothing when the store holds no workout.
std::optional<MetricReading> latestWorkout(HealthStore& store, const MetricEntry& metric);

// The display name of a workout activity type's raw value; "Workout" for
// any type without a name of its own.
std::string workoutActivityName(int activityType);

// "<activity> workout, <whole minutes> min." for a minute count of at least
// 1. Minutes beyond what a signed 64-bit count holds (an infinite count
// included) are written as its largest value.
std::string workoutSummary(int activityType, double minutes);

}  // namespace tarnwick::health
