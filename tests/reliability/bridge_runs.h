// Runs the built bridge against a store in a given data folder: a blocking
// run that parses the envelope, and a started run that can be killed at a
// chosen moment.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "support/bridge_process.h"

namespace tarnwick::testing {

// What one bridge run answered. `envelope` is null when standard output was
// not one JSON document.
struct BridgeAnswer {
  ProcessResult process;
  nlohmann::json envelope;

  bool ok() const { return process.exitStatus == 0 && envelope.is_object() && envelope.value("ok", false); }
  // The failure's code, or "" for anything that is not a failure envelope.
  std::string errorCode() const;
  std::string errorMessage() const;
};

// Runs the bridge once with request on standard input and XDG_DATA_HOME set
// to dataHome, waiting at most timeoutSeconds.
BridgeAnswer runBridge(const std::string& dataHome, const nlohmann::json& request, double timeoutSeconds = 120);

// The store file the bridge uses for dataHome.
std::string storePathIn(const std::string& dataHome);

// Runs tarnwick-store with arguments for dataHome; true when it exited 0.
bool runStoreTool(const std::string& dataHome, std::vector<std::string> arguments);

// Numbered "write" batches of one-step items whose dates tell the batches
// apart: batch n's items end one millisecond apart from the start of its
// own ten-second slot, and every slot lies in the last six days, inside
// "sync"'s default window. (Step items keep no id in the store; their
// dates are what marks them.)
class StepBatches {
 public:
  static constexpr int kMaxItems = 10'000;

  StepBatches();

  // The request of batch `batch` with `count` items (at most kMaxItems).
  nlohmann::json request(int batch, int count) const;

  // The stored end dates, in seconds, of batch `batch`: [first, last).
  std::pair<double, double> endRange(int batch) const;

 private:
  double firstMilliseconds_;
};

// The seed of a test's random choices: TARNWICK_RELIABILITY_SEED when set,
// otherwise a fresh one. Printed with the command line variable that
// replays the run.
std::uint64_t reliabilitySeed();

// Milliseconds since 1970 now.
double nowMilliseconds();

// A bridge started with --request-file and --response-file and left
// running; the destructor kills and reaps it if still needed.
class StartedBridge {
 public:
  StartedBridge(const std::string& dataHome, const std::string& requestFile, const std::string& responseFile);
  ~StartedBridge();
  StartedBridge(const StartedBridge&) = delete;
  StartedBridge& operator=(const StartedBridge&) = delete;

  // Sends SIGKILL after `delay` unless the process ended first; returns true
  // when the kill landed (the process was still running).
  bool killAfter(std::chrono::microseconds delay);

  // Waits for the process; its exit status, or -1 when a signal ended it.
  int wait();

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace tarnwick::testing
