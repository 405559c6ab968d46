#include "health/samples.h"

#include <utility>

namespace tarnwick::health {

Sample makeQuantitySample(const ObjectType& type, const Quantity& quantity, Instant start, Instant end) {
  return Sample{type, start, end, QuantitySampleValue{quantity}, {}, {}};
}

Sample makeCategorySample(const ObjectType& type, int value, Instant start, Instant end) {
  return Sample{type, start, end, CategorySampleValue{value}, {}, {}};
}

Sample makeWorkout(const ObjectType& workoutType, int activityType, Instant start, Instant end, double duration,
                   std::optional<Quantity> totalEnergyBurned, std::optional<Quantity> totalDistance,
                   Metadata metadata) {
  return Sample{workoutType,
                start,
                end,
                WorkoutValue{activityType, duration, std::move(totalEnergyBurned), std::move(totalDistance)},
                std::move(metadata),
                {}};
}

}  // namespace tarnwick::health
