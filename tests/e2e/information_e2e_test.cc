// "--help" and "--version" for a person at a terminal: printed at once,
// with no request read, and only when given alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

TEST(InformationEndToEndTest, OnlyALoneHelpOrVersionPrintsInsteadOfAnswering) {
  // What these runs print is no response, so it stays out of the transcripts
  // that are checked against the response schema.
  const char* transcripts = std::getenv("TARNWICK_TEST_TRANSCRIPTS");
  std::string savedTranscripts = transcripts ? transcripts : "";
  ::unsetenv("TARNWICK_TEST_TRANSCRIPTS");

  StoreHome home;
  const std::string status = R"({"method":"status","sourceMode":"native"})";
  std::string version = home.toolOutput({"--version"}).substr(std::string("tarnwick-store ").size());
  struct Case {
    std::vector<std::string> arguments;
    std::string expectedStart;  // of standard output
  };
  const std::vector<Case> cases = {
      {{"--help"}, "Usage: tarnwick [--request-file PATH]"},
      {{"--version"}, "tarnwick " + version},
      {{"--help", "--version"}, R"({"ok":true,"data":{"available":true)"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.arguments.size() == 1 ? test.arguments[0] : "both");
    // The request waiting on standard input is read only by a run that
    // answers it.
    ProcessResult result = home.bridge(status, test.arguments);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput.rfind(test.expectedStart, 0), 0u) << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
  }
  if (transcripts) ::setenv("TARNWICK_TEST_TRANSCRIPTS", savedTranscripts.c_str(), 1);
}

}  // namespace
}  // namespace tarnwick::testing
