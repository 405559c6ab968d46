#include "health/metric_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::Unit;

TEST(MetricCatalogue, LabelsAndUnitTexts) {
  struct Case {
    std::string key, label, unitText;
  };
  const std::vector<Case> cases = {
      {"steps", "Steps", "steps"},       {"sleep", "Sleep", "min"},         {"heart_rate", "Heart Rate", "bpm"},
      {"hrv", "HRV", "ms"},              {"weight", "Weight", "lb"},        {"glucose", "Glucose", "mg/dL"},
      {"workout", "Training Load", "min"},
      // Outside the catalogue: a label made from the key, no unit text.
      {"", "", ""},                      {"blood_oxygen_level", "Blood Oxygen Level", ""},
      {"HEART_RATE", "Heart Rate", ""},  {"Steps", "Steps", ""},           {"a__b", "A  B", ""},
      {"caf\xC3\xA9_au_lait", "Caf\xC3\xA9 Au Lait", ""},  // bytes beyond ASCII pass through intact
  };
  for (const Case& c : cases) {
    EXPECT_EQ(health::makeMetricLabel(c.key), std::make_pair(c.label, c.unitText)) << "key '" << c.key << "'";
  }
}

TEST(MetricCatalogue, TypesPerKey) {
  FakeHealthStore store;
  for (std::string key : {"steps", "heart_rate", "hrv", "weight", "glucose"}) {
    EXPECT_EQ(health::quantityType(store, key), health::sampleType(store, key)) << key;
    EXPECT_TRUE(health::quantityType(store, key)) << key;
  }
  EXPECT_EQ(health::quantityType(store, "heart_rate")->identifier, health::kHeartRateIdentifier);
  for (std::string key : {"sleep", "workout", "Steps", " steps", ""}) {
    EXPECT_FALSE(health::quantityType(store, key)) << key;
  }
  EXPECT_EQ(health::sampleType(store, "sleep")->kind, health::ObjectKind::category);
  EXPECT_EQ(health::sampleType(store, "workout")->kind, health::ObjectKind::workout);
  EXPECT_FALSE(health::sampleType(store, "Sleep"));
}

TEST(MetricCatalogue, QuantityUnits) {
  const std::vector<std::pair<std::string, Unit>> cases = {
      {"steps", Unit::count()},
      {"heart_rate", Unit::count().dividedBy(Unit::minute())},
      {"hrv", Unit::second(health::MetricPrefix::milli)},
      {"weight", Unit::pound()},
      {"glucose", Unit::gram(health::MetricPrefix::milli).dividedBy(Unit::liter(health::MetricPrefix::deci))},
      {"sleep", Unit::count()},
      {"workout", Unit::count()},
      {"Weight", Unit::count()},
  };
  for (const auto& [key, unit] : cases) {
    EXPECT_TRUE(health::quantityUnit(key) == unit) << key << " gave " << health::quantityUnit(key).unitString();
  }
}

// The amounts beyond bounds that come from the caller's texts are cases of
// the writeback tests; these are the ones a text cannot reach.
TEST(MetricCatalogue, BoundsPerQuantityKey) {
  for (std::string key : {"steps", "heart_rate", "hrv", "weight", "glucose"}) {
    EXPECT_TRUE(health::largestQuantity(key)->isCompatibleWithUnit(health::quantityUnit(key))) << key;
  }
  EXPECT_FALSE(health::largestQuantity("sleep"));
  auto in = [](const char* unit, double value) { return health::Quantity(*Unit::fromString(unit), value); };
  EXPECT_TRUE(health::isWithinBounds("weight", in("g", 1e7)));  // exactly the bound
  EXPECT_FALSE(health::isWithinBounds("steps", in("kg", 1)));   // does not measure steps
  EXPECT_FALSE(health::isWithinBounds("hrv", in("s", std::nan(""))));
  EXPECT_TRUE(health::isWithinBounds("sleep", in("count", 1e300)));  // no bound: only finiteness counts
  EXPECT_FALSE(health::isWithinBounds("sleep", in("count", std::numeric_limits<double>::infinity())));
}

TEST(MetricCatalogue, OutOfRangeClauses) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"weight", "is out of range for weight, which is at most 10000 kg"},
      {"steps", "is out of range for steps, which is at most 10000000 count"},
      {"sleep", "is out of range for sleep, which is at most a finite number"},
      {"Weight", "is out of range for Weight, which is at most a finite number"},
  };
  for (const auto& [key, clause] : cases) EXPECT_EQ(health::outOfRangeClause(key), clause);
}

// Everything else reads these rows, so a row that contradicts itself or
// another would surface far away (a sheet row without a label, a stored
// value in a unit that cannot hold the metric).
TEST(MetricCatalogue, RowsAgreeWithEachOther) {
  std::set<std::string_view> keys, identifiers;
  for (const health::MetricEntry& row : health::metricCatalogue()) {
    EXPECT_TRUE(keys.insert(row.key).second) << row.key;
    EXPECT_TRUE(identifiers.insert(row.typeIdentifier).second) << row.key;
    EXPECT_EQ(health::findMetric(row.key), &row);
    EXPECT_EQ(health::findMetricByTypeIdentifier(row.typeIdentifier), &row);
    EXPECT_FALSE(row.label.empty() || row.unitText.empty()) << row.key;
    bool quantity = row.kind == health::ObjectKind::quantity;
    EXPECT_EQ(quantity, row.reader == health::MetricReader::stepTotal ||
                            row.reader == health::MetricReader::latestQuantity)
        << row.key;
    EXPECT_EQ(row.cumulative, row.reader == health::MetricReader::stepTotal) << row.key;
    if (!quantity) {
      EXPECT_TRUE(row.defaultUnit.empty() && row.storedUnit.empty() && row.bound == 0) << row.key;
      continue;
    }
    std::optional<Unit> stored = Unit::fromString(row.storedUnit);
    ASSERT_TRUE(stored) << row.key;
    EXPECT_TRUE(health::quantityUnit(row.key).isCompatibleWith(*stored)) << row.key;
    EXPECT_GT(row.bound, 0) << row.key;
  }
}

TEST(MetricCatalogue, DefaultListsAreSeparateListsOfTheSevenKeys) {
  const std::vector<std::string> seven = {"steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"};
  EXPECT_EQ(health::readableTypes(), seven);
  EXPECT_EQ(health::writableTypes(), seven);
  EXPECT_NE(&health::readableTypes(), &health::writableTypes());
}

}  // namespace
}  // namespace tarnwick::testing
