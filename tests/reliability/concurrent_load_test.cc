// Sixteen bridge processes at once on one store, each a run of mixed
// "write" and "sync" requests: every answer must be a success and, at the
// end, the store must hold exactly what the writes reported.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge_runs.h"
#include "store_inspection.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

constexpr int kProcesses = 16;
constexpr int kItemsPerWrite = 5;

TEST(ConcurrentLoadTest, SixteenBridgesWritingAndSyncingLoseNothing) {
  TemporaryDirectory home;
  ASSERT_TRUE(runStoreTool(home.path(), {"grant"}));
  const int requestsPerProcess = scaled(24);
  const StepBatches batches;

  std::mutex failuresMutex;
  std::vector<std::string> failures;
  std::atomic<int> writesAnswered{0};
  auto fail = [&](std::string text) {
    std::lock_guard lock(failuresMutex);
    failures.push_back(std::move(text));
  };

  std::vector<std::thread> processes;
  for (int process = 0; process < kProcesses; ++process) {
    processes.emplace_back([&, process] {
      for (int request = 0; request < requestsPerProcess; ++request) {
        // Even requests write, odd ones read, so that readers always meet
        // writers mid-commit somewhere among the sixteen.
        bool writes = request % 2 == 0;
        json body = writes ? batches.request(process * requestsPerProcess + request, kItemsPerWrite)
                           : json{{"method", "sync"}, {"sourceMode", "native"}};
        BridgeAnswer answer = runBridge(home.path(), body);
        if (!answer.ok()) {
          fail("process " + std::to_string(process) + " request " + std::to_string(request) + ": " +
               answer.process.standardOutput + " (signal " + std::to_string(answer.process.terminatingSignal) + ")");
          continue;
        }
        if (writes) {
          int written = answer.envelope["data"].value("writtenCount", -1);
          if (written != kItemsPerWrite) fail("a write reported " + std::to_string(written) + " samples");
          ++writesAnswered;
        }
      }
    });
  }
  for (std::thread& process : processes) process.join();
  for (const std::string& failure : failures) ADD_FAILURE() << failure;

  const int expectedWrites = kProcesses * ((requestsPerProcess + 1) / 2);
  ASSERT_EQ(writesAnswered.load(), expectedWrites);
  const std::int64_t expectedSamples = static_cast<std::int64_t>(expectedWrites) * kItemsPerWrite;
  {
    StoreInspection store(storePathIn(home.path()));
    EXPECT_EQ(store.integrityCheck(), "ok");
    EXPECT_EQ(store.number("SELECT count(*) FROM samples"), expectedSamples);
    // Every batch whole and once: nothing lost, nothing doubled.
    for (int process = 0; process < kProcesses; ++process) {
      for (int request = 0; request < requestsPerProcess; request += 2) {
        auto [from, to] = batches.endRange(process * requestsPerProcess + request);
        ASSERT_EQ(store.stepsEndingBetween(from, to), kItemsPerWrite) << "process " << process << " request " << request;
      }
    }
  }
  // Each item was one step within the week: the week's total is the item count.
  BridgeAnswer synced = runBridge(home.path(), {{"method", "sync"}, {"sourceMode", "native"}});
  ASSERT_TRUE(synced.ok()) << synced.process.standardOutput;
  const json& steps = synced.envelope["data"]["metrics"][0];
  EXPECT_EQ(steps["key"], "steps");
  EXPECT_EQ(steps["value"], expectedSamples);
}

}  // namespace
}  // namespace tarnwick::testing
