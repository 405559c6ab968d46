#include "health/metric_catalogue.h"

#include <array>
#include <cmath>

namespace tarnwick::health {
namespace {

struct MetricEntry {
  std::string_view key;
  ObjectKind kind;
  std::string_view typeIdentifier;
  std::string_view label;
  std::string_view unitText;
  // The largest magnitude one sample may hold, in `boundUnit`; zero for the
  // kinds that hold no quantity.
  double bound;
  std::string_view boundUnit;
};

constexpr std::array<MetricEntry, 7> kCatalogue{{
    {"steps", ObjectKind::quantity, kStepCountIdentifier, "Steps", "steps", 1e7, "count"},
    {"sleep", ObjectKind::category, kSleepAnalysisIdentifier, "Sleep", "min", 0, ""},
    {"heart_rate", ObjectKind::quantity, kHeartRateIdentifier, "Heart Rate", "bpm", 1e3, "count/min"},
    {"hrv", ObjectKind::quantity, kHeartRateVariabilityIdentifier, "HRV", "ms", 1e4, "ms"},
    {"weight", ObjectKind::quantity, kBodyMassIdentifier, "Weight", "lb", 1e4, "kg"},
    {"glucose", ObjectKind::quantity, kBloodGlucoseIdentifier, "Glucose", "mg/dL", 1e5, "mg/dL"},
    {"workout", ObjectKind::workout, kWorkoutTypeIdentifier, "Training Load", "min", 0, ""},
}};

const MetricEntry* findEntry(std::string_view key) {
  for (const MetricEntry& entry : kCatalogue) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

std::vector<std::string> allKeys() {
  std::vector<std::string> keys;
  for (const MetricEntry& entry : kCatalogue) keys.emplace_back(entry.key);
  return keys;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const std::vector<std::string>& readableTypes() {
  static const std::vector<std::string> keys = allKeys();
  return keys;
}

const std::vector<std::string>& writableTypes() {
  static const std::vector<std::string> keys = allKeys();
  return keys;
}

std::pair<std::string, std::string> makeMetricLabel(std::string_view key) {
  if (const MetricEntry* entry = findEntry(key)) return {std::string(entry->label), std::string(entry->unitText)};
  std::string label(key);
  bool startOfWord = true;
  for (char& c : label) {
    if (c == '_') c = ' ';
    if (c == ' ') {
      startOfWord = true;
      continue;
    }
    c = startOfWord ? upper(c) : lower(c);
    startOfWord = false;
  }
  return {label, ""};
}

std::optional<ObjectType> quantityType(HealthStore& store, std::string_view key) {
  const MetricEntry* entry = findEntry(key);
  if (!entry || entry->kind != ObjectKind::quantity) return std::nullopt;
  return store.quantityTypeForIdentifier(entry->typeIdentifier);
}

Unit quantityUnit(HealthStore& store, std::string_view key) {
  if (key == "steps") return Unit::count();
  if (key == "heart_rate") return Unit::count().dividedBy(Unit::minute());
  if (key == "hrv") return Unit::second(MetricPrefix::milli);
  if (key == "weight") return Unit::pound();
  if (key == "glucose") {
    if (std::optional<Unit> unit = store.unitFromString("mg/dL")) return *unit;
  }
  return Unit::count();
}

std::optional<ObjectType> sampleType(HealthStore& store, std::string_view key) {
  const MetricEntry* entry = findEntry(key);
  if (!entry) return std::nullopt;
  switch (entry->kind) {
    case ObjectKind::quantity: return store.quantityTypeForIdentifier(entry->typeIdentifier);
    case ObjectKind::category: return store.categoryTypeForIdentifier(entry->typeIdentifier);
    case ObjectKind::workout: return store.workoutType();
  }
  return std::nullopt;
}

std::optional<std::string> metricKeyForTypeIdentifier(std::string_view identifier) {
  for (const MetricEntry& entry : kCatalogue) {
    if (entry.typeIdentifier == identifier) return std::string(entry.key);
  }
  return std::nullopt;
}

std::optional<Quantity> largestQuantity(std::string_view key) {
  const MetricEntry* entry = findEntry(key);
  if (!entry || entry->kind != ObjectKind::quantity) return std::nullopt;
  std::optional<Unit> unit = Unit::fromString(entry->boundUnit);
  if (!unit) return std::nullopt;
  return Quantity(*unit, entry->bound);
}

bool isWithinBounds(std::string_view key, const Quantity& quantity) {
  if (!std::isfinite(quantity.value())) return false;
  std::optional<Quantity> largest = largestQuantity(key);
  if (!largest) return true;
  if (!quantity.isCompatibleWithUnit(largest->unit())) return false;
  // Converted, so that an amount finite as written but beyond the double
  // range in another unit ("1.7e308" kg is infinite in pounds) is caught;
  // written so that a NaN from the conversion also fails.
  double magnitude = std::fabs(quantity.doubleValueForUnit(largest->unit()));
  return magnitude <= largest->value();
}

}  // namespace tarnwick::health
