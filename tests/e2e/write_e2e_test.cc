// "write" through the built programs on a local store in a fresh data
// directory: what was written reads back through "sync" and the companion
// tool, and refused saves change nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
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

double nowMilliseconds() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

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

// The mistakes a year-long import made: dates in seconds or microseconds, a
// correction sent as a negative amount, a night that spans days. Each item
// is left out with the likely mistake, the rest is saved; the companion
// tool still takes such data, as the platform would from another app.
TEST_F(WriteEndToEndTest, ImplausibleItemsAreSkippedWithTheLikelyMistake) {
  storeTool({"grant"});
  const double now = nowMilliseconds();
  const double hour = 3'600'000;
  auto dated = [](json base, std::optional<double> start, std::optional<double> end) {
    if (start) base["startDate"] = *start;
    if (end) base["endDate"] = *end;
    return base;
  };
  json seconds = dated(item("s", "weight", "150"), std::nullopt, std::floor(now / 1000));
  json microseconds = dated(item("u", "weight", "150"), std::nullopt, now * 1000);
  json negative = dated(item("n", "steps", "-900"), now - hour, now);
  json longNight = dated(item("z", "sleep", ""), now - 49 * hour, now);
  json noPulse = dated(item("h", "heart_rate", "0"), std::nullopt, now);
  json fine = dated(item("ok", "steps", "0"), now - hour, now);

  ProcessResult written = bridge(writeRequest({seconds, microseconds, negative, longNight, noPulse, fine}));
  EXPECT_EQ(written.exitStatus, 0);
  EXPECT_EQ(json::parse(written.standardOutput),
            json({{"ok", true},
                  {"data",
                   {{"writtenCount", 1},
                    {"warnings",
                     {"Skipped item 's': its end date is before 1980; timestamps are milliseconds since 1970, and "
                      "this looks like seconds.",
                      "Skipped item 'u': its end date is more than a day in the future; timestamps are milliseconds "
                      "since 1970, and this looks like microseconds.",
                      "Skipped item 'n': its value is negative, which no reading of steps can be; a write adds "
                      "readings, so send the corrected reading rather than a difference.",
                      "Skipped item 'z': it lasts more than 48 hours, which no sleep does; its start and end dates "
                      "likely belong to different sessions.",
                      "Skipped item 'h': its value is 0, which is no reading of heart_rate; leave out a reading the "
                      "device did not take rather than sending 0."}}}}}));
  EXPECT_EQ(dump().size(), 1u);

  json odd = {{"type", "steps"}, {"value", -900}, {"start", 1'700'000'000}};
  ProcessResult seeded = home.tool({"add"}, odd.dump() + "\n");
  EXPECT_EQ(seeded.exitStatus, 0) << seeded.standardError;
  EXPECT_EQ(dump().size(), 2u);
}

// The unit texts "sync" answers with and glucose in millimoles are taken;
// a unit the type cannot take is refused with the units it can.
TEST_F(WriteEndToEndTest, UnitsACallerNaturallySendsAreTaken) {
  storeTool({"grant"});
  const double now = nowMilliseconds();
  auto sent = [&](json base, const std::string& unit, double minutesAgo) {
    base["unit"] = unit;
    base["endDate"] = now - minutesAgo * 60'000;
    return base;
  };
  ProcessResult written = bridge(writeRequest({
      sent(item("g1", "glucose", "6.1"), "mmol/l", 20), sent(item("g2", "glucose", "5.5"), "mmol/L", 10),
      sent(item("h", "heart_rate", "61"), "bpm", 10), sent(item("s", "steps", "1200"), "steps", 10),
      sent(item("x", "glucose", "5.5"), "kg", 5), sent(item("y", "heart_rate", "61"), "BPM", 5)}));
  EXPECT_EQ(written.exitStatus, 0);
  EXPECT_EQ(json::parse(written.standardOutput),
            json({{"ok", true},
                  {"data",
                   {{"writtenCount", 4},
                    {"warnings",
                     {"Skipped item 'x': its unit 'kg' does not measure glucose, which takes mg/dL or mmol/L.",
                      "Skipped item 'y': 'BPM' is not a unit; heart_rate takes count/min or bpm."}}}}}));

  ProcessResult synced = bridge({{"method", "sync"}, {"sourceMode", "native"}, {"since", now - 3'600'000}});
  ASSERT_EQ(synced.exitStatus, 0) << synced.standardOutput;
  json data = json::parse(synced.standardOutput)["data"];
  json glucose = metricNamed(data, "glucose");
  EXPECT_EQ(glucose["unit"], "mg/dL");
  EXPECT_NEAR(glucose["value"].get<double>(), 5.5 * 18.015588000005408, 1e-6);
  EXPECT_EQ(metricNamed(data, "heart_rate")["value"], 61);
  EXPECT_EQ(metricNamed(data, "steps")["value"], 1200);
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
