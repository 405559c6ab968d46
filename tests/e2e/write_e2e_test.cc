// "write" through the built programs on a local store in a fresh data
// directory: what was written reads back through "sync" and the companion
// tool, and refused saves change nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class WriteEndToEndTest : public ::testing::Test {
 protected:
  ProcessResult bridge(const json& request) const { return home.bridge(request.dump()); }

  std::string storeTool(std::vector<std::string> arguments) const { return home.toolOutput(std::move(arguments)); }

  std::vector<json> dump() const {
    std::vector<json> lines;
    std::istringstream text(storeTool({"dump"}));
    for (std::string line; std::getline(text, line);) lines.push_back(json::parse(line));
    return lines;
  }

  // Items as a vector: a braced list holding one json would be the item
  // itself, not a one-element array, under some compilers.
  static json writeRequest(const std::vector<json>& items) {
    return {{"method", "write"}, {"sourceMode", "native"}, {"items", json(items)}};
  }

  static json item(const std::string& id, const std::string& type, const std::string& value) {
    return {{"id", id}, {"type", type}, {"label", type}, {"value", value}};
  }

  StoreHome home;
};

json metricNamed(const json& syncData, const std::string& key) {
  for (const json& metric : syncData["metrics"]) {
    if (metric["key"] == key) return metric;
  }
  ADD_FAILURE() << "no metric " << key << " in " << syncData.dump();
  return json::object();
}

TEST_F(WriteEndToEndTest, WrittenSamplesReadBackInTheCatalogueUnits) {
  storeTool({"grant"});
  json weight = item("w1", "weight", "70");
  weight["unit"] = "kg";
  weight["startDate"] = 1'700'000'000'000.0;
  json glucose = item("g1", "glucose", "5.5");
  glucose["unit"] = "mmol<180.15588000005408>/L";
  glucose["endDate"] = 1'700'000'001'000.0;
  json run = item("r1", "workout", "");
  run["startDate"] = 1'700'000'002'000.0;
  run["endDate"] = 1'700'001'802'000.0;
  json bad = item("x", "weight", "inf");

  ProcessResult written = bridge(writeRequest({weight, glucose, run, bad, item("y", "calories", "3")}));
  EXPECT_EQ(written.exitStatus, 0);
  EXPECT_EQ(written.standardOutput,
            R"({"ok":true,"data":{"writtenCount":3,"warnings":["Skipped item 'x': its value is not a finite number.",)"
            R"("Unsupported writeback type: calories"]}})"
            "\n");

  std::vector<json> lines = dump();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["type"], "weight");
  EXPECT_EQ(lines[0]["source"], "Tarnwick");
  EXPECT_EQ(lines[2], json::parse(R"({"type":"workout","activity":37,"start":1700000002000,"end":1700001802000,)"
                                  R"("duration":1800,"source":"Tarnwick","metadata":{"HKIndoorWorkout":true,)"
                                  R"("HKMetadataKeySyncIdentifier":"r1","HKMetadataKeySyncVersion":1.0}})"));

  ProcessResult synced = bridge({{"method", "sync"}, {"sourceMode", "native"}, {"since", 1'600'000'000'000.0}});
  ASSERT_EQ(synced.exitStatus, 0) << synced.standardOutput;
  json data = json::parse(synced.standardOutput)["data"];
  json pounds = metricNamed(data, "weight");
  EXPECT_EQ(pounds["unit"], "lb");
  EXPECT_DOUBLE_EQ(pounds["value"].get<double>(), 70 / 0.45359237);
  json milligrams = metricNamed(data, "glucose");
  EXPECT_EQ(milligrams["unit"], "mg/dL");
  EXPECT_NEAR(milligrams["value"].get<double>(), 5.5 * 18.015588, 1e-6);
  EXPECT_EQ(metricNamed(data, "workout")["value"], 30);
}

