#include "health/metric_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
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

  store.forgetType(std::string(health::kBodyMassIdentifier));
  store.forgetType(std::string(health::kSleepAnalysisIdentifier));
  EXPECT_FALSE(health::quantityType(store, "weight"));
  EXPECT_FALSE(health::sampleType(store, "sleep"));
  EXPECT_TRUE(health::sampleType(store, "workout"));
}

TEST(MetricCatalogue, QuantityUnits) {
  FakeHealthStore store;
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
    EXPECT_TRUE(health::quantityUnit(store, key) == unit)
        << key << " gave " << health::quantityUnit(store, key).unitString();
  }
}

TEST(MetricCatalogue, BoundsPerQuantityKey) {
  // Each bound sits in the store's unit for its key, so a caller may compare
  // a stored value without converting.
  FakeHealthStore store;
  for (std::string key : {"steps", "heart_rate", "hrv", "weight", "glucose"}) {
    std::optional<health::Quantity> largest = health::largestQuantity(key);
    ASSERT_TRUE(largest) << key;
    EXPECT_TRUE(largest->isCompatibleWithUnit(health::quantityUnit(store, key))) << key;
  }
  for (std::string key : {"sleep", "workout", "Steps", ""}) EXPECT_FALSE(health::largestQuantity(key)) << key;

  auto in = [](const char* unit, double value) { return health::Quantity(*Unit::fromString(unit), value); };
  struct Case {
    std::string key;
    health::Quantity quantity;
    bool within;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {"steps", in("count", 1e7), true},
      {"steps", in("count", -1e7), true},
      {"steps", in("count", 1.0000001e7), false},
      {"steps", in("count", 1e308), false},
      {"steps", in("count", std::nan("")), false},
      {"steps", in("kg", 1), false},  // does not measure steps
      {"heart_rate", in("count/s", 16), true},
      {"heart_rate", in("Hz", 17), false},  // 1,020 a minute
      {"weight", in("lb", 22046), true},
      {"weight", in("kg", 1.7e308), false},
      {"weight", in("g", 1e7), true},
      {"glucose", in("mmol<180.15588000005408>/L", 5.5), true},
      {"glucose", in("mmol<1e400>/L", 5.5), false},  // finite as sent, infinite in mg/dL
      {"hrv", in("s", 10), true},
      {"hrv", in("s", -inf), false},
      {"sleep", in("count", 1e300), true},  // no bound: only finiteness counts
      {"sleep", in("count", inf), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(health::isWithinBounds(c.key, c.quantity), c.within)
        << c.key << " " << c.quantity.value() << " " << c.quantity.unit().unitString();
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
