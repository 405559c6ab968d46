// Many bridge processes at once on one store: every answer must be a
// success and, at the end, the store must hold exactly what the writes
// reported, each batch whole and once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge_runs.h"
#include "store_inspection.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

// One spinning process per core for as long as this lives, so that the
// processes a test starts meet a machine without an idle core.
class BusyCores {
 public:
  BusyCores() {
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned core = 0; core < cores; ++core) {
      pid_t pid = ::fork();
      if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test that crashed
        for (;;) asm volatile("");  // an empty statement the compiler must keep
      }
      if (pid > 0) spinners_.push_back(pid);
    }
  }
  ~BusyCores() {
    for (pid_t pid : spinners_) ::kill(pid, SIGKILL);
    for (pid_t pid : spinners_) ::waitpid(pid, nullptr, 0);
  }
  BusyCores(const BusyCores&) = delete;
  BusyCores& operator=(const BusyCores&) = delete;

 private:
  std::vector<pid_t> spinners_;
};

struct LoadCase {
  const char* name;
  int processes;
  int requestsPerProcess;  // even requests write, odd ones sync
  int itemsPerWrite;
  // Writers queue for the store's one write lock; on a machine with no idle
  // core the queue is slow, and each must still wait its turn, not give up.
  bool busyMachine;
  // No data folder yet: six tools race to create the store first, and each
  // must end up using the one store that won.
  bool racedCreation;
};

void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }

class ConcurrentLoadTest : public ::testing::TestWithParam<LoadCase> {};

// The six grants of a raced creation, each of which must succeed and leave
// the one store file and nothing else.
void raceToCreate(const StoreHome& home) {
  std::vector<ProcessResult> grants(6);
  std::vector<std::thread> launchers;
  for (ProcessResult& result : grants) launchers.emplace_back([&] { result = home.tool({"grant"}); });
  for (std::thread& thread : launchers) thread.join();
  for (const ProcessResult& result : grants) EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(folderEntries(home.file("tarnwick")), std::vector<std::string>{"health.sqlite3"});
}

TEST_P(ConcurrentLoadTest, EveryBatchIsStoredWholeAndOnce) {
  const LoadCase& load = GetParam();
  StoreHome home("data");
  if (load.racedCreation) {
    raceToCreate(home);
  } else {
    ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  }
  const int requests = load.requestsPerProcess;
  const StepBatches batches;

  std::mutex failuresMutex;
  std::vector<std::string> failures;
  std::atomic<int> writesAnswered{0};
  auto fail = [&](std::string text) {
    std::lock_guard lock(failuresMutex);
    failures.push_back(std::move(text));
  };
  {
    std::optional<BusyCores> busy;
    if (load.busyMachine) busy.emplace();
    std::vector<std::thread> processes;
    for (int process = 0; process < load.processes; ++process) {
      processes.emplace_back([&, process] {
        for (int request = 0; request < requests; ++request) {
          // Readers meet writers mid-commit somewhere among the processes.
          bool writes = request % 2 == 0;
          json body = writes ? batches.request(process * requests + request, load.itemsPerWrite)
                             : json{{"method", "sync"}, {"sourceMode", "native"}};
          BridgeAnswer answer = ask(home, body);
          if (!answer.ok()) {
            fail("process " + std::to_string(process) + " request " + std::to_string(request) + ": " +
                 answer.process.standardOutput + " (signal " + std::to_string(answer.process.terminatingSignal) +
                 ")");
            continue;
          }
          if (writes) {
            int written = answer.envelope["data"].value("writtenCount", -1);
            if (written != load.itemsPerWrite) fail("a write reported " + std::to_string(written) + " samples");
            ++writesAnswered;
          }
        }
      });
    }
    for (std::thread& process : processes) process.join();
  }
  for (const std::string& failure : failures) ADD_FAILURE() << failure;

  const int expectedWrites = load.processes * ((requests + 1) / 2);
  ASSERT_EQ(writesAnswered.load(), expectedWrites);
  const std::int64_t expectedSamples = static_cast<std::int64_t>(expectedWrites) * load.itemsPerWrite;
  {
    StoreInspection store(home.storePath());
    EXPECT_EQ(store.integrityCheck(), "ok");
    EXPECT_EQ(store.number("SELECT count(*) FROM samples"), expectedSamples);
    for (int process = 0; process < load.processes; ++process) {
      for (int request = 0; request < requests; request += 2) {
        auto [from, to] = batches.endRange(process * requests + request);
        ASSERT_EQ(store.stepsEndingBetween(from, to), load.itemsPerWrite)
            << "process " << process << " request " << request;
      }
    }
  }
  // Each item was one step within the week: the week's total is the item count.
  BridgeAnswer synced = ask(home, {{"method", "sync"}, {"sourceMode", "native"}});
  ASSERT_TRUE(synced.ok()) << synced.process.standardOutput;
  const json& steps = synced.envelope["data"]["metrics"][0];
  EXPECT_EQ(steps["key"], "steps");
  EXPECT_EQ(steps["value"], expectedSamples);
}

INSTANTIATE_TEST_SUITE_P(
    Loads, ConcurrentLoadTest,
    ::testing::Values(LoadCase{"SixteenBridgesWritingAndSyncing", 16, scaled(24), 5, false, false},
                      LoadCase{"ThirtyTwoWritersOnABusyMachine", 32, 1, 500, true, false},
                      LoadCase{"EightWritersAfterToolsRacedToCreateTheStore", 8, 1, 5, false, true}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick::testing
