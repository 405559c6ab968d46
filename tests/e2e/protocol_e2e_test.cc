// The built bridge run as a calling application runs it: standard input and
// request files, the flag rules, response files, exit statuses, the exact
// bytes, and standard error always empty.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "protocol/envelope_shape.h"
#include "support/process_runner.h"
#include "support/temporary_directory.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

const std::string kSevenKeys = R"(["steps","sleep","heart_rate","hrv","weight","glucose","workout"])";
const std::string kNativeStatus =
    R"({"ok":true,"data":{"available":true,"authorizationStatus":"not-determined","readableTypes":)" + kSevenKeys +
    R"(,"writableTypes":)" + kSevenKeys + R"(,"sourceMode":"Native"}})";
const std::string kStatusRequest = R"({"method":"status","sourceMode":"Native"})";
const std::string kImportStatus =
    R"({"ok":true,"data":{"available":false,"authorizationStatus":"import-only","readableTypes":[],)"
    R"("writableTypes":[],"sourceMode":"csv"}})";
const std::string kMissingPayload =
    R"({"ok":false,"error":{"code":"BRIDGE_ERROR","message":"Missing request payload."}})";

ProcessResult runBridge(std::vector<std::string> arguments, std::optional<std::string> input = std::nullopt,
                        std::optional<std::string> workingDirectory = std::nullopt) {
  ProcessOptions options;
  options.arguments = std::move(arguments);
  options.standardInput = std::move(input);
  options.workingDirectory = std::move(workingDirectory);
  options.timeoutSeconds = 30;
  return runProcess(builtProgram("tarnwick"), options);
}

// ---- Standard input --------------------------------------------------------

struct StdinCase {
  const char* name;
  std::optional<std::string> input;
  std::string output;  // without the line feed
  int exitStatus;
};

void PrintTo(const StdinCase& c, std::ostream* out) { *out << c.name; }

std::vector<StdinCase> stdinCases() {
  return {
      {"NativeStatus", kStatusRequest, kNativeStatus, 0},
      {"ImportStatus", R"({"method":"status","sourceMode":"csv","readTypes":["steps"]})", kImportStatus, 0},
      {"UnknownMethod", R"({"method":"Query","sourceMode":"native"})",
       R"({"ok":false,"error":{"code":"INVALID_METHOD","message":"Unsupported bridge method: Query"}})", 1},
      {"ClosedAtOnce", std::nullopt, kMissingPayload, 1},
      {"OneSpace", " ",
       R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":"The request is not valid JSON at line 1, column 2: )"
       R"(the text ends too soon."}})",
       1},
      {"OneLineFeed", "\n",
       R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":"The request is not valid JSON at line 2, column 1: )"
       R"(the text ends too soon."}})",
       1},
  };
}

class StdinTest : public ::testing::TestWithParam<StdinCase> {};

TEST_P(StdinTest, AnswersOnStandardOutputWithOneLineFeed) {
  ProcessResult result = runBridge({}, GetParam().input);
  EXPECT_EQ(result.standardOutput, GetParam().output + "\n");
  EXPECT_EQ(result.exitStatus, GetParam().exitStatus);
  EXPECT_EQ(result.standardError, "");
}

INSTANTIATE_TEST_SUITE_P(Requests, StdinTest, ::testing::ValuesIn(stdinCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StdinTest, ALargeRequestIsReadWhole) {
  std::string request = R"({"method":"status","sourceMode":"csv","extra":")" + std::string(8 << 20, 'a') + "\"}";
  ProcessResult result = runBridge({}, request);
  EXPECT_EQ(result.standardOutput, kImportStatus + "\n");
  EXPECT_EQ(result.exitStatus, 0);
}

// ---- Request files and the flag rules --------------------------------------

class RequestFileTest : public ::testing::Test {
 protected:
  RequestFileTest() {
    writeFile(directory_.file("status.json"), kStatusRequest);
    writeFile(directory_.file("csv.json"), R"({"method":"status","sourceMode":"csv"})");
    writeFile(directory_.file("empty.json"), "");
  }
  std::string file(const std::string& name) const { return directory_.file(name); }
  ProcessResult run(std::vector<std::string> arguments, std::optional<std::string> input = std::nullopt) {
    return runBridge(std::move(arguments), std::move(input), directory_.path());
  }
  TemporaryDirectory directory_;
};

