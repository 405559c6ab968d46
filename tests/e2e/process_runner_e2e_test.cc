// The process runner itself: a program that leaves its input unread must not
// take the test process down with it.
#include <gtest/gtest.h>

#include <string>

#include "support/process_runner.h"

namespace tarnwick::testing {
namespace {

TEST(ProcessRunner, SurvivesAProgramThatStopsReading) {
  std::string program = findOnPath("true");
  if (program.empty()) GTEST_SKIP() << "true is not on PATH";
  ProcessOptions options;
  // Far more than a pipe buffers: the runner's write fails once the
  // program has ended.
  options.standardInput = std::string(8 << 20, 'x');
  ProcessResult result = runProcess(program, options);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_FALSE(result.timedOut);
}

}  // namespace
}  // namespace tarnwick::testing
