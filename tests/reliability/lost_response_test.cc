// A response that does not reach its destination whole: the bridge must say
// so with exit status 1, and a response file must never be left holding an
// earlier run's answer or a part of this one that parses. A "write" is used
// throughout, since its answer is the one a caller can least afford to
// mistake: the samples are stored whether or not the answer arrives.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "bridge_runs.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEarlierAnswer = R"({"ok":true,"data":{"writtenCount":7,"warnings":[]}})";

class LostResponseTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(home_.tool({"grant"}).exitStatus, 0); }

  ProcessOptions writeOptions(std::vector<std::string> arguments) const {
    return home_.options(std::move(arguments), StepBatches().request(0, 3).dump());
  }

  // The bridge run through the shell, for redirections the runner has no
  // option for.
  ProcessResult runThroughShell(const std::string& script) const {
    ProcessOptions options = writeOptions({"-c", script, builtProgram("tarnwick")});
    return runProcess("/bin/sh", options);
  }

  StoreHome home_;
};

TEST_F(LostResponseTest, AResponseFileThatCannotBeWrittenEndsWithStatusOneAndNoEarlierAnswer) {
  struct Case {
    const char* name;
    std::string path;
    std::function<void(const std::string&)> prepare;
    std::vector<std::string> limits;  // prlimit options, when the run needs one
    int status;
    bool holdsAnswer;  // the path holds this run's whole answer afterwards
  };
  const std::string folder = home_.file("answers");
  fs::create_directories(folder);
  auto earlierAnswer = [](const std::string& path) { writeFile(path, kEarlierAnswer); };
  const std::vector<Case> cases = {
      {"a folder", folder, nullptr, {}, 1, false},
      {"a missing folder", folder + "/missing/answer.json", nullptr, {}, 1, false},
      {"a full device", "/dev/full", nullptr, {}, 1, false},
      {"an earlier answer", folder + "/earlier.json", earlierAnswer, {}, 0, true},
      // Replaced whole, as any file in a folder the caller may write.
      {"a read-only earlier answer", folder + "/read-only.json",
       [&](const std::string& path) {
         earlierAnswer(path);
         ::chmod(path.c_str(), 0400);
       },
       {}, 0, true},
      // The write stops half way: the earlier answer must not survive it.
      {"an earlier answer under a file-size limit", folder + "/limited.json", earlierAnswer, {"--fsize=16"}, 1,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.prepare) c.prepare(c.path);
    ProcessResult result;
    if (c.limits.empty()) {
      result = runProcess(builtProgram("tarnwick"), writeOptions({"--response-file", c.path}));
    } else {
      std::vector<std::string> arguments = c.limits;
      for (const std::string& argument : {std::string("--"), builtProgram("tarnwick"), std::string("--response-file"), c.path}) {
        arguments.push_back(argument);
      }
      result = runProcess("/usr/bin/prlimit", writeOptions(arguments));
    }
    EXPECT_EQ(result.terminatingSignal, 0);
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "");
    std::optional<std::string> content = fs::is_regular_file(c.path) ? readFile(c.path) : std::nullopt;
    if (c.holdsAnswer) {
      ASSERT_TRUE(content);
      EXPECT_EQ(nlohmann::json::parse(*content, nullptr, false)["data"]["writtenCount"], 3) << *content;
    } else if (content) {
      EXPECT_TRUE(nlohmann::json::parse(*content, nullptr, false).is_discarded()) << "left holding " << *content;
    }
  }
  // Nothing of a failed write beside the answers.
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
  }
}

TEST_F(LostResponseTest, StandardOutputThatTakesNothingEndsWithStatusOne) {
  struct Case {
    const char* name;
    std::function<ProcessResult()> run;
  };
  const std::vector<Case> cases = {
      {"a full device", [&] { return runThroughShell("exec \"$0\" >/dev/full"); }},
      {"closed",
       [&] {
         ProcessOptions options = writeOptions({});
         options.closedDescriptors = {1};
         return runProcess(builtProgram("tarnwick"), options);
       }},
      {"a reader that went away",
       [&] {
         ProcessOptions options = writeOptions({});
         options.standardOutputReaderGone = true;
         return runProcess(builtProgram("tarnwick"), options);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult result = c.run();
    EXPECT_EQ(result.terminatingSignal, 0);
    EXPECT_EQ(result.exitStatus, 1);
  }
  // The write was stored all the same: that is why the status must tell.
  EXPECT_EQ(home_.toolOutput({"dump"}).empty(), false);
}

TEST_F(LostResponseTest, APipeOrADeviceNamedAsResponseFileIsWrittenInPlace) {
  const std::string fifo = home_.file("answer.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [&] { return readFile(fifo).value_or(""); });
  ProcessResult piped = runProcess(builtProgram("tarnwick"), writeOptions({"--response-file", fifo}));
  EXPECT_EQ(piped.exitStatus, 0);
  EXPECT_EQ(nlohmann::json::parse(read.get(), nullptr, false)["data"]["writtenCount"], 3);
  EXPECT_TRUE(fs::is_fifo(fifo));

  ProcessResult discarded = runProcess(builtProgram("tarnwick"), writeOptions({"--response-file", "/dev/null"}));
  EXPECT_EQ(discarded.exitStatus, 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace tarnwick::testing
