// The companion tool's demo history as a clinician would look at it: each
// day's steps per source, and each night's sleep, within what a real person
// records.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

TEST(DemoEndToEndTest, DaysAndNightsLookLikeAPerson) {
  constexpr double kDay = 86'400'000;
  constexpr double kHour = 3'600'000;
  StoreHome home;
  ASSERT_EQ(home.tool({"demo"}).exitStatus, 0);
  std::istringstream lines(home.toolOutput({"dump"}));

  std::map<long long, std::map<std::string, double>> steps;  // day -> source -> steps
  std::set<std::pair<double, double>> trackerSlots, phoneSlots;
  std::map<long long, std::multiset<std::pair<double, double>>> nights;  // a night counts from midday to midday
  for (std::string text; std::getline(lines, text);) {
    nlohmann::json line = nlohmann::json::parse(text);
    std::pair<double, double> interval{line["start"].get<double>(), line["end"].get<double>()};
    if (line["type"] == "sleep") nights[std::llround(std::floor((interval.first + 12 * kHour) / kDay))].insert(interval);
    if (line["type"] != "steps") continue;
    steps[std::llround(std::floor(interval.first / kDay))][line["source"]] += line["value"].get<double>();
    (line["source"] == "Wrist Tracker" ? trackerSlots : phoneSlots).insert(interval);
  }
  // The last day and night are today's, cut off at the present.
  ASSERT_GE(steps.size(), 14u);
  ASSERT_GE(nights.size(), 14u);
  steps.erase(std::prev(steps.end()));
  nights.erase(std::prev(nights.end()));

  for (auto& [day, bySource] : steps) {
    EXPECT_TRUE(bySource["Wrist Tracker"] >= 4000 && bySource["Wrist Tracker"] <= 15000) << day;
    EXPECT_TRUE(bySource["Pocket Phone"] >= 4000 && bySource["Pocket Phone"] <= bySource["Wrist Tracker"]) << day;
  }
  // Every phone sample lies over a tracker sample, so merging adds nothing.
  for (const auto& slot : phoneSlots) EXPECT_EQ(trackerSlots.count(slot), 1u) << slot.first;

  for (const auto& [day, samples] : nights) {
    double hours = 0;
    double previousEnd = 0;
    for (const auto& [start, end] : samples) {
      EXPECT_GE(start, previousEnd) << "overlapping sleep samples count twice, night " << day;
      hours += (end - start) / kHour;
      previousEnd = end;
    }
    EXPECT_TRUE(hours >= 6 && hours <= 9) << hours << " hours, night " << day;
  }
}

}  // namespace
}  // namespace tarnwick::testing
