#include "health/metric_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::ObjectKind;
using health::Unit;

struct LabelCase {
  std::string key;
  std::string label;
  std::string unitText;
};

TEST(MetricCatalogue, LabelsAndUnitTexts) {
  const std::vector<LabelCase> cases = {
      {"steps", "Steps", "steps"},
      {"sleep", "Sleep", "min"},
      {"heart_rate", "Heart Rate", "bpm"},
      {"hrv", "HRV", "ms"},
      {"weight", "Weight", "lb"},
      {"glucose", "Glucose", "mg/dL"},
      {"workout", "Training Load", "min"},
      // Outside the catalogue: a label made from the key, no unit text.
      {"", "", ""},
      {"blood_oxygen_level", "Blood Oxygen Level", ""},
      {"HEART_RATE", "Heart Rate", ""},
      {"Steps", "Steps", ""},
      {"hRV", "Hrv", ""},
      {"a__b", "A  B", ""},
      {"_lead", " Lead", ""},
      {"caf\xC3\xA9_au_lait", "Caf\xC3\xA9 Au Lait", ""},  // bytes beyond ASCII pass through intact
  };
  for (const LabelCase& c : cases) {
    auto [label, unitText] = health::makeMetricLabel(c.key);
    EXPECT_EQ(label, c.label) << "key '" << c.key << "'";
    EXPECT_EQ(unitText, c.unitText) << "key '" << c.key << "'";
  }
}

TEST(MetricCatalogue, QuantityTypesOnlyForTheFiveQuantityKeys) {
  FakeHealthStore store;
  const std::vector<std::pair<std::string, std::string_view>> quantityKeys = {
      {"steps", health::kStepCountIdentifier},
      {"heart_rate", health::kHeartRateIdentifier},
      {"hrv", health::kHeartRateVariabilityIdentifier},
      {"weight", health::kBodyMassIdentifier},
      {"glucose", health::kBloodGlucoseIdentifier},
  };
  for (const auto& [key, identifier] : quantityKeys) {
    auto type = health::quantityType(store, key);
    ASSERT_TRUE(type) << key;
    EXPECT_EQ(type->identifier, identifier);
    EXPECT_EQ(type->kind, ObjectKind::quantity);
  }
  for (std::string key : {"sleep", "workout", "Steps", " steps", "pulse", ""}) {
    EXPECT_FALSE(health::quantityType(store, key)) << key;
  }
}

TEST(MetricCatalogue, TypeTheStoreDoesNotKnowIsNothing) {
  FakeHealthStore store;
  store.forgetType(std::string(health::kBodyMassIdentifier));
  store.forgetType(std::string(health::kSleepAnalysisIdentifier));
  EXPECT_FALSE(health::quantityType(store, "weight"));
  EXPECT_FALSE(health::sampleType(store, "weight"));
  EXPECT_FALSE(health::sampleType(store, "sleep"));
  EXPECT_TRUE(health::sampleType(store, "workout"));
}

TEST(MetricCatalogue, SampleTypesFollowTheKindOfEachKey) {
  FakeHealthStore store;
  auto sleep = health::sampleType(store, "sleep");
  ASSERT_TRUE(sleep);
  EXPECT_EQ(sleep->kind, ObjectKind::category);
  EXPECT_EQ(sleep->identifier, health::kSleepAnalysisIdentifier);
  auto workout = health::sampleType(store, "workout");
  ASSERT_TRUE(workout);
  EXPECT_EQ(workout->kind, ObjectKind::workout);
  auto glucose = health::sampleType(store, "glucose");
  ASSERT_TRUE(glucose);
  EXPECT_EQ(glucose->identifier, health::kBloodGlucoseIdentifier);
  EXPECT_FALSE(health::sampleType(store, "Sleep"));
  EXPECT_FALSE(health::sampleType(store, "calories"));
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
      {"unknown", Unit::count()},
  };
  for (const auto& [key, unit] : cases) {
    EXPECT_TRUE(health::quantityUnit(store, key) == unit)
        << key << " gave " << health::quantityUnit(store, key).unitString();
  }
}

TEST(MetricCatalogue, DefaultListsHoldTheSevenKeysInOrder) {
  const std::vector<std::string> seven = {"steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"};
  EXPECT_EQ(health::readableTypes(), seven);
  EXPECT_EQ(health::writableTypes(), seven);
  EXPECT_NE(&health::readableTypes(), &health::writableTypes());
}

TEST(MetricCatalogue, KeyForTypeIdentifier) {
  EXPECT_EQ(health::metricKeyForTypeIdentifier(health::kSleepAnalysisIdentifier), "sleep");
  EXPECT_EQ(health::metricKeyForTypeIdentifier(health::kWorkoutTypeIdentifier), "workout");
  EXPECT_EQ(health::metricKeyForTypeIdentifier(health::kHeartRateIdentifier), "heart_rate");
  EXPECT_FALSE(health::metricKeyForTypeIdentifier("HKQuantityTypeIdentifierBodyTemperature"));
}

}  // namespace
}  // namespace tarnwick::testing
