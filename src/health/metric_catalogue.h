// The seven metric keys the wire speaks of, one row each: everything the
// bridge, the stores, the tool and the permission sheet know about a metric
// is read from its row. Keys are matched exactly: case-sensitive, no
// trimming.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "health/health_store.h"

namespace tarnwick::health {

// How "sync" reads a metric.
enum class MetricReader {
  stepTotal,       // aggregatedSteps: the sum over the window
  sleepTotal,      // aggregatedSleep: the minutes asleep in the window
  latestQuantity,  // latestQuantitySample: the newest sample of the key
  latestWorkout,   // latestWorkout: the newest workout
};

struct MetricEntry {
  std::string_view key;
  // What a person reads ("Heart Rate") and the unit text beside a value.
  std::string_view label;
  std::string_view unitText;
  // The platform's type: its identifier and kind.
  std::string_view typeIdentifier;
  ObjectKind kind;
  // The unit text wire values are read and written in; empty for the kinds
  // that hold no quantity.
  std::string_view defaultUnit;
  // The unit text the platform keeps and reads the type in; the bound is in
  // it too. Empty for the kinds that hold no quantity.
  std::string_view storedUnit;
  // The largest magnitude one sample may hold, in `storedUnit`; zero for the
  // kinds that hold no quantity.
  double bound;
  // Samples that add up (steps) rather than stand alone (heart rate).
  bool cumulative;
  MetricReader reader;
  // Whether an amount of zero is a reading (no steps in an hour) rather than
  // a slip (no heart beats); only quantity rows are asked.
  bool zeroIsAReading;
  // The longest one sample of the type may last, in seconds; zero for types
  // whose samples are instants.
  double longestSeconds;
};

// Every row, in canonical order: the order of the default key lists, of the
// snapshot's metrics and of the permission sheet's rows.
std::span<const MetricEntry> metricCatalogue();

// The row of a key, or nullptr.
const MetricEntry* findMetric(std::string_view key);

// The row whose platform type has this identifier, or nullptr.
const MetricEntry* findMetricByTypeIdentifier(std::string_view identifier);

// The default key lists: the seven keys in canonical order. Equal, but two
// separate lists, as what may be read and what may be written are separate.
const std::vector<std::string>& readableTypes();
const std::vector<std::string>& writableTypes();

// (label, unit text) of a key. A key outside the catalogue gets a label made
// from the key ("_" to spaces, words capitalised) and an empty unit text.
std::pair<std::string, std::string> makeMetricLabel(std::string_view key);

// The store's quantity type for "steps", "heart_rate", "hrv", "weight" or
// "glucose"; nothing for any other key (without asking the store) or when the
// store does not know the type.
std::optional<ObjectType> quantityType(HealthStore& store, std::string_view key);

// The unit values of a key are read and written in. Every key outside the
// five quantity keys, "sleep" and "workout" included, gives the count unit.
Unit quantityUnit(std::string_view key);

// The sample type a key stands for when asking permission or saving: the
// quantity types, the sleep-analysis category type, the workout type.
// Nothing for a key outside the catalogue or a type the store lacks.
std::optional<ObjectType> sampleType(HealthStore& store, std::string_view key);

// The key whose sample type has this identifier, or nothing.
std::optional<std::string> metricKeyForTypeIdentifier(std::string_view identifier);

// The largest magnitude one sample of a quantity key may hold, or nothing for
// any other key. Each bound lies far above anything a body or a device can
// produce, and is small enough that no history of realistic length sums past
// the double range (10^300 samples would be needed):
//   steps       10,000,000 count     per sample
//   heart_rate       1,000 count/min
//   hrv             10,000 ms
//   weight          10,000 kg
//   glucose        100,000 mg/dL
// A value beyond its bound is a typing slip or a corrupted file, and one such
// value stored would make every later sum over the type meaningless.
std::optional<Quantity> largestQuantity(std::string_view key);

// False for a non-finite amount, an amount whose unit does not measure the
// key, and one whose magnitude lies above the key's bound once converted
// (which also catches an amount finite as written but infinite in the
// store's unit). Keys without a bound only ask for a finite amount. Never
// throws.
bool isWithinBounds(std::string_view key, const Quantity& quantity);

// Why isWithinBounds refused an amount, as the end of a sentence: "is out
// of range for weight, which is at most 10000 kg" ("a finite number" for a
// key without a bound).
std::string outOfRangeClause(std::string_view key);

}  // namespace tarnwick::health
