// What the reliability tests share about the bridge runs they make: the
// parsed answer of a run, step batches whose dates tell them apart, the
// replayable seed and the scale of a campaign.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "support/store_home.h"

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

// Runs the bridge once on home's store with request on standard input,
// waiting at most two minutes: a loaded machine makes runs slow.
BridgeAnswer ask(const StoreHome& home, const nlohmann::json& request);

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

// The test's scale factor from TARNWICK_RELIABILITY_SCALE (1 when unset or
// not a positive whole number), times bounded.
int scaled(int bounded);

}  // namespace tarnwick::testing
