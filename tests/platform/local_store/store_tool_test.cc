// tarnwick-store run as a process: what people and the end-to-end tests of
// the bridge rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <nlohmann/json.hpp>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

class StoreTool : public ::testing::Test {
 protected:
  ProcessResult tool(std::vector<std::string> arguments, std::optional<std::string> input = std::nullopt) {
    return home.tool(std::move(arguments), std::move(input));
  }

  StoreHome home{"data"};
};

TEST_F(StoreTool, PathFollowsTheDataHomeRulesAndCreatesNothing) {
  struct Case {
    std::map<std::string, std::string> environment;
    std::vector<std::string> arguments;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {{{"XDG_DATA_HOME", "/srv/x"}}, {"path"}, "/srv/x/tarnwick/health.sqlite3\n"},
           {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/p"}}, {"path"}, "/home/p/.local/share/tarnwick/health.sqlite3\n"},
           {{{"XDG_DATA_HOME", "/srv/x"}}, {"--store", "/tmp/elsewhere.db", "path"}, "/tmp/elsewhere.db\n"},
       }) {
    ProcessOptions options;
    options.arguments = c.arguments;
    options.environment = c.environment;
    ProcessResult result = runProcess(builtProgram("tarnwick-store"), options);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, c.expected);
  }
  EXPECT_EQ(tool({"path"}).exitStatus, 0);
  EXPECT_EQ(tool({"dump"}).standardOutput, "");
  EXPECT_EQ(tool({"permissions"}).exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(home.path()));
}

TEST_F(StoreTool, AddedLinesDumpBackInStartOrder) {
  const std::vector<std::string> lines{
      R"({"type":"weight","value":80.5,"unit":"kg","start":1700000100000,"end":1700000100000,"source":"Scale"})",
      R"({"type":"steps","value":420,"unit":"count","start":1700000000000,"end":1700000600000,"source":"Phone"})",
      R"({"type":"sleep","value":4,"start":1700000000000,"end":1700003600000,"source":"tarnwick-store"})",
      R"({"type":"workout","activity":52,"start":1700000200000,"end":1700002000000,"duration":1800,"source":"Watch","metadata":{"HKIndoorWorkout":false}})",
      R"({"type":"glucose","value":99,"unit":"mg/dL","start":1700000300000.5,"end":1700000300000.5,"source":"Meter"})",
  };
  std::string input;
  for (const std::string& line : lines) input += line + "\n";
  ProcessResult added = tool({"add"}, input);
  ASSERT_EQ(added.exitStatus, 0) << added.standardError;
  EXPECT_EQ(added.standardOutput, "5\n");
  ProcessResult dump = tool({"dump"});
  EXPECT_EQ(dump.standardOutput, lines[1] + "\n" + lines[2] + "\n" + lines[0] + "\n" + lines[3] + "\n" + lines[4] + "\n");
}

TEST_F(StoreTool, DefaultsAndConversionsOnTheWayIn) {
  ProcessResult added = tool({"add"}, R"({"type":"weight","value":100,"start":1000})" "\n"
                                      R"({"type":"workout","activity":37,"start":0,"end":60000})" "\n");
  ASSERT_EQ(added.exitStatus, 0) << added.standardError;
  std::vector<nlohmann::json> dumped;
  std::istringstream lines(tool({"dump"}).standardOutput);
  for (std::string line; std::getline(lines, line);) dumped.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(dumped.size(), 2u);
  EXPECT_EQ(dumped[0]["duration"], 60);  // end minus start
  EXPECT_EQ(dumped[0]["source"], "tarnwick-store");
  EXPECT_NEAR(dumped[1]["value"].get<double>(), 45.359237, 1e-9);  // the weight's default unit is the pound
  EXPECT_EQ(dumped[1]["unit"], "kg");
  EXPECT_EQ(dumped[1]["end"], 1000);
}

