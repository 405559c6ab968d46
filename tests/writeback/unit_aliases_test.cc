#include "writeback/unit_aliases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "health/metric_catalogue.h"
#include "health/units.h"

namespace tarnwick::testing {
namespace {

using writeback::acceptedUnitsText;
using writeback::unitTextFor;

const health::MetricEntry& row(std::string_view key) { return *health::findMetric(key); }

health::Unit unitOf(std::string_view text) {
  std::optional<health::Unit> unit = health::Unit::fromString(text);
  EXPECT_TRUE(unit) << text;
  return unit.value_or(health::Unit::count());
}

TEST(UnitAliasesTest, EachMetricReadsItsOwnWordsAndLeavesTheRestToTheGrammar) {
  struct Case {
    const char* key;
    const char* text;
    const char* read;
  };
  const Case cases[] = {
      {"glucose", "mmol/L", "mmol<180.15588000005408>/L"},
      {"glucose", "mmol/l", "mmol<180.15588000005408>/L"},
      // Spelt otherwise, or given to another metric, a word is left to the
      // grammar, which refuses it or reads it as the platform does.
      {"glucose", "MMOL/L", "MMOL/L"},
      {"weight", "mmol/L", "mmol/L"},
      {"hrv", "bpm", "bpm"},
      {"heart_rate", "steps", "steps"},
      {"sleep", "min", "min"},
  };
  for (const Case& c : cases) EXPECT_EQ(unitTextFor(row(c.key), c.text), c.read) << c.key << " " << c.text;

  // A caller that sends back what "sync" answered with stores the same
  // amount.
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    if (!metric.quantity) continue;
    EXPECT_EQ(unitOf(unitTextFor(metric, metric.unitText)), metric.quantity->defaultUnit) << metric.key;
  }
  // Glucose's molar mass makes millimoles a mass concentration.
  health::Quantity reading(unitOf(unitTextFor(row("glucose"), "mmol/L")), 5.5);
  EXPECT_NEAR(reading.doubleValueForUnit(unitOf("mg/dL")), 99.0857, 1e-4);
}

// The units a warning lists are units the metric really takes.
TEST(UnitAliasesTest, ListedUnitsAreTakenByTheirMetric) {
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    std::string listed(acceptedUnitsText(metric));
    if (!metric.quantity) {
      EXPECT_EQ(listed, "") << metric.key;
      continue;
    }
    ASSERT_FALSE(listed.empty()) << metric.key;
    std::vector<std::string> words;
    for (std::size_t at = 0; at <= listed.size();) {
      std::size_t stop = listed.find_first_of(", ", at);
      if (stop == std::string::npos) stop = listed.size();
      std::string word = listed.substr(at, stop - at);
      if (!word.empty() && word != "or") words.push_back(word);
      at = stop + 1;
    }
    EXPECT_GE(words.size(), 2u) << listed;
    for (const std::string& word : words) {
      EXPECT_TRUE(unitOf(unitTextFor(metric, word)).isCompatibleWith(metric.quantity->defaultUnit))
          << metric.key << " " << word;
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
