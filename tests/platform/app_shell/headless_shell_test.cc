// Without a display "--appkit" must change nothing a caller can see: for
// every method the bytes and the exit status are those of direct mode, but
// for the sentence that says why the permission sheet cannot be shown (each
// cause has its own, pinned with the sheet's tests).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "app_shell_harness.h"

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

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct Outcome {
  std::string response;
  int exitStatus = -1;
  std::string standardError;
};

// One run on a store of its own, with the request in <dir>/request.json and,
// for the cases that name it so, in a file called "--appkit".
Outcome run(const Request& request, const std::vector<std::string>& arguments, bool responseInFile = false,
            const std::string& responseName = "response.json") {
  PrivateStore store;
  writeFile(store.dataHome() + "/request.json", request.json);
  writeFile(store.dataHome() + "/--appkit", request.json);
  ProcessOptions options = store.options(arguments);
  options.workingDirectory = store.dataHome();
  ProcessResult result = runProcess(builtProgram("tarnwick"), options);
  Outcome outcome{result.standardOutput, result.exitStatus, result.standardError};
  if (responseInFile) outcome.response = fileText(store.dataHome() + "/" + responseName);
  outcome.response = comparable(outcome.response);
  return outcome;
}

TEST(HeadlessShellTest, AppkitAnywhereAnswersExactlyAsDirectMode) {
  struct Placement {
    const char* name;
    std::vector<std::string> arguments;
  };
  const std::vector<Placement> placements = {
      {"first", {"--appkit", "--request-file", "request.json"}},
      {"last", {"--request-file", "request.json", "--appkit"}},
      {"in the middle", {"--request-file", "request.json", "--appkit", "--quiet"}},
      {"twice", {"--appkit", "--request-file", "request.json", "--appkit"}},
      // The flag is also the request file's name here.
      {"as the request path", {"--request-file", "--appkit"}},
  };
  for (const Request& request : kRequests) {
    SCOPED_TRACE(request.name);
    Outcome direct = run(request, {"--request-file", "request.json"});
    ASSERT_FALSE(direct.response.empty());
    EXPECT_EQ(direct.response.back(), '\n');
    for (const Placement& placement : placements) {
      SCOPED_TRACE(placement.name);
      Outcome shell = run(request, placement.arguments);
      EXPECT_EQ(shell.response, direct.response);
      EXPECT_EQ(shell.exitStatus, direct.exitStatus);
      EXPECT_EQ(shell.standardError, "");
    }
  }
}

TEST(HeadlessShellTest, AppkitReadsStandardInputAndWritesTheResponseFileLikeDirectMode) {
  for (const Request& request : kRequests) {
    SCOPED_TRACE(request.name);
    Outcome direct = run(request, {"--request-file", "request.json", "--response-file", "response.json"}, true);

    PrivateStore store;
    ProcessOptions options = store.options({"--appkit"});
    options.standardInput = request.json;
    ProcessResult piped = runProcess(builtProgram("tarnwick"), options);
    EXPECT_EQ(comparable(piped.standardOutput), direct.response + "\n");
    EXPECT_EQ(piped.exitStatus, direct.exitStatus);

    // "--appkit" after "--response-file" is also the response file's name.
    Outcome named = run(request, {"--request-file", "request.json", "--response-file", "--appkit"}, true, "--appkit");
    EXPECT_NE(named.response, request.json);
    EXPECT_EQ(named.response, direct.response);
    EXPECT_EQ(named.exitStatus, direct.exitStatus);
  }
}

}  // namespace
}  // namespace tarnwick::testing
