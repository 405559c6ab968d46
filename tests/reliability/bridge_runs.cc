#include "bridge_runs.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

namespace tarnwick::testing {

using nlohmann::json;

std::string BridgeAnswer::errorCode() const {
  if (!envelope.is_object() || !envelope.contains("error")) return "";
  return envelope["error"].value("code", "");
}

std::string BridgeAnswer::errorMessage() const {
  if (!envelope.is_object() || !envelope.contains("error")) return "";
  return envelope["error"].value("message", "");
}

BridgeAnswer ask(const StoreHome& home, const json& request) {
  ProcessOptions options = home.options({}, request.dump());
  options.timeoutSeconds = 120;
  BridgeAnswer answer;
  answer.process = runProcess(builtProgram("tarnwick"), options);
  answer.envelope = json::parse(answer.process.standardOutput, nullptr, false);
  if (answer.envelope.is_discarded()) answer.envelope = nullptr;
  return answer;
}

std::uint64_t reliabilitySeed() {
  const char* given = std::getenv("TARNWICK_RELIABILITY_SEED");
  std::uint64_t seed = given && *given ? std::stoull(given) : std::random_device{}();
  std::cout << "[ seed     ] " << seed << " (replay with TARNWICK_RELIABILITY_SEED=" << seed << ")\n";
  return seed;
}

int scaled(int bounded) {
  const char* text = std::getenv("TARNWICK_RELIABILITY_SCALE");
  int factor = text ? std::atoi(text) : 1;
  return bounded * (factor > 0 ? factor : 1);
}

StepBatches::StepBatches() {
  using namespace std::chrono;
  double now = static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
  // Whole seconds, so that every slot boundary is exact in seconds too.
  firstMilliseconds_ = std::floor((now - 6 * 86'400'000.0) / 1000) * 1000;
}

json StepBatches::request(int batch, int count) const {
  json items = json::array();
  double first = firstMilliseconds_ + batch * double(kMaxItems);
  for (int index = 0; index < count; ++index) {
    items.push_back({{"id", "b" + std::to_string(batch) + "-" + std::to_string(index)},
                     {"type", "steps"},
                     {"label", "Steps"},
                     {"value", "1"},
                     {"startDate", first + index},
                     {"endDate", first + index}});
  }
  return {{"method", "write"}, {"sourceMode", "native"}, {"items", std::move(items)}};
}

std::pair<double, double> StepBatches::endRange(int batch) const {
  double first = firstMilliseconds_ + batch * double(kMaxItems);
  // Half a millisecond below each edge: no item sits near it, and a
  // rounding of the stored seconds cannot move an item across.
  return {(first - 0.5) / 1000, (first + kMaxItems - 0.5) / 1000};
}

}  // namespace tarnwick::testing
