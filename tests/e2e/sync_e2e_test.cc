// "sync" through the built programs: the companion tool seeds a local store
// in a fresh data directory, then the bridge reads it as a calling
// application would, standard input to standard output.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

const json kSeven = {"steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"};

double nowMilliseconds() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

class SyncEndToEndTest : public ::testing::Test {
 protected:
  // The bridge's answer, checked for the process rules every answer keeps.
  json sync(json request, int expectedStatus = 0) const {
    ProcessResult result = home.bridge(request.dump());
    EXPECT_EQ(result.exitStatus, expectedStatus) << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput.back(), '\n');
    return json::parse(result.standardOutput);
  }

  void storeTool(std::vector<std::string> arguments, std::optional<std::string> input = std::nullopt) const {
    home.toolOutput(std::move(arguments), std::move(input));
  }

  static json nativeSync(double since) { return {{"method", "sync"}, {"sourceMode", "native"}, {"since", since}}; }

  StoreHome home;
};

TEST_F(SyncEndToEndTest, SeededStoreReadsBackAsOneSnapshot) {
  const double now = nowMilliseconds();
  const double hour = 3'600'000;
  const double since = now - 24 * hour;
  auto line = [](json fields) { return fields.dump() + "\n"; };
  std::string seed =
      line({{"type", "steps"}, {"value", 700}, {"start", since - 60'000}, {"end", since + 60'000}}) +  // starts early
      line({{"type", "steps"}, {"value", 4200}, {"start", now - 5 * hour}, {"end", now - 4 * hour}}) +
      line({{"type", "steps"}, {"value", 800}, {"start", now - 2 * hour}, {"end", now - hour}}) +
      line({{"type", "sleep"}, {"value", 0}, {"start", since - 2 * hour}, {"end", since + 6 * hour}}) +  // 480
      line({{"type", "sleep"}, {"value", 1}, {"start", since - hour}, {"end", since + 6 * hour}}) +      // 420
      line({{"type", "sleep"}, {"value", 1}, {"start", since - 30 * hour}, {"end", since - 22 * hour}}) +
      line({{"type", "heart_rate"}, {"value", 58}, {"unit", "count/min"}, {"start", now - 9 * hour}, {"end", now - 9 * hour}}) +
      line({{"type", "heart_rate"}, {"value", 72}, {"unit", "count/min"}, {"start", now - 3 * hour}, {"end", now - 3 * hour}}) +
      // A year old: latest readings have no window.
      line({{"type", "weight"}, {"value", 70}, {"unit", "kg"}, {"start", now - 8760 * hour}, {"end", now - 8760 * hour}}) +
      line({{"type", "workout"}, {"activity", 37}, {"start", now - 6 * hour}, {"end", now - 5 * hour}, {"duration", 2730}});
  storeTool({"add"}, seed);
  storeTool({"grant"});

  json answer = sync(nativeSync(since));
  ASSERT_EQ(answer["ok"], true) << answer.dump();
  const json& data = answer["data"];
  EXPECT_EQ(data["permissions"], (json{{"read", true}, {"write", true}}));
  EXPECT_EQ(data["readableTypes"], kSeven);
  EXPECT_EQ(data["writableTypes"], kSeven);
  EXPECT_EQ(data["sourceMode"], "native");
  EXPECT_GE(data["lastSyncedAt"].get<double>(), now);

  const json& metrics = data["metrics"];
  ASSERT_EQ(metrics.size(), 5u) << metrics.dump();
  EXPECT_EQ(metrics[0]["key"], "steps");
  EXPECT_EQ(metrics[0]["value"], 5000);
  EXPECT_EQ(metrics[1]["key"], "sleep");
  EXPECT_DOUBLE_EQ(metrics[1]["value"].get<double>(), 900);
  EXPECT_EQ(metrics[2], (json{{"key", "heart_rate"}, {"value", 72}, {"unit", "bpm"}, {"label", "Heart Rate"},
                              {"recordedAt", now - 3 * hour}}));
  EXPECT_EQ(metrics[3]["key"], "weight");
  EXPECT_NEAR(metrics[3]["value"].get<double>(), 154.3236, 1e-4);
  EXPECT_EQ(metrics[3]["unit"], "lb");
  // hrv and glucose hold nothing; the workout comes last.
  EXPECT_EQ(metrics[4]["key"], "workout");
  EXPECT_EQ(metrics[4]["value"], 45.5);
  ASSERT_EQ(data["records"].size(), 3u);
  EXPECT_EQ(data["records"][0]["title"], "Heart Rate Snapshot");
  EXPECT_EQ(data["records"][1]["title"], "Weight Snapshot");
  EXPECT_EQ(data["records"][2], (json{{"title", "Workout summary"},
                                     {"summary", "Running workout, 45 min."},
                                     {"recordedAt", now - 5 * hour},
                                     {"sourceLabel", "Apple Health"},
                                     {"kind", "wearable"},
                                     {"tags", {"workout", "healthkit"}}}));

  json request = nativeSync(since);
  request["readTypes"] = {"workout", "Steps", "steps"};
  json narrowed = sync(request)["data"];
  EXPECT_EQ(narrowed["readableTypes"], request["readTypes"]);
  ASSERT_EQ(narrowed["metrics"].size(), 2u);
  EXPECT_EQ(narrowed["metrics"][0]["key"], "steps");
  EXPECT_EQ(narrowed["metrics"][1]["key"], "workout");
}

