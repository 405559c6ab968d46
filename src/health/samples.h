// Samples as the health store hands them out and takes them in: a type, a
// start and an end, and the value of its kind (a quantity, a category value,
// or a workout's activity and duration).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "health/instant.h"
#include "health/object_types.h"
#include "health/units.h"

namespace tarnwick::health {

using MetadataValue = std::variant<bool, double, std::string>;
using Metadata = std::map<std::string, MetadataValue, std::less<>>;

inline constexpr std::string_view kMetadataKeyIndoorWorkout = "HKIndoorWorkout";
inline constexpr std::string_view kMetadataKeySyncIdentifier = "HKMetadataKeySyncIdentifier";
inline constexpr std::string_view kMetadataKeySyncVersion = "HKMetadataKeySyncVersion";

struct QuantitySampleValue {
  Quantity quantity;
  bool operator==(const QuantitySampleValue&) const = default;
};

struct CategorySampleValue {
  int value = 0;
  bool operator==(const CategorySampleValue&) const = default;
};

struct WorkoutValue {
  int activityType = 0;  // WorkoutActivityType raw value
  double duration = 0;   // seconds
  std::optional<Quantity> totalEnergyBurned;
  std::optional<Quantity> totalDistance;
  bool operator==(const WorkoutValue&) const = default;
};

// A workout's value, kept behind a pointer: it is the largest kind (two
// optional quantities, each with its unit) and the rarest, and held inline it
// would make every sample of a large batch as big as a workout. Copies are
// deep, so a sample stays a plain value.
class BoxedWorkoutValue {
 public:
  // Implicit, so that a WorkoutValue is assigned to a sample's value as
  // any other kind is.
  BoxedWorkoutValue(WorkoutValue value) : value_(std::make_unique<WorkoutValue>(std::move(value))) {}
  BoxedWorkoutValue(const BoxedWorkoutValue& other)
      : value_(other.value_ ? std::make_unique<WorkoutValue>(*other.value_) : nullptr) {}
  BoxedWorkoutValue(BoxedWorkoutValue&&) noexcept = default;
  BoxedWorkoutValue& operator=(const BoxedWorkoutValue& other) { return *this = BoxedWorkoutValue(other); }
  BoxedWorkoutValue& operator=(BoxedWorkoutValue&&) noexcept = default;
  ~BoxedWorkoutValue() = default;

  // The value; null only in a box that was moved from.
  const WorkoutValue* get() const { return value_.get(); }

  bool operator==(const BoxedWorkoutValue& other) const {
    return value_ && other.value_ ? *value_ == *other.value_ : value_ == other.value_;
  }

 private:
  std::unique_ptr<WorkoutValue> value_;
};

struct Sample {
  ObjectType type;
  Instant startDate = 0;
  Instant endDate = 0;
  std::variant<CategorySampleValue, QuantitySampleValue, BoxedWorkoutValue> value;
  Metadata metadata;
  // Name of the application or device that saved the sample. Filled in by the
  // store when it hands a sample out; ignored when a sample is saved, since
  // the store records the saving application itself.
  std::string sourceName;

  // The value of the sample's kind, or nullptr for a sample of another kind.
  const QuantitySampleValue* asQuantitySample() const { return std::get_if<QuantitySampleValue>(&value); }
  const CategorySampleValue* asCategorySample() const { return std::get_if<CategorySampleValue>(&value); }
  const WorkoutValue* asWorkout() const {
    const auto* boxed = std::get_if<BoxedWorkoutValue>(&value);
    return boxed ? boxed->get() : nullptr;
  }

  bool operator==(const Sample&) const = default;
};

// Object construction, as the platform's factories build samples. They do not
// validate: the store refuses a sample whose unit does not fit its type or
// whose end comes before its start when it is saved.
Sample makeQuantitySample(const ObjectType& type, const Quantity& quantity, Instant start, Instant end);
Sample makeCategorySample(const ObjectType& type, int value, Instant start, Instant end);
Sample makeWorkout(const ObjectType& workoutType, int activityType, Instant start, Instant end, double duration,
                   std::optional<Quantity> totalEnergyBurned, std::optional<Quantity> totalDistance,
                   Metadata metadata);

}  // namespace tarnwick::health
