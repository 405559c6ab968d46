// The bridge built with the native backend (tarnwick-native, over the
// stand-in framework over the local store) against the bridge on the local
// store directly (tarnwick): the same store and the same request must give
// the same answer, byte for byte, apart from readings of the clock.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/store_home.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

// One data directory per bridge, prepared the same way.
class StorePair {
 public:
  void tool(const std::vector<std::string>& arguments, const std::string& input = "") {
    for (const StoreHome* home : {&nativeHome_, &localHome_}) home->toolOutput(arguments, input);
  }

  ProcessResult native(const json& request, std::vector<std::string> arguments = {},
                       std::map<std::string, std::string> environment = {}) const {
    ProcessOptions options = nativeHome_.options(std::move(arguments), request.dump());
    options.environment.merge(environment);
    return runProcess(builtProgram("tarnwick-native"), options);
  }

  ProcessResult local(const json& request) const { return localHome_.bridge(request.dump()); }

  std::string nativeDump() const { return nativeHome_.toolOutput({"dump"}); }

 private:
  StoreHome nativeHome_;
  StoreHome localHome_;
};

// The response without what depends on when it was made: the sync time and
// the step metric's reading time.
std::string withoutClock(const std::string& response) {
  json parsed = json::parse(response, nullptr, false);
  if (parsed.is_discarded() || !parsed.contains("data") || !parsed["data"].is_object()) return response;
  json& data = parsed["data"];
  data.erase("lastSyncedAt");
  if (data.contains("metrics"))
    for (json& metric : data["metrics"])
      if (metric["key"] == "steps") metric.erase("recordedAt");
  return parsed.dump();
}

std::string sampleLines() {
  return R"({"type":"weight","value":72.5,"unit":"kg","start":1600000000000,"end":1600000000000,"source":"Scale"})"
         "\n"
         R"({"type":"heart_rate","value":61,"unit":"count/min","start":1600000500000,"end":1600000500000,"source":"Watch"})"
         "\n"
         R"({"type":"glucose","value":5.4,"unit":"mmol<180.15588000005408>/L","start":1600000600000,"end":1600000600000,"source":"Meter"})"
         "\n";
}

json request(const std::string& method, json fields = json::object()) {
  json made = {{"method", method}, {"sourceMode", "native"}};
  made.update(fields);
  return made;
}

json item(const std::string& id, const std::string& type, const std::string& value, json extra = json::object()) {
  json made = {{"id", id}, {"type", type}, {"label", type}, {"value", value}};
  made.update(extra);
  return made;
}