TEST_F(RequestFileTest, FlagRules) {
  const std::string csvRequest = R"({"method":"status","sourceMode":"csv"})";
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::optional<std::string> input;
    std::string output;
  };
  const Case cases[] = {
      {"file, stdin untouched", {"--request-file", file("status.json")}, "not json", kNativeStatus},
      {"relative path", {"--request-file", "status.json"}, std::nullopt, kNativeStatus},
      {"flag last: stdin", {"--request-file"}, csvRequest, kImportStatus},
      {"equals form: stdin", {"--request-file=" + file("status.json")}, csvRequest, kImportStatus},
      {"first occurrence", {"--request-file", file("csv.json"), "--request-file", file("status.json")},
       std::nullopt, kImportStatus},
      {"other case: stdin", {"--REQUEST-FILE", file("status.json")}, csvRequest, kImportStatus},
      {"empty file", {"--request-file", file("empty.json")}, kStatusRequest, kMissingPayload},
      {"unknown arguments ignored", {"-v", "--help", "--request-file", file("csv.json"), "extra"}, std::nullopt,
       kImportStatus},
  };
  for (const Case& c : cases) {
    ProcessResult result = run(c.arguments, c.input);
    EXPECT_EQ(result.standardOutput, c.output + "\n") << c.name;
    EXPECT_EQ(result.exitStatus, c.output == kMissingPayload ? 1 : 0) << c.name;
    EXPECT_EQ(result.standardError, "") << c.name;
  }
}

TEST_F(RequestFileTest, UnreadableFilesAreNamedInTheMessage) {
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {file("absent.json"), "No such file or directory"},
      {directory_.path(), "Is a directory"},
      {"", "No such file or directory"},
  };
  for (const Case& c : cases) {
    ProcessResult result = run({"--request-file", c.path}, kStatusRequest);
    EXPECT_EQ(result.standardOutput, R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":"The request file ')" +
                                         c.path + "' cannot be read: " + c.reason + ".\"}}\n");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "");
  }
}

TEST_F(RequestFileTest, AValueThatLooksLikeAFlagIsAPath) {
  // "--response-file" is the request path here, and also a flag of its own
  // whose value is "out.json".
  writeFile(file("--response-file"), kStatusRequest);
  ProcessResult result = run({"--request-file", "--response-file", "out.json"});
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(readFile(file("out.json")), kNativeStatus);
  EXPECT_EQ(result.exitStatus, 0);
}

// ---- Response files ----------------------------------------------------------

TEST_F(RequestFileTest, ResponseFileHoldsTheDocumentAloneAndIsReplacedWhole) {
  std::string out = file("response.json");
  writeFile(out, std::string(4096, '#'));
  struct stat before {};
  ASSERT_EQ(::stat(out.c_str(), &before), 0);
  ProcessResult result = run({"--request-file", "status.json", "--response-file", out});
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(result.standardError, "");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(readFile(out), kNativeStatus);
  struct stat after {};
  ASSERT_EQ(::stat(out.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
}

TEST_F(RequestFileTest, ResponseFileRules) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string expectedFile;  // "response.json" gets this
    std::string expectedStdout;
    int exitStatus;
  };
  const Case cases[] = {
      {"failure into a file", {"--request-file", "empty.json", "--response-file", "response.json"},
       kMissingPayload, "", 1},
      {"first occurrence", {"--response-file", "response.json", "--response-file", "other.json"}, kImportStatus,
       "", 0},
      {"flag last: stdout", {"--response-file"}, "", kImportStatus + "\n", 0},
      {"equals form: stdout", {"--response-file=response.json"}, "", kImportStatus + "\n", 0},
  };
  for (const Case& c : cases) {
    std::remove(file("response.json").c_str());
    std::remove(file("other.json").c_str());
    ProcessResult result = run(c.arguments, R"({"method":"status","sourceMode":"csv"})");
    EXPECT_EQ(readFile(file("response.json")).value_or(""), c.expectedFile) << c.name;
    EXPECT_FALSE(readFile(file("other.json"))) << c.name;
    EXPECT_EQ(result.standardOutput, c.expectedStdout) << c.name;
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.name;
    EXPECT_EQ(result.standardError, "") << c.name;
  }
}

TEST_F(RequestFileTest, ResponseFileInAMissingDirectoryLeavesNoTrace) {
  // Lost, so status 1 whatever the answer was.
  for (const auto& [request, status] : std::map<std::string, int>{{"status.json", 1}, {"empty.json", 1}}) {
    ProcessResult result = run({"--request-file", request, "--response-file", file("missing/response.json")});
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.exitStatus, status) << request;
    EXPECT_FALSE(readFile(file("missing/response.json")));
  }
}

// ---- The environment ---------------------------------------------------------

