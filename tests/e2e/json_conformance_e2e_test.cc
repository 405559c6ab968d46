// A public JSON parser test suite against the request reader, through the
// built bridge and in process: every n_ file is refused, every y_ file is
// accepted as the value of a key the request does not have, and no file
// (i_ included) crashes, hangs or writes to standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "health/instant.h"
#include "protocol/envelope_shape.h"
#include "shell/bridge.h"
#include "support/fake_health_store.h"
#include "support/process_runner.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

const std::string kAccepted =
    R"({"ok":true,"data":{"available":false,"authorizationStatus":"import-only","readableTypes":[],)"
    R"("writableTypes":[],"sourceMode":"suite"}})";

fs::path suiteFolder() { return fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "jsontestsuite" / "test_parsing"; }

// The suite's files whose names start with prefix, sorted; empty when the
// folder is absent (a clone without the shared folder beside it).
std::vector<fs::path> suiteFiles(const std::string& prefix) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(suiteFolder(), error)) {
    if (entry.path().filename().string().starts_with(prefix)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Runs the bridge once per options, a few at a time: each run is mostly
// process start-up, so overlapping them keeps ~300 runs within seconds.
std::vector<ProcessResult> runEach(const std::vector<ProcessOptions>& runs) {
  std::vector<ProcessResult> results(runs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < runs.size(); i = next++) results[i] = runProcess(builtProgram("tarnwick"), runs[i]);
  };
  std::vector<std::thread> workers;
  for (int k = 0; k < 4; ++k) workers.emplace_back(worker);
  for (std::thread& thread : workers) thread.join();
  return results;
}

std::string wrapped(const std::string& value) {
  return R"({"method":"status","sourceMode":"suite","suiteValue":)" + value + "}";
}

class JsonConformanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(suiteFolder())) {
      GTEST_SKIP() << "JSON test suite not found at " << suiteFolder().string() << "; skipped.";
    }
  }
};

TEST_F(JsonConformanceTest, EveryRejectFileIsAFailureEnvelope) {
  std::vector<fs::path> files = suiteFiles("n_");
  ASSERT_GT(files.size(), 100u);
  std::vector<ProcessOptions> runs(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    runs[i].arguments = {"--request-file", files[i].string()};
    runs[i].timeoutSeconds = 20;
  }
  std::vector<ProcessResult> results = runEach(runs);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ProcessResult& result = results[i];
    const std::string name = files[i].filename().string();
    EXPECT_FALSE(result.timedOut) << name;
    EXPECT_EQ(result.exitStatus, 1) << name;
    EXPECT_EQ(result.standardError, "") << name;
    ASSERT_FALSE(result.standardOutput.empty()) << name;
    EXPECT_EQ(result.standardOutput.back(), '\n') << name;
    std::string response = result.standardOutput.substr(0, result.standardOutput.size() - 1);
    EXPECT_EQ(protocol::envelopeShapeProblem(response), std::nullopt) << name << ": " << response;
    EXPECT_TRUE(response.starts_with(R"({"ok":false,"error":{"code":"SWIFT_ERROR")") ||
                response.starts_with(R"({"ok":false,"error":{"code":"BRIDGE_ERROR")"))
        << name << ": " << response;
  }
}

TEST_F(JsonConformanceTest, EveryAcceptFileIsAcceptedInsideARequest) {
  std::vector<fs::path> files = suiteFiles("y_");
  ASSERT_GT(files.size(), 50u);
  std::vector<ProcessOptions> runs(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    runs[i].standardInput = wrapped(readFile(files[i]).value_or(""));
    runs[i].timeoutSeconds = 20;
  }
  std::vector<ProcessResult> results = runEach(runs);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ProcessResult& result = results[i];
    const std::string name = files[i].filename().string();
    EXPECT_EQ(result.standardOutput, kAccepted + "\n") << name;
    EXPECT_EQ(result.exitStatus, 0) << name;
    EXPECT_EQ(result.standardError, "") << name;
  }
}

TEST_F(JsonConformanceTest, EveryFileInProcessGivesOneEnvelope) {
  std::vector<fs::path> files = suiteFiles("");
  FakeHealthStore store;
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    const std::string bytes = readFile(file).value_or("");
    for (const std::string& request : {bytes, wrapped(bytes)}) {
      shell::EncodedResponse response = shell::respondToBytes(request, store, health::systemClock());
      EXPECT_EQ(protocol::envelopeShapeProblem(response.json), std::nullopt) << name << ": " << response.json;
      if (name.starts_with("n_")) {
        EXPECT_FALSE(response.ok) << name;
      }
      if (name.starts_with("y_") && request != bytes) {
        EXPECT_EQ(response.json, kAccepted) << name;
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
