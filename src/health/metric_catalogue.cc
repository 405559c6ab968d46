#include "health/metric_catalogue.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace tarnwick::health {
namespace {

constexpr std::array<MetricEntry, 7> kCatalogue{{
    // key, label, unit text, type identifier, kind, default unit, stored unit, bound, cumulative, reader
    {"steps", "Steps", "steps", kStepCountIdentifier, ObjectKind::quantity, "count", "count", 1e7, true,
     MetricReader::stepTotal},
    {"sleep", "Sleep", "min", kSleepAnalysisIdentifier, ObjectKind::category, "", "", 0, false,
     MetricReader::sleepTotal},
    {"heart_rate", "Heart Rate", "bpm", kHeartRateIdentifier, ObjectKind::quantity, "count/min", "count/min", 1e3,
     false, MetricReader::latestQuantity},
    {"hrv", "HRV", "ms", kHeartRateVariabilityIdentifier, ObjectKind::quantity, "ms", "ms", 1e4, false,
     MetricReader::latestQuantity},
    {"weight", "Weight", "lb", kBodyMassIdentifier, ObjectKind::quantity, "lb", "kg", 1e4, false,
     MetricReader::latestQuantity},
    {"glucose", "Glucose", "mg/dL", kBloodGlucoseIdentifier, ObjectKind::quantity, "mg/dL", "mg/dL", 1e5, false,
     MetricReader::latestQuantity},
    {"workout", "Training Load", "min", kWorkoutTypeIdentifier, ObjectKind::workout, "", "", 0, false,
     MetricReader::latestWorkout},
}};

const MetricEntry* findQuantity(std::string_view key) {
  const MetricEntry* entry = findMetric(key);
  return entry && entry->kind == ObjectKind::quantity ? entry : nullptr;
}

// A quantity row's units, parsed from its texts once: a large "write" asks
// for them for every item.
struct QuantityUnits {
  Unit defaultUnit;
  Quantity largest;
};

const QuantityUnits& unitsOf(const MetricEntry& entry) {
  static const std::vector<std::optional<QuantityUnits>> units = [] {
    std::vector<std::optional<QuantityUnits>> parsed;
    for (const MetricEntry& row : kCatalogue) {
      std::optional<Unit> defaultUnit = Unit::fromString(row.defaultUnit);
      std::optional<Unit> storedUnit = Unit::fromString(row.storedUnit);
      // The catalogue's unit texts are all units, so a quantity row always
      // has both.
      if (row.kind == ObjectKind::quantity && defaultUnit && storedUnit) {
        parsed.push_back(QuantityUnits{*defaultUnit, Quantity(*storedUnit, row.bound)});
      } else {
        parsed.emplace_back();
      }
    }
    return parsed;
  }();
  return *units[static_cast<std::size_t>(&entry - kCatalogue.data())];
}

std::vector<std::string> allKeys() {
  std::vector<std::string> keys;
  for (const MetricEntry& entry : kCatalogue) keys.emplace_back(entry.key);
  return keys;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The bound as a sentence states it ("10000 kg"). Every bound is a whole
// number, shown without an exponent.
std::string boundText(const MetricEntry& entry) {
  char digits[24];
  auto written = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(entry.bound));
  return std::string(digits, written.ptr) + " " + std::string(entry.storedUnit);
}

}  // namespace

std::span<const MetricEntry> metricCatalogue() { return kCatalogue; }

const MetricEntry* findMetric(std::string_view key) {
  for (const MetricEntry& entry : kCatalogue) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

const MetricEntry* findMetricByTypeIdentifier(std::string_view identifier) {
  for (const MetricEntry& entry : kCatalogue) {
    if (entry.typeIdentifier == identifier) return &entry;
  }
  return nullptr;
}

const std::vector<std::string>& readableTypes() {
  static const std::vector<std::string> keys = allKeys();
  return keys;
}

const std::vector<std::string>& writableTypes() {
  static const std::vector<std::string> keys = allKeys();
  return keys;
}

std::pair<std::string, std::string> makeMetricLabel(std::string_view key) {
  if (const MetricEntry* entry = findMetric(key)) return {std::string(entry->label), std::string(entry->unitText)};
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

std::optional<ObjectType> quantityType(HealthStore& /*store*/, std::string_view key) {
  const MetricEntry* entry = findQuantity(key);
  if (!entry) return std::nullopt;
  return ObjectType{ObjectKind::quantity, std::string(entry->typeIdentifier)};
}

Unit quantityUnit(std::string_view key) {
  const MetricEntry* entry = findQuantity(key);
  return entry ? unitsOf(*entry).defaultUnit : Unit::count();
}

std::optional<ObjectType> sampleType(HealthStore& /*store*/, std::string_view key) {
  const MetricEntry* entry = findMetric(key);
  if (!entry) return std::nullopt;
  return ObjectType{entry->kind, std::string(entry->typeIdentifier)};
}

std::optional<std::string> metricKeyForTypeIdentifier(std::string_view identifier) {
  if (const MetricEntry* entry = findMetricByTypeIdentifier(identifier)) return std::string(entry->key);
  return std::nullopt;
}

std::optional<Quantity> largestQuantity(std::string_view key) {
  const MetricEntry* entry = findQuantity(key);
  if (!entry) return std::nullopt;
  return unitsOf(*entry).largest;
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

std::string outOfRangeClause(std::string_view key) {
  const MetricEntry* entry = findQuantity(key);
  return "is out of range for " + std::string(key) + ", which is at most " +
         (entry ? boundText(*entry) : std::string("a finite number"));
}

}  // namespace tarnwick::health
