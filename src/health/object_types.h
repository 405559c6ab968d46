// The health store's data types: quantity types, the sleep category type and
// the workout type, identified by the platform's identifier strings.
#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace tarnwick::health {

enum class ObjectKind { quantity, category, workout };

// A sample type. Two types with the same identifier are the same type.
struct ObjectType {
  ObjectKind kind = ObjectKind::quantity;
  std::string identifier;

  bool operator==(const ObjectType& other) const { return identifier == other.identifier; }
  // Spelled with compare() rather than the string's own <=>, which older
  // libc++ releases (still the platform's oldest supported toolchain) lack.
  std::strong_ordering operator<=>(const ObjectType& other) const {
    return identifier.compare(other.identifier) <=> 0;
  }
};

inline constexpr std::string_view kStepCountIdentifier = "HKQuantityTypeIdentifierStepCount";
inline constexpr std::string_view kHeartRateIdentifier = "HKQuantityTypeIdentifierHeartRate";
inline constexpr std::string_view kHeartRateVariabilityIdentifier = "HKQuantityTypeIdentifierHeartRateVariabilitySDNN";
inline constexpr std::string_view kBodyMassIdentifier = "HKQuantityTypeIdentifierBodyMass";
inline constexpr std::string_view kBloodGlucoseIdentifier = "HKQuantityTypeIdentifierBloodGlucose";
inline constexpr std::string_view kSleepAnalysisIdentifier = "HKCategoryTypeIdentifierSleepAnalysis";
inline constexpr std::string_view kWorkoutTypeIdentifier = "HKWorkoutTypeIdentifier";

// Raw values of the sleep-analysis category.
enum class SleepAnalysis : int { inBed = 0, asleepUnspecified = 1, awake = 2, asleepCore = 3, asleepDeep = 4, asleepREM = 5 };

// Raw values of the workout activity types the bridge names.
enum class WorkoutActivityType : int {
  cycling = 13,
  functionalStrengthTraining = 20,
  hiking = 24,
  running = 37,
  traditionalStrengthTraining = 50,
  walking = 52,
  yoga = 57,
  other = 3000,
};

}  // namespace tarnwick::health
