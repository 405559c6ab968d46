// What the programs may do to the folder a store lives in: clean up only the
// temporary files they can prove their own, make only the data home's
// folder private, and create nothing where the store is refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bridge_runs.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

TEST(StoreFolderTest, OnlyTemporaryFilesProvedOwnAreRemovedAndOnlyWhereTheStoreMayBeWritten) {
  StoreHome home;
  // A folder of the person's that happens to carry the bridge's folder name.
  const std::string folder = home.file("elsewhere/tarnwick");
  fs::create_directories(folder);
  ::chmod(folder.c_str(), 0755);
  const std::string store = folder + "/health.sqlite3";
  ASSERT_EQ(home.tool({"--store", store, "grant"}).exitStatus, 0);

  const std::vector<std::string> persons = {"health.sqlite3.new-backup", "health.sqlite3.new-abc123",
                                            "health.sqlite3.new-tarnwick-notes1", "health.sqlite3.new-tarnwick-toolong"};
  for (const std::string& name : persons) writeFile(folder + "/" + name, "the person's own notes");
  // What a creator that died leaves: its empty file and a side file.
  const std::vector<std::string> abandoned = {"health.sqlite3.new-tarnwick-dead01",
                                              "health.sqlite3.new-tarnwick-dead01-wal"};
  for (const std::string& name : abandoned) writeFile(folder + "/" + name, "");
  auto present = [&](const std::string& name) { return fs::exists(folder + "/" + name); };

  // Reading commands change nothing.
  for (const char* command : {"dump", "sources", "permissions"}) {
    ASSERT_EQ(home.tool({"--store", store, command}).exitStatus, 0) << command;
  }
  for (const std::string& name : abandoned) EXPECT_TRUE(present(name)) << name << " removed by a read";

  ASSERT_EQ(home.tool({"--store", store, "grant"}).exitStatus, 0);
  for (const std::string& name : abandoned) EXPECT_FALSE(present(name)) << name << " left by a write";
  for (const std::string& name : persons) EXPECT_TRUE(present(name)) << name << " removed";
  EXPECT_EQ(fileMode(folder), 0755u) << "a folder named with --store was made private";

  // The data home's own folder is the bridge's, and kept private.
  const std::string own = home.file("tarnwick");
  fs::create_directories(own);
  ::chmod(own.c_str(), 0755);
  ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  ASSERT_TRUE(ask(home, {{"method", "sync"}, {"sourceMode", "native"}}).ok());
  EXPECT_EQ(fileMode(own), 0700u);
}

// A data home whose store folder belongs to someone else and is open to
// everyone: a run of another user is refused before it makes anything there.
TEST(StoreFolderTest, AStoreRefusedForItsFolderIsNeverCreated) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a folder of another user";
  const std::string setpriv = findOnPath("setpriv");
  if (setpriv.empty()) GTEST_SKIP() << "setpriv (util-linux) is not installed";
  StoreHome home;
  ::chmod(home.path().c_str(), 0755);
  const std::string folder = home.file("tarnwick");
  fs::create_directories(folder);
  ::chmod(folder.c_str(), 0777);

  ProcessOptions options =
      home.options({"--reuid=65534", "--regid=65534", "--clear-groups", "--", builtProgram("tarnwick")},
                   StepBatches().request(0, 3).dump());
  ProcessResult result = runProcess(setpriv, options);
  EXPECT_EQ(result.exitStatus, 1);
  nlohmann::json envelope = nlohmann::json::parse(result.standardOutput, nullptr, false);
  EXPECT_EQ(envelope["error"]["message"],
            "The folder of the health store at '" + home.storePath() +
                "' is open to other users and cannot be made private: Operation not permitted.")
      << result.standardOutput;
  EXPECT_TRUE(fs::is_empty(folder)) << "the refused store left files behind";
}

}  // namespace
}  // namespace tarnwick::testing
