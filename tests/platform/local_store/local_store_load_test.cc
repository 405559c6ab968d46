// The local store under load: many writers at once (threads and whole
// processes) lose and double nothing, and the hot queries are index seeks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/local_store/sample_records.h"
#include "run_programs.h"
#include "store_calls.h"
#include "store_factories.h"

namespace tarnwick::testing {
namespace {

const health::ObjectType kSteps{health::ObjectKind::quantity, std::string(health::kStepCountIdentifier)};

health::Sample steps(double value, health::Instant at) {
  return health::makeQuantitySample(kSteps, health::Quantity(health::Unit::count(), value), at, at);
}

// A "write" request of `count` one-step items.
std::string writeRequest(int count) {
  std::string request = R"({"method":"write","sourceMode":"native","items":[)";
  for (int item = 0; item < count; ++item) {
    request += std::string(item ? "," : "") + R"({"id":"i)" + std::to_string(item) +
               R"(","type":"steps","label":"Steps","value":"10","startDate":)" +
               std::to_string(1700000000000 + item) + "}";
  }
  return request + "]}";
}

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

TEST(LocalStoreLoad, StoresSavingAtOnceOnOneFileKeepEverySample) {
  LocalStoreFactory factory;
  factory.setAccess(kSteps.identifier, Decision::authorized, Decision::authorized);
  constexpr int kWriters = 6;
  constexpr int kSaves = 10;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.emplace_back([&, writer] {
      // Each thread has a store of its own: its own connection, as separate
      // bridge processes have.
      auto store = platform::makeLocalHealthStore(factory.path());
      for (int save = 0; save < kSaves; ++save) {
        auto saved = tarnwick::testing::save(*store, {steps(1, writer * 100 + save), steps(2, writer * 100 + save)});
        if (saved.error) ++failures;
      }
    });
  }
  for (std::thread& thread : writers) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(factory.stored().size(), static_cast<std::size_t>(kWriters * kSaves * 2));
}

TEST(LocalStoreLoad, BridgeProcessesWritingAtOnceOnAMissingStore) {
  TemporaryDirectory directory;
  std::map<std::string, std::string> environment{{"XDG_DATA_HOME", directory.file("data")}};
  // The store does not exist yet: several tools race to create it, and each
  // must end up using the one store that won.
  {
    std::vector<ProcessResult> grants(6);
    std::vector<std::thread> launchers;
    for (ProcessResult& result : grants) {
      launchers.emplace_back([&] { result = runBuilt("tarnwick-store", {"grant"}, environment); });
    }
    for (std::thread& thread : launchers) thread.join();
    for (const ProcessResult& result : grants) EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory.file("data/tarnwick"))) {
      names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"health.sqlite3"});
  }
  const std::string request = writeRequest(5);
  constexpr int kProcesses = 8;
  std::vector<ProcessResult> results(kProcesses);
  std::vector<std::thread> launchers;
  for (int index = 0; index < kProcesses; ++index) {
    launchers.emplace_back([&, index] {
      results[static_cast<std::size_t>(index)] = runBuilt("tarnwick", {}, environment, request);
    });
  }
  for (std::thread& thread : launchers) thread.join();
  for (const ProcessResult& result : results) {
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("\"writtenCount\":5"), std::string::npos) << result.standardOutput;
  }
  ProcessResult dump = runBuilt("tarnwick-store", {"dump"}, environment);
  EXPECT_EQ(std::count(dump.standardOutput.begin(), dump.standardOutput.end(), '\n'), kProcesses * 5);
}

// Writers queue for the store's one write lock; on a machine with no idle
// core the queue is slow, and each must still wait its turn, not give up.
TEST(LocalStoreLoad, ThirtyTwoBridgesWritingOnABusyMachineAllSucceed) {
  TemporaryDirectory directory;
  std::map<std::string, std::string> environment{{"XDG_DATA_HOME", directory.file("data")}};
  ASSERT_EQ(runBuilt("tarnwick-store", {"grant"}, environment).exitStatus, 0);
  constexpr int kWriters = 32;
  constexpr int kItems = 500;
  const std::string request = writeRequest(kItems);
  std::vector<ProcessResult> results(kWriters);
  {
    BusyCores busy;
    std::vector<std::thread> launchers;
    for (ProcessResult& result : results) {
      launchers.emplace_back([&] { result = runBuilt("tarnwick", {}, environment, request); });
    }
    for (std::thread& thread : launchers) thread.join();
  }
  for (const ProcessResult& result : results) {
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("\"writtenCount\":" + std::to_string(kItems)), std::string::npos)
        << result.standardOutput;
  }
  ProcessResult dump = runBuilt("tarnwick-store", {"dump"}, environment);
  EXPECT_EQ(std::count(dump.standardOutput.begin(), dump.standardOutput.end(), '\n'), kWriters * kItems);
}

TEST(LocalStoreLoad, HotQueriesSeekTheIndex) {
  LocalStoreFactory factory;
  factory.seed(steps(1, 1), "Watch");
  auto database = platform::local_store::openStore(factory.path());
  auto plan = [&](const std::string& sql) {
    platform::local_store::Statement explain(*database, "EXPLAIN QUERY PLAN " + sql);
    std::string details;
    while (explain.step()) details += explain.columnText(3).value_or("") + "\n";
    return details;
  };
  health::SampleQuery newest{kSteps, std::nullopt, 1, {{std::string(health::kSampleSortIdentifierStartDate), false}}};
  health::SamplePredicate window{10.0, 20.0, health::kQueryOptionStrictStartDate};
  health::SampleQuery overlapping{kSteps, health::SamplePredicate{10.0, std::nullopt, health::kQueryOptionNone}, 0,
                                  {{std::string(health::kSampleSortIdentifierStartDate), false}}};
  struct Case {
    const char* name;
    std::string sql;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {"newest by start", platform::local_store::sampleQuerySql(newest, false),
            "USING INDEX samples_by_type_start (type=?)"},
           {"newest of own source", platform::local_store::sampleQuerySql(newest, true),
            "USING INDEX samples_by_type_start (type=?)"},
           {"samples ending after a window start", platform::local_store::sampleQuerySql(overlapping, false),
            "USING INDEX samples_by_type_end (type=? AND end>?)"},
           {"step sum", platform::local_store::sumQuerySql(window, false),
            "USING INDEX samples_by_type_start (type=? AND start>? AND start<?)"},
       }) {
    SCOPED_TRACE(c.name);
    std::string details = plan(c.sql);
    EXPECT_NE(details.find(c.expected), std::string::npos) << details;
    // The window on end dates sorts its few matches; the others never sort.
    if (c.expected.find("by_type_end") == std::string::npos) {
      EXPECT_EQ(details.find("TEMP B-TREE"), std::string::npos) << "sorts outside the index: " << details;
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
