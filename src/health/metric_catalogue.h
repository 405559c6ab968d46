// The seven metric keys the wire speaks of, one row each: everything the
// bridge, the stores, the tool and the permission sheet know about a metric
// is read from its row. Keys are matched exactly (case-sensitive, no
// trimming), and only where a key arrives: everything past that takes the
// row.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "health/object_types.h"
#include "health/units.h"

namespace tarnwick::health {

// How "sync" reads a metric.
enum class MetricReader {
  cumulativeTotal,  // the sum of the samples starting in the window
  categoryMinutes,  // the minutes of the category samples ending in the window
  latestQuantity,   // the newest quantity sample, with a record
  latestWorkout,    // the newest workout, with a record
};

// A unit word of a metric and the unit grammar's text for it.
struct UnitAlias {
  std::string_view text;
  std::string_view unit;
};

// What a quantity metric's values are measured in and may hold.
struct QuantityRule {
  // The unit wire values are read and written in.
  Unit defaultUnit;
  // The unit the store keeps and reads the type in.
  Unit storedUnit;
  // The largest magnitude one sample may hold, in `storedUnit`. Each bound
  // lies far above anything a body or a device can produce, and is small
  // enough that no history of realistic length sums past the double range
  // (10^300 samples would be needed). A value beyond it is a typing slip or
  // a corrupted file, and one such value stored would make every later sum
  // over the type meaningless.
  Quantity largest;
  // Whether an amount of zero is a reading (no steps in an hour) rather than
  // a slip (no heart beats).
  bool zeroIsAReading;
  // The unit words a caller naturally sends beside the unit grammar ("mmol/L"
  // for glucose's millimoles), each with the grammar text it stands for.
  std::span<const UnitAlias> aliases;
  // The units a person uses for the metric, as a warning lists them
  // ("mg/dL or mmol/L"); any unit of the same dimension is taken too.
  std::string_view acceptedUnits;
};

// What a category metric's samples may hold.
struct CategoryRule {
  // What the values are called in a sentence ("sleep-analysis").
  std::string_view valueName;
  // The raw values the platform defines, all of lowest..highest.
  int lowest;
  int highest;
  // The value a "write" item of the metric becomes.
  int written;
};

struct MetricEntry {
  std::string_view key;
  // What a person reads ("Heart Rate") and the unit text beside a value.
  std::string_view label;
  std::string_view unitText;
  // The platform's type; its kind says which rule below the row has.
  ObjectType type;
  MetricReader reader;
  std::optional<QuantityRule> quantity;  // quantity rows only
  std::optional<CategoryRule> category;  // category rows only
  // The longest one sample of the type may last, in seconds; zero for types
  // whose samples are instants.
  double longestSeconds = 0;

  ObjectKind kind() const { return type.kind; }
  // Samples that add up (steps) rather than stand alone (heart rate).
  bool cumulative() const { return reader == MetricReader::cumulativeTotal; }
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

// False for a non-finite amount, an amount whose unit does not measure the
// metric, and one whose magnitude lies above the metric's bound once
// converted (which also catches an amount finite as written but infinite in
// the stored unit). Metrics without a bound only ask for a finite amount.
// Never throws.
bool isWithinBounds(const MetricEntry& metric, const Quantity& quantity);

// Why isWithinBounds refused an amount, as the end of a sentence: "is out
// of range for weight, which is at most 10000 kg" ("a finite number" for a
// metric without a bound).
std::string outOfRangeClause(const MetricEntry& metric);

}  // namespace tarnwick::health