TEST_F(SyncEndToEndTest, EmptyOrUnreadableStoreStillGivesZeroSteps) {
  for (std::string decision : {"grant", "deny"}) {
    storeTool({decision});
    // Someone else's samples: invisible once reading is denied.
    storeTool({"add"}, json{{"type", "heart_rate"}, {"value", 61}, {"start", nowMilliseconds() - 1000}}.dump() +
                           "\n" + json{{"type", "steps"}, {"value", 10}, {"start", 0}}.dump() + "\n");
    json data = sync(nativeSync(nowMilliseconds() - 60'000))["data"];
    EXPECT_EQ(data["permissions"]["read"], true) << decision;
    const json& metrics = data["metrics"];
    ASSERT_GE(metrics.size(), 1u) << decision;
    EXPECT_EQ(metrics[0]["key"], "steps");
    EXPECT_EQ(metrics[0]["value"], 0) << decision;
    EXPECT_EQ(metrics.size(), decision == "grant" ? 2u : 1u) << metrics.dump();
  }
}

TEST_F(SyncEndToEndTest, UndecidedReadingFailsTheWholeSync) {
  storeTool({"add"}, json{{"type", "steps"}, {"value", 10}, {"start", nowMilliseconds() - 1000}}.dump());
  json answer = sync({{"method", "SYNC"}, {"sourceMode", "Native"}}, 1);
  EXPECT_EQ(answer, (json{{"ok", false},
                          {"error",
                           {{"code", "SWIFT_ERROR"},
                            {"message",
                             "Authorization not determined for steps: ask with \"authorize\" (with --appkit, on a "
                             "display) or run \"tarnwick-store grant steps\"."}}}}));
}

TEST_F(SyncEndToEndTest, OverlappingSourcesCountOnceByPriority) {
  const double now = nowMilliseconds();
  const double hour = 3'600'000;
  auto steps = [&](const char* source, double value, double start, double end) {
    return json{{"type", "steps"}, {"value", value}, {"start", start}, {"end", end}, {"source", source}}.dump() + "\n";
  };
  // The phone counted the same walk as the watch, and a little more after.
  storeTool({"add"}, steps("Watch", 3000, now - 3 * hour, now - 2 * hour) +
                         steps("Phone", 2000, now - 3 * hour, now - 1 * hour));
  storeTool({"grant"});
  auto total = [&] { return sync(nativeSync(now - 24 * hour))["data"]["metrics"][0]["value"]; };
  EXPECT_EQ(total(), 4000);
  storeTool({"prefer", "Phone"});
  EXPECT_EQ(total(), 2000);
}

// A store written by an older version, or edited by hand, may hold values no
// write accepts today; SQLite keeps 9e999 as an infinite REAL.
TEST_F(SyncEndToEndTest, StoredValuesBeyondTheirBoundAreLeftOut) {
  const double now = nowMilliseconds();
  storeTool({"add"}, json{{"type", "heart_rate"}, {"value", 64}, {"start", now - 120'000}}.dump() + "\n" +
                         json{{"type", "steps"}, {"value", 500}, {"start", now - 120'000}}.dump() + "\n");
  storeTool({"grant"});
  const std::string columns = "INSERT INTO samples (type, start, end, value, unit, source) VALUES ";
  const std::string at = std::to_string((now - 60'000) / 1000);
  const std::string statements =
      columns + "('HKQuantityTypeIdentifierHeartRate', " + at + ", " + at + ", 9e999, 'count/min', 'Old');" +
      columns + "('HKQuantityTypeIdentifierStepCount', " + at + ", " + at + ", -9e999, 'count', 'Old');" +
      // Each finite, but their sum is not.
      columns + "('HKQuantityTypeIdentifierStepCount', " + at + ", " + at + ", 1e308, 'count', 'Old');" +
      columns + "('HKQuantityTypeIdentifierStepCount', " + at + ", " + at + ", 1e308, 'count', 'Other');";
  if (!StoreHome::hasSqliteShell()) GTEST_SKIP() << "needs the sqlite3 shell (scripts/setup)";
  ProcessResult edited = home.sqlite(statements);
  ASSERT_EQ(edited.exitStatus, 0) << edited.standardError;

  json answer = sync(nativeSync(now - 3'600'000));
  ASSERT_EQ(answer["ok"], true) << answer.dump();
  std::map<std::string, json> values;
  for (const json& metric : answer["data"]["metrics"]) values[metric["key"]] = metric["value"];
  EXPECT_EQ(values["steps"], 500);
  EXPECT_EQ(values["heart_rate"], 64);
}

TEST_F(SyncEndToEndTest, ImportConnectionLeavesNoStoreBehind) {
  const double before = nowMilliseconds();
  json answer = sync({{"method", "sync"}, {"sourceMode", "import-only"}, {"readTypes", {"steps"}}});
  ASSERT_EQ(answer["ok"], true);
  json data = answer["data"];
  EXPECT_GE(data["lastSyncedAt"].get<double>(), before);
  data.erase("lastSyncedAt");
  EXPECT_EQ(data, (json{{"permissions", {{"read", false}, {"write", false}}},
                        {"readableTypes", json::array()},
                        {"writableTypes", json::array()},
                        {"metrics", json::array()},
                        {"records", json::array()},
                        {"sourceMode", "import"}}));
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

}  // namespace
}  // namespace tarnwick::testing
