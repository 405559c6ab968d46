// A response that does not reach its destination whole: the bridge says so
// with exit status 1, and a response file is never left holding an earlier
// run's answer or a part of this one that parses. A "write" is sent
// throughout: its samples are stored whether or not its answer arrives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "bridge_runs.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

struct Destination {
  const char* name;
  std::string program;  // the bridge, or a program that starts it
  std::vector<std::string> arguments;
  int status;
  std::string responseFile;  // checked afterwards, when given
  bool holdsAnswer = false;  // the file holds this run's whole answer
  bool closeOutput = false;
  bool outputReaderGone = false;
};

TEST(LostResponseTest, TheStatusIsOneWhenTheResponseDidNotArriveWholeAndNoEarlierAnswerSurvives) {
  StoreHome home;
  ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  const std::string bridge = builtProgram("tarnwick"), folder = home.file("answers");
  fs::create_directories(folder);
  for (const char* name : {"earlier.json", "read-only.json", "limited.json"}) {
    writeFile(folder + "/" + name, R"({"ok":true,"data":{"writtenCount":7,"warnings":[]}})");
  }
  ::chmod((folder + "/read-only.json").c_str(), 0400);
  auto toFile = [&](const std::string& path) { return std::vector<std::string>{"--response-file", path}; };
  const std::vector<Destination> cases = {
      {"a folder", bridge, toFile(folder), 1, ""},
      {"a missing folder", bridge, toFile(folder + "/missing/a.json"), 1, folder + "/missing/a.json"},
      {"a full device", bridge, toFile("/dev/full"), 1, ""},
      {"an earlier answer", bridge, toFile(folder + "/earlier.json"), 0, folder + "/earlier.json", true},
      {"a read-only earlier answer", bridge, toFile(folder + "/read-only.json"), 0, folder + "/read-only.json", true},
      // The write stops half way; the earlier answer must not survive it.
      {"a file-size limit", "/usr/bin/prlimit",
       {"--fsize=16", "--", bridge, "--response-file", folder + "/limited.json"}, 1, folder + "/limited.json"},
      {"standard output on a full device", "/bin/sh", {"-c", "exec \"$0\" >/dev/full", bridge}, 1, ""},
      {"standard output closed", bridge, {}, 1, "", false, true},
      {"standard output's reader gone", bridge, {}, 1, "", false, false, true},
  };
  for (const Destination& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessOptions options = home.options(c.arguments, StepBatches().request(0, 3).dump());
    if (c.closeOutput) options.closedDescriptors = {1};
    options.standardOutputReaderGone = c.outputReaderGone;
    ProcessResult result = runProcess(c.program, options);
    EXPECT_EQ(result.terminatingSignal, 0);
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.standardError, "");
    if (c.responseFile.empty()) continue;
    std::string content = readFile(c.responseFile).value_or("");
    nlohmann::json answer = nlohmann::json::parse(content, nullptr, false);
    if (c.holdsAnswer) {
      EXPECT_EQ(answer["data"]["writtenCount"], 3) << content;
    } else {
      EXPECT_TRUE(answer.is_discarded()) << "left holding " << content;
    }
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
  }
  EXPECT_FALSE(home.toolOutput({"dump"}).empty()) << "the writes whose answers were lost were stored all the same";
}

TEST(LostResponseTest, APipeOrADeviceNamedAsResponseFileIsWrittenInPlace) {
  StoreHome home;
  const std::string fifo = home.file("answer.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [&] { return readFile(fifo).value_or(""); });
  const std::string status = R"({"method":"status","sourceMode":"native"})";
  EXPECT_EQ(runProcess(builtProgram("tarnwick"), home.options({"--response-file", fifo}, status)).exitStatus, 0);
  EXPECT_EQ(nlohmann::json::parse(read.get(), nullptr, false)["ok"], true);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(runProcess(builtProgram("tarnwick"), home.options({"--response-file", "/dev/null"}, status)).exitStatus, 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace tarnwick::testing
