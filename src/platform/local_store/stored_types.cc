#include "platform/local_store/stored_types.h"

#include <array>
#include <limits>
#include <string>

#include "health/metric_catalogue.h"

namespace tarnwick::platform::local_store {
namespace {

using health::ObjectKind;

constexpr std::array<StoredType, 7> kStoredTypes{{
    {health::kStepCountIdentifier, ObjectKind::quantity, true},
    {health::kHeartRateIdentifier, ObjectKind::quantity, false},
    {health::kHeartRateVariabilityIdentifier, ObjectKind::quantity, false},
    {health::kBodyMassIdentifier, ObjectKind::quantity, false},
    {health::kBloodGlucoseIdentifier, ObjectKind::quantity, false},
    {health::kSleepAnalysisIdentifier, ObjectKind::category, false},
    {health::kWorkoutTypeIdentifier, ObjectKind::workout, false},
}};

}  // namespace

const StoredType* findStoredType(std::string_view identifier) {
  for (const StoredType& type : kStoredTypes) {
    if (type.identifier == identifier) return &type;
  }
  return nullptr;
}

std::optional<health::ObjectType> objectTypeFor(std::string_view identifier) {
  const StoredType* type = findStoredType(identifier);
  if (!type) return std::nullopt;
  return health::ObjectType{type->kind, std::string(type->identifier)};
}

health::Unit canonicalUnit(std::string_view identifier) {
  using health::MetricPrefix;
  using health::Unit;
  if (identifier == health::kHeartRateIdentifier) return Unit::count().dividedBy(Unit::minute());
  if (identifier == health::kHeartRateVariabilityIdentifier) return Unit::second(MetricPrefix::milli);
  if (identifier == health::kBodyMassIdentifier) return Unit::gram(MetricPrefix::kilo);
  if (identifier == health::kBloodGlucoseIdentifier) {
    return Unit::gram(MetricPrefix::milli).dividedBy(Unit::liter(MetricPrefix::deci));
  }
  return Unit::count();
}

double largestStoredValue(std::string_view identifier) {
  std::optional<std::string> key = health::metricKeyForTypeIdentifier(identifier);
  std::optional<health::Quantity> largest = key ? health::largestQuantity(*key) : std::nullopt;
  // A type without a bound still leaves out infinities.
  if (!largest) return std::numeric_limits<double>::max();
  return largest->doubleValueForUnit(canonicalUnit(identifier));
}

}  // namespace tarnwick::platform::local_store