TEST(NativeBridgeTest, AnswersAsTheLocalStoreBridgeDoes) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> setup;  // tarnwick-store commands
    json request;
  };
  const json items = {
      item("w-1", "workout", "", {{"startDate", 1600001000000.0}, {"endDate", 1600002800000.0}}),
      item("s-1", "sleep", "", {{"startDate", 1599990000000.0}, {"endDate", 1600000000000.0}}),
      item("m-1", "weight", "165.5", {{"unit", "lb"}, {"endDate", 1600003000000.0}}),
      item("x-1", "Steps", "10"),
  };
  const Case cases[] = {
      {"authorize on a decided store", {{"grant"}}, request("authorize", {{"readTypes", {"steps", "nope", "sleep"}}})},
      {"authorize on a denied store", {{"deny"}}, request("authorize", {{"writeTypes", {"weight"}}})},
      {"authorize needing the sheet", {{"grant", "steps"}}, request("authorize", {{"writeTypes", {"weight"}}})},
      {"sync of seeded samples", {{"grant"}, {"add"}}, request("sync")},
      {"sync of an undecided store", {{"add"}}, request("sync")},
      {"sync of a denied store", {{"deny"}, {"add"}}, request("sync")},
      {"write of every kind", {{"grant"}}, request("write", {{"items", items}})},
      {"write to a denied store", {{"deny"}}, request("write", {{"items", items}})},
      {"write to an undecided store", {}, request("write", {{"items", items}})},
      {"write of a bad unit", {{"grant"}}, request("write", {{"items", {item("m", "weight", "1", {{"unit", "m/s"}})}}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StorePair stores;
    for (const auto& command : c.setup) stores.tool(command, command[0] == "add" ? sampleLines() : "");
    ProcessResult native = stores.native(c.request);
    ProcessResult local = stores.local(c.request);
    EXPECT_EQ(native.exitStatus, local.exitStatus);
    EXPECT_EQ(withoutClock(native.standardOutput), withoutClock(local.standardOutput));
    EXPECT_EQ(native.standardError, "");
  }
}

TEST(NativeBridgeTest, WhatTheNativeBridgeWritesSyncsBackAndARepeatedWorkoutIsStoredOnce) {
  StorePair stores;
  stores.tool({"grant"});
  const json write = request(
      "write", {{"items",
                 {item("run-1", "workout", "", {{"startDate", 1600001000000.0}, {"endDate", 1600002800000.0}}),
                  item("m-1", "weight", "165.5", {{"unit", "lb"}, {"endDate", 1600003000000.0}})}}});
  for (int attempt = 0; attempt < 2; ++attempt) {
    ProcessResult written = stores.native(write);
    ASSERT_EQ(written.exitStatus, 0) << written.standardOutput;
    EXPECT_EQ(written.standardOutput, R"({"ok":true,"data":{"writtenCount":2,"warnings":[]}})" "\n");
  }
  std::istringstream dump(stores.nativeDump());
  int workouts = 0;
  for (std::string line; std::getline(dump, line);) {
    json sample = json::parse(line);
    if (sample["type"] != "workout") continue;
    ++workouts;
    EXPECT_EQ(sample["metadata"]["HKMetadataKeySyncIdentifier"], "run-1");
    EXPECT_EQ(sample["metadata"]["HKMetadataKeySyncVersion"], 1.0);
    EXPECT_EQ(sample["metadata"]["HKIndoorWorkout"], true);
    EXPECT_EQ(sample["source"], "Tarnwick");
  }
  EXPECT_EQ(workouts, 1);

  json synced = json::parse(stores.native(request("sync")).standardOutput);
  ASSERT_TRUE(synced["ok"]) << synced;
  std::map<std::string, json> metrics;
  for (const json& metric : synced["data"]["metrics"]) metrics[metric["key"]] = metric;
  EXPECT_NEAR(metrics["weight"]["value"].get<double>(), 165.5, 1e-9);
  EXPECT_EQ(metrics["weight"]["unit"], "lb");
  EXPECT_EQ(metrics["workout"]["value"], 30);
}

TEST(NativeBridgeTest, TheApplicationShellConfiguresTheApplicationThenAnswersAsDirectModeDoes) {
  StorePair stores;
  stores.tool({"grant"});
  TemporaryDirectory logs;
  const std::string log = logs.file("appkit.log");
  const json authorize = request("authorize", {{"readTypes", {"steps"}}, {"writeTypes", {"weight"}}});
  ProcessResult shell = stores.native(authorize, {"--appkit"}, {{"TARNWICK_STANDIN_APPKIT_LOG", log}});
  ProcessResult direct = stores.native(authorize);
  EXPECT_EQ(shell.exitStatus, 0);
  EXPECT_EQ(shell.standardOutput, direct.standardOutput);
  EXPECT_EQ(shell.standardError, "");

  std::istringstream calls(readFile(log).value_or(""));
  std::vector<std::string> lines;
  for (std::string line; std::getline(calls, line);) lines.push_back(line);
  // Policy, then delegate, then run; activation before the request starts
  // (the request answered, so it started after the last line).
  EXPECT_EQ(lines, (std::vector<std::string>{"sharedApplication", "setActivationPolicy: 1",
                                             "setDelegate: BridgeAppDelegate", "run",
                                             "applicationDidFinishLaunching:", "activateIgnoringOtherApps: 1"}));
}

}  // namespace
}  // namespace tarnwick::testing
