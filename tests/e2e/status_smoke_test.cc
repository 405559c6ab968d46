#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/process_runner.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

TEST(StatusSmokeTest, NativeStatusAnswersWithTheSevenKeys) {
  ProcessOptions options;
  options.standardInput = R"({"method":"status","sourceMode":"Native"})";
  ProcessResult result = runProcess(builtProgram("tarnwick"), options);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardError, "");
  EXPECT_EQ(result.standardOutput,
            R"({"ok":true,"data":{"available":true,"authorizationStatus":"not-determined",)"
            R"("readableTypes":["steps","sleep","heart_rate","hrv","weight","glucose","workout"],)"
            R"("writableTypes":["steps","sleep","heart_rate","hrv","weight","glucose","workout"],)"
            R"("sourceMode":"Native"}})"
            "\n");
}

// Under CTest the process suites leave each bridge run for the schema check;
// a run that leaves nothing would let the check pass on nothing.
TEST(StatusSmokeTest, BridgeRunsAreLeftForTheSchemaCheck) {
  const char* folder = std::getenv("TARNWICK_TEST_TRANSCRIPTS");
  if (!folder) GTEST_SKIP() << "TARNWICK_TEST_TRANSCRIPTS is set by CTest only";
  const std::string request = R"({"method":"status","sourceMode":"transcribed"})";
  ProcessOptions options;
  options.standardInput = request;
  ProcessResult result = runProcess(builtProgram("tarnwick"), options);
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".request" || readFile(entry.path()) != request) continue;
    std::filesystem::path response = entry.path();
    found = readFile(response.replace_extension(".response")) == result.standardOutput;
  }
  EXPECT_TRUE(found) << "no transcript of the run in " << folder;
}

}  // namespace
}  // namespace tarnwick::testing
