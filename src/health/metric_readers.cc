#include "health/metric_readers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "health/metric_catalogue.h"
#include "health/object_types.h"
#include "health/sample_queries.h"

namespace tarnwick::health {
namespace {

constexpr std::string_view kSourceLabel = "Apple Health";
constexpr std::string_view kRecordKind = "wearable";
constexpr std::string_view kSourceTag = "healthkit";

protocol::RecordPayload makeRecord(std::string title, std::string summary, double recordedAt, std::string key) {
  return protocol::RecordPayload{std::move(title), std::move(summary), recordedAt, std::string(kSourceLabel),
                                 std::string(kRecordKind), {std::move(key), std::string(kSourceTag)}};
}

// The catalogue row of a key the readers name; always there.
const MetricEntry& metric(std::string_view key) { return *findMetric(key); }

protocol::MetricPayload payload(const MetricEntry& entry, double value, double recordedAt) {
  return protocol::MetricPayload{std::string(entry.key), value, std::string(entry.unitText), std::string(entry.label),
                                 recordedAt};
}

// The first sample of the newest-first list, or nullptr.
const Sample* newest(const std::vector<Sample>& samples) { return samples.empty() ? nullptr : &samples.front(); }

std::string wholeMinutesText(double minutes) {
  // 2^63 is exactly representable; anything at or above it (infinity too)
  // has no signed 64-bit whole-minute count, so the text saturates.
  constexpr double kTooLarge = 9223372036854775808.0;
  std::int64_t whole = 0;  // NaN and negative counts never reach the text as a sign
  if (minutes >= kTooLarge) {
    whole = std::numeric_limits<std::int64_t>::max();
  } else if (minutes >= 0) {
    whole = static_cast<std::int64_t>(minutes);
  }
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, whole);
  (void)ec;  // 24 characters hold every int64
  return std::string(digits, end);
}

}  // namespace

std::optional<MetricReading> latestQuantitySample(HealthStore& store, std::string_view key) {
  std::optional<ObjectType> type = quantityType(store, key);
  if (!type) return std::nullopt;
  std::vector<Sample> samples = sampleQueryResults(store, *type, 1, true);
  const Sample* sample = newest(samples);
  const QuantitySampleValue* quantity = sample ? sample->asQuantitySample() : nullptr;
  if (!quantity) return std::nullopt;

  const MetricEntry& entry = metric(key);
  std::string label(entry.label);
  double value = quantity->quantity.doubleValueForUnit(quantityUnit(key));
  double recordedAt = toMilliseconds(sample->endDate);
  MetricReading reading{payload(entry, value, recordedAt), std::nullopt};
  reading.record = makeRecord(label + " Snapshot", label + " recorded from HealthKit.", recordedAt, std::string(key));
  return reading;
}

std::optional<protocol::MetricPayload> aggregatedSteps(HealthStore& store, Instant since, const Clock& clock) {
  std::optional<ObjectType> type = quantityType(store, "steps");
  if (!type) return std::nullopt;
  double steps = cumulativeStepCount(store, *type, since, clock);
  return payload(metric("steps"), steps, toMilliseconds(clock.now()));
}

std::optional<protocol::MetricPayload> aggregatedSleep(HealthStore& store, Instant since, const Clock& clock) {
  std::optional<ObjectType> type = sampleType(store, "sleep");
  if (!type) return std::nullopt;
  // The window is on end dates, so a night that began before it counts in
  // full. The store applies it (a plain predicate matches samples ending at
  // or after its start) so that years of history are never loaded for one
  // week; the test below keeps the count right whatever the store returns.
  std::vector<Sample> samples =
      sampleQueryResults(store, *type, kObjectQueryNoLimit, true, SamplePredicate{since, std::nullopt, kQueryOptionNone});
  double minutes = 0;
  bool kept = false;
  for (const Sample& sample : samples) {
    if (!sample.asCategorySample() || sample.endDate < since) continue;
    kept = true;
    minutes += (sample.endDate - sample.startDate) / 60.0;
  }
  if (!kept || !(minutes > 0)) return std::nullopt;
  return payload(metric("sleep"), minutes, toMilliseconds(clock.now()));
}

std::optional<MetricReading> latestWorkout(HealthStore& store) {
  std::vector<Sample> samples = sampleQueryResults(store, ObjectType{ObjectKind::workout, std::string(kWorkoutTypeIdentifier)}, 1, true);
  const Sample* sample = newest(samples);
  const WorkoutValue* workout = sample ? sample->asWorkout() : nullptr;
  if (!workout) return std::nullopt;

  double minutes = workout->duration / 60.0;
  if (!(minutes >= 1)) minutes = 1;  // NaN and short workouts alike
  // An infinite duration would make the whole response unencodable; the
  // largest finite count keeps the rest of the snapshot readable.
  if (std::isinf(minutes)) minutes = std::numeric_limits<double>::max();
  double recordedAt = toMilliseconds(sample->endDate);
  const MetricEntry& entry = metric("workout");
  MetricReading reading{payload(entry, minutes, recordedAt), std::nullopt};
  reading.record =
      makeRecord("Workout summary", workoutSummary(workout->activityType, minutes), recordedAt, std::string(entry.key));
  return reading;
}

std::string workoutActivityName(int activityType) {
  switch (static_cast<WorkoutActivityType>(activityType)) {
    case WorkoutActivityType::cycling: return "Cycling";
    case WorkoutActivityType::functionalStrengthTraining:
    case WorkoutActivityType::traditionalStrengthTraining: return "Strength Training";
    case WorkoutActivityType::hiking: return "Hiking";
    case WorkoutActivityType::running: return "Running";
    case WorkoutActivityType::walking: return "Walking";
    case WorkoutActivityType::yoga: return "Yoga";
    default: return "Workout";
  }
}

std::string workoutSummary(int activityType, double minutes) {
  return workoutActivityName(activityType) + " workout, " + wholeMinutesText(minutes) + " min.";
}

}  // namespace tarnwick::health
