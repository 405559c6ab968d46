#include "health/metric_catalogue.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace tarnwick::health {
namespace {

// A unit text of the table below; every one is a unit, so a text that is
// not is a slip in this file, found by the first run of any test.
Unit unitOf(std::string_view text) {
  std::optional<Unit> unit = Unit::fromString(text);
  if (!unit) throw std::logic_error("the metric catalogue names '" + std::string(text) + "', which is not a unit");
  return *unit;
}

QuantityRule measured(std::string_view defaultUnit, std::string_view storedUnit, double bound, bool zeroIsAReading,
                      std::string_view acceptedUnits, std::span<const UnitAlias> aliases = {}) {
  return QuantityRule{unitOf(defaultUnit), unitOf(storedUnit), Quantity(unitOf(storedUnit), bound), zeroIsAReading,
                      aliases, acceptedUnits};
}

// No night's sleep and no workout lasts two days.
constexpr double kTwoDays = 48 * 3600.0;

// Glucose in millimoles per litre, with glucose's molar mass in g/mol.
constexpr UnitAlias kGlucoseAliases[] = {
    {"mmol/L", "mmol<180.15588000005408>/L"},
    {"mmol/l", "mmol<180.15588000005408>/L"},
};

MetricEntry quantityRow(std::string_view key, std::string_view label, std::string_view unitText,
                        std::string_view identifier, MetricReader reader, QuantityRule rule) {
  return MetricEntry{key, label, unitText, ObjectType{ObjectKind::quantity, std::string(identifier)}, reader,
                     std::move(rule), std::nullopt};
}

// Built once, on first use: a large "write" asks rows for their parsed
// units for every item, and the local store for every sample it keeps.
const std::array<MetricEntry, 7>& rows() {
  static const std::array<MetricEntry, 7> catalogue{{
      quantityRow("steps", "Steps", "steps", kStepCountIdentifier, MetricReader::cumulativeTotal,
                  measured("count", "count", 1e7, true, "count or steps")),
      {"sleep", "Sleep", "min", ObjectType{ObjectKind::category, std::string(kSleepAnalysisIdentifier)},
       MetricReader::categoryMinutes, std::nullopt,
       CategoryRule{"sleep-analysis", static_cast<int>(SleepAnalysis::inBed), static_cast<int>(SleepAnalysis::asleepREM),
                    static_cast<int>(SleepAnalysis::asleepUnspecified)},
       kTwoDays},
      quantityRow("heart_rate", "Heart Rate", "bpm", kHeartRateIdentifier, MetricReader::latestQuantity,
                  measured("count/min", "count/min", 1e3, false, "count/min or bpm")),
      quantityRow("hrv", "HRV", "ms", kHeartRateVariabilityIdentifier, MetricReader::latestQuantity,
                  measured("ms", "ms", 1e4, false, "ms or s")),
      quantityRow("weight", "Weight", "lb", kBodyMassIdentifier, MetricReader::latestQuantity,
                  measured("lb", "kg", 1e4, false, "lb, kg or st")),
      quantityRow("glucose", "Glucose", "mg/dL", kBloodGlucoseIdentifier, MetricReader::latestQuantity,
                  measured("mg/dL", "mg/dL", 1e5, false, "mg/dL or mmol/L", kGlucoseAliases)),
      {"workout", "Training Load", "min", ObjectType{ObjectKind::workout, std::string(kWorkoutTypeIdentifier)},
       MetricReader::latestWorkout, std::nullopt, std::nullopt, kTwoDays},
  }};
  return catalogue;
}

std::vector<std::string> allKeys() {
  std::vector<std::string> keys;
  for (const MetricEntry& entry : rows()) keys.emplace_back(entry.key);
  return keys;
}

// The bound as a sentence states it ("10000 kg"). Every bound is a whole
// number, shown without an exponent.
std::string boundText(const Quantity& largest) {
  char digits[24];
  auto written = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(largest.value()));
  return std::string(digits, written.ptr) + " " + largest.unit().unitString();
}

}  // namespace

std::span<const MetricEntry> metricCatalogue() { return rows(); }

const MetricEntry* findMetric(std::string_view key) {
  for (const MetricEntry& entry : rows()) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

const MetricEntry* findMetricByTypeIdentifier(std::string_view identifier) {
  for (const MetricEntry& entry : rows()) {
    if (entry.type.identifier == identifier) return &entry;
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

bool isWithinBounds(const MetricEntry& metric, const Quantity& quantity) {
  if (!std::isfinite(quantity.value())) return false;
  if (!metric.quantity) return true;
  const Quantity& largest = metric.quantity->largest;
  if (!quantity.isCompatibleWithUnit(largest.unit())) return false;
  // Converted, so that an amount finite as written but beyond the double
  // range in another unit ("1.7e308" kg is infinite in pounds) is caught;
  // written so that a NaN from the conversion also fails.
  double magnitude = std::fabs(quantity.doubleValueForUnit(largest.unit()));
  return magnitude <= largest.value();
}

std::string outOfRangeClause(const MetricEntry& metric) {
  return "is out of range for " + std::string(metric.key) + ", which is at most " +
         (metric.quantity ? boundText(metric.quantity->largest) : std::string("a finite number"));
}

}  // namespace tarnwick::health
