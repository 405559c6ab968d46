#include "platform/local_store/sample_validation.h"

#include <cmath>
#include <string>

#include "health/health_store.h"
#include "health/metric_catalogue.h"

namespace tarnwick::platform::local_store {
namespace {

[[noreturn]] void invalid(const std::string& description) {
  throw health::HealthStoreError(health::HealthErrorCode::invalidArgument, description);
}

// `describe` names the amount for a sentence. It is called only for one:
// every sample a save keeps passes here, and a save may hold millions.
template <typename Describe>
void checkQuantity(const health::Quantity& quantity, const health::Unit& expected, const Describe& describe) {
  if (!std::isfinite(quantity.value())) invalid("A " + describe() + " value must be a finite number.");
  if (!quantity.isCompatibleWithUnit(expected)) {
    invalid("The unit '" + quantity.unit().unitString() + "' is not compatible with " + describe() + " (" +
            expected.unitString() + ").");
  }
}

}  // namespace

void validateSample(const health::Sample& sample) {
  const health::MetricEntry* metric = health::findMetricByTypeIdentifier(sample.type.identifier);
  if (!metric) invalid("The health store does not know the type '" + sample.type.identifier + "'.");
  if (!std::isfinite(sample.startDate) || !std::isfinite(sample.endDate)) {
    invalid("A sample's start and end dates must be finite.");
  }
  if (sample.endDate < sample.startDate) invalid("A sample's end date must not be before its start date.");
  switch (metric->kind()) {
    case health::ObjectKind::quantity: {
      const auto* quantity = sample.asQuantitySample();
      if (!quantity) invalid("A sample of '" + sample.type.identifier + "' must hold a quantity.");
      checkQuantity(quantity->quantity, metric->quantity->storedUnit, [&] { return "'" + sample.type.identifier + "'"; });
      break;
    }
    case health::ObjectKind::category: {
      const auto* category = sample.asCategorySample();
      if (!category) invalid("A sample of '" + sample.type.identifier + "' must hold a category value.");
      const health::CategoryRule& rule = *metric->category;
      if (category->value < rule.lowest || category->value > rule.highest) {
        invalid("The " + std::string(rule.valueName) + " value " + std::to_string(category->value) + " is not one of " +
                std::to_string(rule.lowest) + " to " + std::to_string(rule.highest) + ".");
      }
      break;
    }
    case health::ObjectKind::workout: {
      const auto* workout = sample.asWorkout();
      if (!workout) invalid("A workout sample must hold a workout.");
      if (!std::isfinite(workout->duration) || workout->duration < 0) {
        invalid("A workout's duration must be a finite, non-negative number of seconds.");
      }
      if (workout->totalEnergyBurned) {
        checkQuantity(*workout->totalEnergyBurned, health::Unit::kilocalorie(),
                      [] { return std::string("a workout's energy"); });
      }
      if (workout->totalDistance) {
        checkQuantity(*workout->totalDistance, health::Unit::meter(), [] { return std::string("a workout's distance"); });
      }
      break;
    }
  }
  auto identifier = sample.metadata.find(health::kMetadataKeySyncIdentifier);
  auto version = sample.metadata.find(health::kMetadataKeySyncVersion);
  if (identifier != sample.metadata.end()) {
    if (!std::holds_alternative<std::string>(identifier->second)) invalid("A sync identifier must be a text.");
    if (version == sample.metadata.end() || !std::holds_alternative<double>(version->second) ||
        !std::isfinite(std::get<double>(version->second))) {
      invalid("A sample with a sync identifier needs a numeric sync version beside it.");
    }
  }
  for (const auto& [key, value] : sample.metadata) {
    if (const double* number = std::get_if<double>(&value); number && !std::isfinite(*number)) {
      invalid("The metadata value of '" + key + "' must be a finite number.");
    }
  }
}

}  // namespace tarnwick::platform::local_store
