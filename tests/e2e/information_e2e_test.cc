// "--help" and "--version" for a person at a terminal: printed at once, with
// standard input never read, and only when given alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

// What these runs print is not a response, so they stay out of the
// transcripts that are checked against the response schema.
class WithoutTranscripts {
 public:
  WithoutTranscripts() {
    if (const char* folder = std::getenv("TARNWICK_TEST_TRANSCRIPTS")) saved_ = folder;
    ::unsetenv("TARNWICK_TEST_TRANSCRIPTS");
  }
  ~WithoutTranscripts() {
    if (saved_) ::setenv("TARNWICK_TEST_TRANSCRIPTS", saved_->c_str(), 1);
  }

 private:
  std::optional<std::string> saved_;
};

TEST(InformationEndToEndTest, HelpAndVersionPrintWithoutReadingARequest) {
  WithoutTranscripts quiet;
  StoreHome home;
  std::string toolVersion = home.toolOutput({"--version"});
  ASSERT_EQ(toolVersion.rfind("tarnwick-store ", 0), 0u);
  struct Case {
    const char* argument;
    std::string expectedStart;
  };
  for (const Case& test : {Case{"--help", "Usage: tarnwick [--request-file PATH]"},
                           Case{"--version", "tarnwick " + toolVersion.substr(std::string("tarnwick-store ").size())}}) {
    SCOPED_TRACE(test.argument);
    // A request waiting on standard input is left unread.
    ProcessResult result = home.bridge(R"({"method":"status","sourceMode":"native"})", {test.argument});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput.rfind(test.expectedStart, 0), 0u) << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
  }
}

TEST(InformationEndToEndTest, WithOtherArgumentsTheRequestIsAnswered) {
  StoreHome home;
  const std::string status = R"({"method":"status","sourceMode":"native"})";
  std::string answer = home.bridge(status).standardOutput;
  ASSERT_EQ(answer.rfind(R"({"ok":true,"data":{"available":true)", 0), 0u) << answer;
  for (const auto& arguments : {std::vector<std::string>{"--help", "--version"},
                                std::vector<std::string>{"--appkit", "--help"}, std::vector<std::string>{"-h"}}) {
    ProcessResult result = home.bridge(status, arguments);
    EXPECT_EQ(result.exitStatus, 0) << arguments.front();
    EXPECT_EQ(result.standardOutput, answer) << arguments.front();
  }
  // "--help" as the request file's name is a path, so the run fails as a
  // request would, with a response.
  ProcessResult named = home.bridge(status, {"--request-file", "--help"});
  EXPECT_EQ(named.exitStatus, 1);
  EXPECT_EQ(named.standardOutput.rfind(R"({"ok":false,"error":{"code":"SWIFT_ERROR")", 0), 0u) << named.standardOutput;
}

}  // namespace
}  // namespace tarnwick::testing
