// The companion tool's demo history as a clinician would look at it: each
// day's steps per source and once sources are merged, and each night's
// sleep, within what a real person records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/bridge_process.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

constexpr double kDayMilliseconds = 86'400'000;
constexpr double kHourMilliseconds = 3'600'000;

struct Interval {
  double start, end;
};

// The part of `sample` that none of `cover` (sorted by start) overlaps.
double uncoveredFraction(const Interval& sample, const std::vector<Interval>& cover) {
  double length = sample.end - sample.start;
  if (length <= 0) return 0;
  double uncovered = 0;
  double at = sample.start;
  for (const Interval& other : cover) {
    if (other.end <= at) continue;
    if (other.start >= sample.end) break;
    uncovered += std::max(0.0, other.start - at);
    at = std::max(at, other.end);
    if (at >= sample.end) break;
  }
  uncovered += std::max(0.0, sample.end - at);
  return uncovered / length;
}

TEST(DemoEndToEndTest, DaysAndNightsLookLikeAPerson) {
  TemporaryDirectory dataHome;
  auto tool = [&](std::vector<std::string> arguments) {
    ProcessOptions options = inDataHome(dataHome.path());
    options.arguments = std::move(arguments);
    ProcessResult result = runProcess(builtProgram("tarnwick-store"), options);
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    return result.standardOutput;
  };
  tool({"demo"});

  std::map<long long, std::vector<Interval>> trackerSteps;
  std::map<long long, std::vector<std::pair<Interval, double>>> phoneSteps;
  std::map<long long, double> trackerTotal, phoneTotal;
  std::map<long long, std::vector<Interval>> nights;  // by the day the night ends, midday to midday
  std::istringstream lines(tool({"dump"}));
  for (std::string text; std::getline(lines, text);) {
    json line = json::parse(text);
    Interval interval{line["start"].get<double>(), line["end"].get<double>()};
    if (line["type"] == "sleep") {
      nights[std::llround(std::floor((interval.start + 12 * kHourMilliseconds) / kDayMilliseconds))].push_back(interval);
    }
    if (line["type"] != "steps") continue;
    auto day = std::llround(std::floor(interval.start / kDayMilliseconds));
    double count = line["value"].get<double>();
    if (line["source"] == "Wrist Tracker") {
      trackerSteps[day].push_back(interval);
      trackerTotal[day] += count;
    } else {
      phoneSteps[day].push_back({interval, count});
      phoneTotal[day] += count;
    }
  }
  // The last day and night are today's, cut off at the present.
  ASSERT_GE(trackerTotal.size(), 14u);
  ASSERT_GE(nights.size(), 14u);
  trackerTotal.erase(std::prev(trackerTotal.end()));
  nights.erase(std::prev(nights.end()));

  for (auto& [day, total] : trackerTotal) {
    SCOPED_TRACE("day " + std::to_string(day));
    std::sort(trackerSteps[day].begin(), trackerSteps[day].end(),
              [](const Interval& a, const Interval& b) { return a.start < b.start; });
    // The phone counts only what the tracker's samples leave uncovered.
    double merged = total;
    for (const auto& [interval, count] : phoneSteps[day]) merged += count * uncoveredFraction(interval, trackerSteps[day]);
    EXPECT_GE(total, 4000);
    EXPECT_LE(total, 15000);
    EXPECT_GE(phoneTotal[day], 4000);
    EXPECT_LE(phoneTotal[day], total);
    EXPECT_GE(merged, 4000);
    EXPECT_LE(merged, 15000);
  }

  for (auto& [day, samples] : nights) {
    SCOPED_TRACE("night ending on day " + std::to_string(day));
    std::sort(samples.begin(), samples.end(), [](const Interval& a, const Interval& b) { return a.start < b.start; });
    double hours = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      hours += (samples[i].end - samples[i].start) / kHourMilliseconds;
      if (i > 0) {
        EXPECT_GE(samples[i].start, samples[i - 1].end) << "overlapping sleep samples count twice";
      }
    }
    EXPECT_GE(hours, 6);
    EXPECT_LE(hours, 9);
  }
}

}  // namespace
}  // namespace tarnwick::testing
