// Without a display "--appkit" must change nothing a caller can see: for
// every method the bytes and the exit status are those of direct mode, but
// for the sentence that says why the permission sheet cannot be shown (each
// cause has its own, pinned with the sheet's tests).
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/store_home.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

struct Request {
  const char* name;
  const char* json;
};

const std::vector<Request> kRequests = {
    {"status native", R"({"method":"status","sourceMode":"Native"})"},
    {"status import", R"({"method":"STATUS","sourceMode":"csv"})"},
    {"authorize import", R"({"method":"authorize","sourceMode":"import-only","readTypes":["steps"]})"},
    {"authorize nothing to ask", R"({"method":"authorize","sourceMode":"native","readTypes":[],"writeTypes":[]})"},
    // Undecided types need the sheet, which cannot be shown without a display.
    {"authorize needs the sheet", R"({"method":"authorize","sourceMode":"native"})"},
    {"sync", R"({"method":"sync","sourceMode":"native"})"},
    {"write never asked",
     R"({"method":"write","sourceMode":"native","items":[{"id":"w1","type":"weight","label":"Weight","value":"70","unit":"kg",)"
     R"("startDate":1700000000000,"endDate":1700000000000}]})"},
    {"write import", R"({"method":"write","sourceMode":"import-only","items":[]})"},
    {"unknown method", R"({"method":"Query","sourceMode":"native"})"},
    {"empty request", ""},
    {"not json", " "},
};

// "sync" stamps the time it ran, and a refused sheet names its cause; two
// runs can only agree on the rest.
std::string comparable(const std::string& response) {
  static const std::regex stamp(R"("lastSyncedAt":[-0-9.eE+]+)");
  static const std::regex sheetRefusal(R"("message":"The permission sheet [^"]*")");
  std::string stampless = std::regex_replace(response, stamp, R"("lastSyncedAt":0)");
  return std::regex_replace(stampless, sheetRefusal, R"("message":"The permission sheet cannot be shown.")");
}

// One way to hand the bridge a request and take its answer.
struct Way {
  const char* name;
  std::vector<std::string> arguments;
  bool onStandardInput = false;
  const char* responseFile = nullptr;  // none: the answer is on standard output
};

struct Outcome {
  std::string response;  // as on standard output, with its line feed
  int exitStatus = -1;
  std::string standardError;
};

// One run on a store of its own, in a folder that holds the request as
// request.json and, for the ways that name it so, as a file called "--appkit".
Outcome run(const Request& request, const Way& way) {
  StoreHome home;
  writeFile(home.file("request.json"), request.json);
  writeFile(home.file("--appkit"), request.json);
  ProcessOptions options = home.options(way.arguments);
  if (way.onStandardInput) options.standardInput = request.json;
  options.workingDirectory = home.path();
  ProcessResult result = runProcess(builtProgram("tarnwick"), options);
  Outcome outcome{result.standardOutput, result.exitStatus, result.standardError};
  // A response file holds the document alone.
  if (way.responseFile) outcome.response = readFile(home.file(way.responseFile)).value_or("") + "\n";
  outcome.response = comparable(outcome.response);
  return outcome;
}

TEST(HeadlessShellTest, AppkitAnswersExactlyAsDirectModeHoweverTheRequestComes) {
  const Way direct{"direct", {"--request-file", "request.json"}};
  const std::vector<Way> ways = {
      {"direct into a response file", {"--request-file", "request.json", "--response-file", "response.json"}, false,
       "response.json"},
      {"first", {"--appkit", "--request-file", "request.json"}},
      {"last", {"--request-file", "request.json", "--appkit"}},
      {"in the middle", {"--request-file", "request.json", "--appkit", "--quiet"}},
      {"twice", {"--appkit", "--request-file", "request.json", "--appkit"}},
      // The flag is also the request file's name here.
      {"as the request path", {"--request-file", "--appkit"}},
      {"on standard input", {"--appkit"}, true},
      // "--appkit" after "--response-file" is the response file's name.
      {"as the response path", {"--request-file", "request.json", "--response-file", "--appkit"}, false, "--appkit"},
  };
  for (const Request& request : kRequests) {
    SCOPED_TRACE(request.name);
    Outcome expected = run(request, direct);
    ASSERT_FALSE(expected.response.empty());
    EXPECT_EQ(expected.response.back(), '\n');
    for (const Way& way : ways) {
      SCOPED_TRACE(way.name);
      Outcome actual = run(request, way);
      EXPECT_EQ(actual.response, expected.response);
      EXPECT_EQ(actual.exitStatus, expected.exitStatus);
      EXPECT_EQ(actual.standardError, "");
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
