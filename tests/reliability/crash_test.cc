// kill -9 at random moments while the bridge writes large batches: after
// every kill the store file must pass SQLite's integrity check, each batch
// must be wholly present or wholly absent, and the next bridge must answer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>

#include "bridge_runs.h"
#include "store_inspection.h"
#include "support/temporary_directory.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
using std::chrono::microseconds;

constexpr int kItemsPerWrite = 3000;

// How long one uninterrupted write of the batch takes here, so that the
// random kill moments cover the whole run whatever the machine's speed.
// A bridge writing requestFile's batch on home's store, its answer going to
// responseFile, left running to be killed.
class StartedBridge : public StartedProcess {
 public:
  StartedBridge(const StoreHome& home, const std::string& requestFile, const std::string& responseFile)
      : StartedProcess(builtProgram("tarnwick"),
                       home.options({"--request-file", requestFile, "--response-file", responseFile})) {}
};

microseconds timeOneRun(const StoreHome& home, const std::string& requestFile, const std::string& responseFile) {
  auto started = std::chrono::steady_clock::now();
  StartedBridge bridge(home, requestFile, responseFile);
  bridge.wait();
  return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - started);
}

// A kill moment: anywhere in the run half the time, otherwise late in it,
// where the commit happens, so that both outcomes of a kill show up.
microseconds killMoment(std::mt19937_64& random, microseconds full) {
  double fraction = std::uniform_real_distribution<double>(0, 1)(random) < 0.5
                        ? std::uniform_real_distribution<double>(0, 1.2)(random)
                        : std::uniform_real_distribution<double>(0.85, 1.05)(random);
  return microseconds(static_cast<std::int64_t>(fraction * static_cast<double>(full.count())));
}

class CrashTest : public ::testing::Test {
 protected:
  std::string requestFile(int batch) {
    std::string path = scratch.file("request-" + std::to_string(batch) + ".json");
    writeFile(path, batches.request(batch, kItemsPerWrite).dump());
    return path;
  }

  std::int64_t present(StoreInspection& inspection, int batch) {
    auto [from, to] = batches.endRange(batch);
    return inspection.stepsEndingBetween(from, to);
  }

  StoreHome home;
  TemporaryDirectory scratch;
  StepBatches batches;
  std::mt19937_64 random{reliabilitySeed()};
};

TEST_F(CrashTest, KilledWritesAreWhollyPresentOrWhollyAbsent) {
  ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  const std::string store = home.storePath();
  const std::string response = scratch.file("response.json");
  microseconds full = timeOneRun(home, requestFile(0), response);
  ASSERT_EQ(StoreInspection(store).stepsEndingBetween(batches.endRange(0).first, batches.endRange(0).second),
            kItemsPerWrite);

  std::map<int, std::int64_t> committed{{0, kItemsPerWrite}};  // batch 0 timed the write
  int killed = 0, killedPresent = 0;
  const int rounds = scaled(30);
  for (int round = 0; round < rounds; ++round) {
    const int batch = round + 1;
    std::string request = requestFile(batch);
    std::filesystem::remove(response);
    bool landed = false;
    int exitStatus = -1;
    {
      StartedBridge bridge(home, request, response);
      landed = bridge.killAfter(killMoment(random, full));
      exitStatus = bridge.wait();
    }
    std::int64_t found = 0;
    {
      StoreInspection inspection(store);
      ASSERT_EQ(inspection.integrityCheck(), "ok") << "after round " << round;
      found = present(inspection, batch);
      for (const auto& [earlier, count] : committed) {
        ASSERT_EQ(present(inspection, earlier), count) << "batch " << earlier << " changed in round " << round;
      }
    }
    if (landed) {
      ++killed;
      ASSERT_TRUE(found == 0 || found == kItemsPerWrite) << found << " of a batch in round " << round;
      killedPresent += found > 0;
    } else {
      // Finished before the kill: then it said so, and everything is there.
      ASSERT_EQ(exitStatus, 0) << "round " << round;
      ASSERT_EQ(found, kItemsPerWrite) << "round " << round;
      EXPECT_TRUE(json::parse(readFile(response).value_or(""), nullptr, false).value("ok", false));
    }
    if (found > 0) committed[batch] = found;
    // The next bridge finds the store as the kill left it and recovers it.
    BridgeAnswer synced = ask(home, {{"method", "sync"}, {"sourceMode", "native"}});
    ASSERT_TRUE(synced.ok()) << "sync after round " << round << ": " << synced.process.standardOutput;
  }
  std::cout << "[ crashes  ] " << rounds << " rounds, " << killed << " killed mid-run (" << killedPresent
            << " had already committed), " << rounds - killed << " finished first; batch of " << kItemsPerWrite
            << " items, a whole write takes about " << full.count() / 1000 << " ms\n";
  EXPECT_GT(killed, 0) << "no kill landed while a write was running";
}

TEST_F(CrashTest, KillsWhileTheFirstWriteCreatesTheStoreLeaveNoBrokenStore) {
  // No store yet: the first bridge lays out the file while it is killed.
  const std::string store = home.storePath();
  const std::string response = scratch.file("response.json");
  const std::string request = requestFile(0);
  std::error_code ec;
  int rounds = scaled(10), storesLeft = 0, partsLeft = 0;
  microseconds full = timeOneRun(home, request, response);
  for (int round = 0; round < rounds; ++round) {
    std::filesystem::remove_all(home.path() + "/tarnwick");
    {
      StartedBridge bridge(home, request, response);
      bridge.killAfter(killMoment(random, full));
    }
    // A store is laid out in a temporary file and linked into place whole;
    // a kill before the link leaves that part-made file, never a store.
    bool partLeft = false;
    for (const auto& entry : std::filesystem::directory_iterator(home.path() + "/tarnwick", ec)) {
      partLeft |= entry.path().filename().string().find(".new-") != std::string::npos;
    }
    partsLeft += partLeft;
    if (std::filesystem::exists(store)) {
      ++storesLeft;
      StoreInspection inspection(store);
      ASSERT_EQ(inspection.integrityCheck(), "ok") << "round " << round;
      std::int64_t present = inspection.number("SELECT count(*) FROM samples");
      ASSERT_TRUE(present == 0 || present == kItemsPerWrite) << present << " in round " << round;
    }
    // A store the kill left half made must never stop the next bridge, and
    // that bridge removes what the killed creator left.
    BridgeAnswer synced = ask(home, {{"method", "sync"}, {"sourceMode", "native"}});
    ASSERT_EQ(synced.process.terminatingSignal, 0);
    ASSERT_TRUE(synced.envelope.is_object()) << synced.process.standardOutput;
    if (!synced.ok()) {
      EXPECT_EQ(synced.errorCode(), "SWIFT_ERROR");
    }
    for (const auto& entry : std::filesystem::directory_iterator(home.path() + "/tarnwick")) {
      ASSERT_EQ(entry.path().filename().string().find(".new-"), std::string::npos)
          << entry.path() << " left after the next run in round " << round;
    }
  }
  std::cout << "[ crashes  ] " << rounds << " kills during store creation, " << storesLeft
            << " left a store file, " << partsLeft << " left temporary files, which the next run removed\n";
}

}  // namespace
}  // namespace tarnwick::testing