// Each way an accepted "write" once stored a value that made every later sum
// infinite, and so every later "sync" unencodable: the item is skipped with
// a warning, the rest is saved, and "sync" still answers with numbers.
TEST_F(WriteEndToEndTest, AbsurdAmountsAreSkippedAndSyncStaysReadable) {
  storeTool({"grant"});
  auto withUnit = [](json base, const std::string& unit) {
    base["unit"] = unit;
    return base;
  };
  struct Case {
    std::vector<json> items;
    std::vector<std::string> warnings;
  };
  const std::vector<Case> cases = {
      {{withUnit(item("w", "weight", "1.7e308"), "kg")},
       {"Skipped item 'w': its value is out of range for weight, which is at most 10000 kg."}},
      {{withUnit(item("g", "glucose", "5.5"), "mmol<1e400>/L")},
       {"Skipped item 'g': its value is out of range for glucose, which is at most 100000 mg/dL."}},
      {{item("s1", "steps", "1e308"), item("s2", "steps", "1e308")},
       {"Skipped item 's1': its value is out of range for steps, which is at most 10000000 count.",
        "Skipped item 's2': its value is out of range for steps, which is at most 10000000 count."}},
  };
  int saved = 0;
  for (const Case& c : cases) {
    std::vector<json> items = c.items;
    items.push_back(item("fine-" + std::to_string(saved), "steps", "1000"));
    ProcessResult written = bridge(writeRequest(items));
    EXPECT_EQ(written.exitStatus, 0);
    EXPECT_EQ(json::parse(written.standardOutput),
              json({{"ok", true}, {"data", {{"writtenCount", 1}, {"warnings", c.warnings}}}}));
    ++saved;

    ProcessResult synced = bridge({{"method", "sync"}, {"sourceMode", "native"}});
    ASSERT_EQ(synced.exitStatus, 0) << synced.standardOutput;
    json envelope = json::parse(synced.standardOutput);
    ASSERT_EQ(envelope["ok"], true) << synced.standardOutput;
    EXPECT_EQ(metricNamed(envelope["data"], "steps")["value"], 1000 * saved);
  }
  EXPECT_EQ(dump().size(), static_cast<std::size_t>(saved));
}

TEST_F(WriteEndToEndTest, TheStoreToolRefusesAnAbsurdLineByItsNumber) {
  ProcessResult refused = home.tool({"add"}, R"({"type":"weight","value":70,"unit":"kg","start":0})" "\n"
                                            R"({"type":"weight","value":1.7e308,"unit":"kg","start":0})" "\n");
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.standardError,
            "tarnwick-store: line 2: \"value\" is out of range for weight, which is at most 10000 kg\n");
  EXPECT_TRUE(dump().empty());
}

TEST_F(WriteEndToEndTest, RefusedSavesLeaveTheStoreUnchanged) {
  storeTool({"grant"});
  ASSERT_EQ(bridge(writeRequest({item("a", "steps", "5")})).exitStatus, 0);
  std::vector<json> before = dump();
  ASSERT_EQ(before.size(), 1u);

  struct Case {
    const char* command;
    const char* message;
  };
  for (const Case& c :
       {Case{"deny", "Not authorized for weight: run \"tarnwick-store grant weight\", or \"tarnwick-store reset "
                     "weight\" and ask with \"authorize\" again."},
        Case{"reset", "Authorization not determined for weight: ask with \"authorize\" (with --appkit, on a display) "
                      "or run \"tarnwick-store grant weight\"."}}) {
    storeTool({c.command, "weight"});
    ProcessResult refused = bridge(writeRequest({item("b", "steps", "7"), item("c", "weight", "150")}));
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(json::parse(refused.standardOutput),
              json({{"ok", false}, {"error", {{"code", "SWIFT_ERROR"}, {"message", c.message}}}}));
    EXPECT_EQ(dump(), before) << c.command;
  }
}

TEST_F(WriteEndToEndTest, ImportConnectionsAreRefusedWithoutCreatingAStore) {
  ProcessResult refused =
      bridge({{"method", "write"}, {"sourceMode", "import"}, {"items", {item("a", "steps", "1")}}});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.standardOutput,
            R"({"ok":false,"error":{"code":"BRIDGE_ERROR",)"
            R"("message":"Writeback is only available for native Apple Health connections."}})"
            "\n");
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

}  // namespace
}  // namespace tarnwick::testing
