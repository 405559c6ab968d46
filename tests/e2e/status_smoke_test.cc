#include <gtest/gtest.h>

#include "support/bridge_process.h"

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

}  // namespace
}  // namespace tarnwick::testing