TEST_F(StoreTool, ABadLineNamesItsNumberAndAddsNothing) {
  ASSERT_EQ(tool({"add"}, R"({"type":"steps","value":1,"start":0})" "\n").exitStatus, 0);
  struct Case {
    std::string badLine;
    std::string reason;
  };
  for (const Case& c : std::vector<Case>{
           {"not json", "not valid JSON"},
           {R"({"type":"mood","value":1,"start":0})", "unknown type \"mood\""},
           {R"({"type":"steps","start":0})", "\"value\" is missing"},
           {R"({"type":"steps","value":1,"unit":"kg","start":0})", "The unit 'kg' is not compatible"},
           {R"({"type":"steps","value":1,"unit":"parsecs","start":0})", "unknown unit \"parsecs\""},
           {R"({"type":"sleep","value":8,"start":0,"end":10})", "is not one of 0 to 5"},
           {R"({"type":"heart_rate","value":60,"start":10,"end":5})", "end date must not be before"},
           {R"({"type":"steps","value":1,"start":0,"metadata":[]})", "\"metadata\" must be an object"},
           {R"({"type":"steps","value":1,"start":0,"metadata":{"a":1,"b":[],"c":{}}})",
            "metadata \"b\" must be a boolean, a number or a text"},
       }) {
    SCOPED_TRACE(c.badLine);
    std::string input = R"({"type":"steps","value":2,"start":5})" "\n\n" + c.badLine + "\n" +
                        R"({"type":"steps","value":3,"start":6})" "\n";
    ProcessResult result = tool({"add"}, input);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError.rfind("tarnwick-store: line 3: ", 0), 0u) << result.standardError;
    EXPECT_NE(result.standardError.find(c.reason), std::string::npos) << result.standardError;
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1);
  }
  ProcessResult dump = tool({"dump"});
  EXPECT_EQ(std::count(dump.standardOutput.begin(), dump.standardOutput.end(), '\n'), 1);
}

TEST_F(StoreTool, GrantDenyAndResetSetBothAccesses) {
  ASSERT_EQ(tool({"grant"}).exitStatus, 0);
  ASSERT_EQ(tool({"deny", "sleep", "hrv"}).exitStatus, 0);
  ASSERT_EQ(tool({"reset", "workout"}).exitStatus, 0);
  EXPECT_EQ(tool({"permissions"}).standardOutput,
            "steps read=authorized write=authorized\n"
            "sleep read=denied write=denied\n"
            "heart_rate read=authorized write=authorized\n"
            "hrv read=denied write=denied\n"
            "weight read=authorized write=authorized\n"
            "glucose read=authorized write=authorized\n"
            "workout read=not determined write=not determined\n");
  ProcessResult unknown = tool({"grant", "Steps"});
  EXPECT_EQ(unknown.exitStatus, 1);
  EXPECT_EQ(unknown.standardError,
            "tarnwick-store: unknown metric key 'Steps' (expected steps, sleep, heart_rate, hrv, weight, glucose or "
            "workout)\n");
}

TEST_F(StoreTool, SourcesRankByFirstWriteUntilPreferred) {
  auto line = [](const char* source, int start) {
    return std::string(R"({"type":"steps","value":1,"start":)") + std::to_string(start) + R"(,"source":")" + source +
           "\"}\n";
  };
  ASSERT_EQ(tool({"add"}, line("Watch", 50) + line("Phone", 10) + line("Watch", 20) + line("Scale", 30)).exitStatus, 0);
  EXPECT_EQ(tool({"sources"}).standardOutput, "Watch\t2\nPhone\t1\nScale\t1\n");

  ASSERT_EQ(tool({"prefer", "Scale", "Phone"}).exitStatus, 0);
  EXPECT_EQ(tool({"sources"}).standardOutput, "Scale\t1\nPhone\t1\nWatch\t2\n");
  ProcessResult unknown = tool({"prefer", "Watch", "Ring"});
  EXPECT_EQ(unknown.exitStatus, 1);
  EXPECT_EQ(unknown.standardError, "tarnwick-store: unknown source 'Ring' (\"tarnwick-store sources\" lists them)\n");
  EXPECT_EQ(tool({"sources"}).standardOutput, "Scale\t1\nPhone\t1\nWatch\t2\n");

  // A store from before the list: its sources rank by their oldest sample.
  // A sample added by hand afterwards, past the list, puts its source last.
  if (!StoreHome::hasSqliteShell()) GTEST_SKIP() << "needs the sqlite3 shell (scripts/setup)";
  ASSERT_EQ(home.sqlite("DROP TABLE sources; PRAGMA user_version = 2;"
                        "INSERT INTO samples (type, start, end, value, source) VALUES "
                        "('HKQuantityTypeIdentifierStepCount', 1, 1, 1, 'Ring');")
                .exitStatus,
            0);
  EXPECT_EQ(tool({"sources"}).standardOutput, "Watch\t2\nPhone\t1\nScale\t1\nRing\t1\n");
  ASSERT_EQ(home.sqlite("INSERT INTO samples (type, start, end, value, source) VALUES "
                        "('HKQuantityTypeIdentifierStepCount', 2, 2, 1, 'Band');")
                .exitStatus,
            0);
  ASSERT_EQ(tool({"prefer", "Ring"}).exitStatus, 0);
  EXPECT_EQ(tool({"sources"}).standardOutput, "Ring\t1\nWatch\t2\nPhone\t1\nScale\t1\nBand\t1\n");
}