TEST(EnvironmentTest, LocaleVariablesChangeNothing) {
  TemporaryDirectory directory;
  const std::vector<std::string> requests = {
      kStatusRequest,
      R"({"method":"status","sourceMode":"csv","since":"1,5"})",
      R"({"method":"status","sourceMode":"csv","extra":1.5e3,"x":[0.25])",
  };
  std::vector<std::vector<std::string>> argumentLists = {{}, {"--request-file", directory.file("absent.json")}};
  for (const auto& arguments : argumentLists) {
    for (const std::string& request : requests) {
      ProcessOptions plain;
      plain.arguments = arguments;
      plain.standardInput = request;
      plain.unsetEnvironment = {"LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LANG", "LANGUAGE"};
      ProcessOptions german = plain;
      german.environment = {{"LC_ALL", "de_DE.UTF-8"}, {"LC_NUMERIC", "de_DE.UTF-8"}, {"LANG", "de_DE.UTF-8"},
                            {"LANGUAGE", "de"}};
      ProcessResult expected = runProcess(builtProgram("tarnwick"), plain);
      ProcessResult actual = runProcess(builtProgram("tarnwick"), german);
      EXPECT_EQ(actual.standardOutput, expected.standardOutput);
      EXPECT_EQ(actual.exitStatus, expected.exitStatus);
      EXPECT_EQ(actual.standardError, "");
    }
  }
}

TEST(ClosedDescriptorTest, TheResponseStillGoesWhereItBelongs) {
  TemporaryDirectory directory;
  writeFile(directory.file("status.json"), kStatusRequest);
  const std::string out = directory.file("out.json");
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<int> closed;
    std::string expectedFile;
    int exitStatus;
  };
  const Case cases[] = {
      {"all three closed, files named",
       {"--request-file", directory.file("status.json"), "--response-file", out}, {0, 1, 2}, kNativeStatus, 0},
      {"stdin closed: missing payload", {"--response-file", out}, {0}, kMissingPayload, 1},
      {"stdout closed, response file", {"--request-file", directory.file("status.json"), "--response-file", out},
       {1}, kNativeStatus, 0},
      {"stdout closed, no response file: lost", {"--request-file", directory.file("status.json")}, {1, 2}, "", 1},
  };
  for (const Case& c : cases) {
    std::remove(out.c_str());
    ProcessOptions options;
    options.arguments = c.arguments;
    options.closedDescriptors = c.closed;
    ProcessResult run = runProcess(builtProgram("tarnwick"), options);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.name;
    EXPECT_EQ(run.terminatingSignal, 0) << c.name;
    EXPECT_EQ(readFile(out).value_or(""), c.expectedFile) << c.name;
  }
}

TEST(ClosedDescriptorTest, AReaderThatWentAwayFailsTheRunWithoutASignal) {
  TemporaryDirectory directory;
  writeFile(directory.file("status.json"), kStatusRequest);
  ProcessOptions options;
  options.arguments = {"--request-file", directory.file("status.json")};
  options.standardOutputReaderGone = true;
  ProcessResult run = runProcess(builtProgram("tarnwick"), options);
  EXPECT_EQ(run.terminatingSignal, 0);
  EXPECT_EQ(run.exitStatus, 1);
}

// Under CTest the process suites leave each bridge run for the schema check;
// a run that leaves nothing would let the check pass on nothing.
TEST(TranscriptTest, BridgeRunsAreLeftForTheSchemaCheck) {
  const char* folder = std::getenv("TARNWICK_TEST_TRANSCRIPTS");
  if (!folder) GTEST_SKIP() << "TARNWICK_TEST_TRANSCRIPTS is set by CTest only";
  const std::string request = R"({"method":"status","sourceMode":"transcribed"})";
  ProcessResult result = runBridge({}, request);
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".request" || readFile(entry.path()) != request) continue;
    std::filesystem::path response = entry.path();
    found = readFile(response.replace_extension(".response")) == result.standardOutput;
  }
  EXPECT_TRUE(found) << "no transcript of the run in " << folder;
}

TEST(EnvelopeShapeTest, EveryResponseAboveIsOneOfTheTwoShapes) {
  for (const StdinCase& c : stdinCases()) {
    EXPECT_EQ(protocol::envelopeShapeProblem(c.output), std::nullopt) << c.name;
  }
  for (const char* bad : {R"({"ok":true})", R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":"m","details":""}})",
                          R"({"ok":true,"data":{},"error":{"code":"BRIDGE_ERROR","message":"m"}})",
                          R"({"data":{},"ok":true})", R"({"ok":false,"error":{"code":"OTHER","message":"m"}})", "",
                          R"({"ok":true,"data":[]})"}) {
    EXPECT_NE(protocol::envelopeShapeProblem(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace tarnwick::testing
