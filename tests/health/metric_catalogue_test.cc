#include "health/metric_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace tarnwick::testing {
namespace {

using health::Unit;

const health::MetricEntry& row(std::string_view key) { return *health::findMetric(key); }

TEST(MetricCatalogue, KeysAreMatchedExactly) {
  for (std::string key : {"Steps", " steps", "HEART_RATE", "", "pulse"}) EXPECT_FALSE(health::findMetric(key)) << key;
  EXPECT_FALSE(health::findMetricByTypeIdentifier("HKQuantityTypeIdentifierNoSuchThing"));
}

TEST(MetricCatalogue, DefaultUnits) {
  const std::vector<std::pair<std::string, Unit>> cases = {
      {"steps", Unit::count()},
      {"heart_rate", Unit::count().dividedBy(Unit::minute())},
      {"hrv", Unit::second(health::MetricPrefix::milli)},
      {"weight", Unit::pound()},
      {"glucose", Unit::gram(health::MetricPrefix::milli).dividedBy(Unit::liter(health::MetricPrefix::deci))},
  };
  for (const auto& [key, unit] : cases) {
    const Unit& given = row(key).quantity->defaultUnit;
    EXPECT_TRUE(given == unit) << key << " gave " << given.unitString();
  }
}

// The amounts beyond bounds that come from the caller's texts are cases of
// the writeback tests; these are the ones a text cannot reach.
TEST(MetricCatalogue, Bounds) {
  auto in = [](const char* unit, double value) { return health::Quantity(*Unit::fromString(unit), value); };
  EXPECT_TRUE(health::isWithinBounds(row("weight"), in("g", 1e7)));  // exactly the bound
  EXPECT_FALSE(health::isWithinBounds(row("weight"), in("g", 1.0000001e7)));
  EXPECT_FALSE(health::isWithinBounds(row("steps"), in("kg", 1)));  // does not measure steps
  EXPECT_FALSE(health::isWithinBounds(row("hrv"), in("s", std::nan(""))));
  EXPECT_TRUE(health::isWithinBounds(row("sleep"), in("count", 1e300)));  // no bound: only finiteness counts
  EXPECT_FALSE(health::isWithinBounds(row("sleep"), in("count", std::numeric_limits<double>::infinity())));

  const std::vector<std::pair<std::string, std::string>> clauses = {
      {"weight", "is out of range for weight, which is at most 10000 kg"},
      {"steps", "is out of range for steps, which is at most 10000000 count"},
      {"sleep", "is out of range for sleep, which is at most a finite number"},
  };
  for (const auto& [key, clause] : clauses) EXPECT_EQ(health::outOfRangeClause(row(key)), clause);
}

// Everything else reads these rows, so a row that contradicts itself or
// another would surface far away (a sheet row without a label, a stored
// value in a unit that cannot hold the metric, a write of a category value
// its own store refuses).
TEST(MetricCatalogue, RowsAgreeWithEachOther) {
  std::set<std::string_view> keys;
  std::set<std::string> identifiers;
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    EXPECT_TRUE(keys.insert(metric.key).second) << metric.key;
    EXPECT_TRUE(identifiers.insert(metric.type.identifier).second) << metric.key;
    EXPECT_EQ(health::findMetric(metric.key), &metric);
    EXPECT_EQ(health::findMetricByTypeIdentifier(metric.type.identifier), &metric);
    EXPECT_FALSE(metric.label.empty() || metric.unitText.empty()) << metric.key;
    bool quantity = metric.kind() == health::ObjectKind::quantity;
    EXPECT_EQ(quantity, metric.quantity.has_value()) << metric.key;
    EXPECT_EQ(quantity, metric.reader == health::MetricReader::cumulativeTotal ||
                            metric.reader == health::MetricReader::latestQuantity)
        << metric.key;
    EXPECT_EQ(metric.kind() == health::ObjectKind::category, metric.category.has_value()) << metric.key;
    EXPECT_EQ(metric.kind() == health::ObjectKind::category, metric.reader == health::MetricReader::categoryMinutes)
        << metric.key;
    if (metric.quantity) {
      EXPECT_TRUE(metric.quantity->defaultUnit.isCompatibleWith(metric.quantity->storedUnit)) << metric.key;
      EXPECT_TRUE(metric.quantity->largest.unit() == metric.quantity->storedUnit) << metric.key;
      EXPECT_GT(metric.quantity->largest.value(), 0) << metric.key;
    }
    if (metric.category) {
      EXPECT_LE(metric.category->lowest, metric.category->written) << metric.key;
      EXPECT_LE(metric.category->written, metric.category->highest) << metric.key;
    }
  }
}

TEST(MetricCatalogue, DefaultListsAreSeparateListsOfTheCatalogueKeys) {
  std::vector<std::string> keys;
  for (const health::MetricEntry& metric : health::metricCatalogue()) keys.emplace_back(metric.key);
  EXPECT_EQ(health::readableTypes(), keys);
  EXPECT_EQ(health::writableTypes(), keys);
  EXPECT_NE(&health::readableTypes(), &health::writableTypes());
}

}  // namespace
}  // namespace tarnwick::testing