TEST_F(StoreTool, UsageErrorsExitOneWithOneLine) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"generate"}, {"generate", "--days", "ten"}, {"generate", "--days", "0"},
           {"path", "extra"}, {"--store"}, {"prefer"}}) {
    ProcessResult result = tool(arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1) << result.standardError;
  }
  ProcessResult help = tool({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.standardOutput.find("generate --days N"), std::string::npos);
  EXPECT_NE(help.standardOutput.find("\nMetric keys: steps sleep heart_rate hrv weight glucose workout.\nSample lines: "),
            std::string::npos);
  // The location rule as `path` applies it: the data home first, then HOME.
  EXPECT_NE(help.standardOutput.find("$XDG_DATA_HOME/tarnwick/health.sqlite3 when XDG_DATA_HOME is an\nabsolute path, "
                                     "else $HOME/.local/share/tarnwick/health.sqlite3"),
            std::string::npos)
      << help.standardOutput;
}

TEST_F(StoreTool, DemoFillsAFortnightThatTheBridgeSyncs) {
  ProcessResult demo = tool({"demo"});
  ASSERT_EQ(demo.exitStatus, 0) << demo.standardError;
  std::set<std::string> types, sources;
  std::set<int> sleepValues, activities;
  std::istringstream lines(tool({"dump"}).standardOutput);
  for (std::string text; std::getline(lines, text);) {
    nlohmann::json line = nlohmann::json::parse(text);
    types.insert(line["type"].get<std::string>());
    sources.insert(line["source"].get<std::string>());
    if (line["type"] == "sleep") sleepValues.insert(line["value"].get<int>());
    if (line["type"] == "workout") activities.insert(line["activity"].get<int>());
  }
  EXPECT_EQ(types.size(), 7u);
  EXPECT_GE(sources.size(), 2u);
  EXPECT_GE(sleepValues.size(), 4u);
  EXPECT_GE(activities.size(), 3u);
  EXPECT_EQ(tool({"permissions"}).standardOutput.find("not determined"), std::string::npos);

  // Running it again replaces the demo data rather than doubling it.
  std::string before = tool({"dump"}).standardOutput;
  ASSERT_EQ(tool({"demo"}).exitStatus, 0);
  std::string after = tool({"dump"}).standardOutput;
  EXPECT_NEAR(static_cast<double>(std::count(after.begin(), after.end(), '\n')),
              static_cast<double>(std::count(before.begin(), before.end(), '\n')), 60);

  ProcessResult sync = home.bridge(R"({"method":"sync","sourceMode":"native"})");
  ASSERT_EQ(sync.exitStatus, 0) << sync.standardOutput;
  nlohmann::json envelope = nlohmann::json::parse(sync.standardOutput);
  EXPECT_EQ(envelope["data"]["metrics"].size(), 7u) << sync.standardOutput;
}

}  // namespace
}  // namespace tarnwick::testing
