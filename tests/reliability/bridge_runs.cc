#include "bridge_runs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

extern char** environ;

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

std::uint64_t reliabilitySeed() {
  const char* given = std::getenv("TARNWICK_RELIABILITY_SEED");
  std::uint64_t seed = given && *given ? std::stoull(given) : std::random_device{}();
  std::cout << "[ seed     ] " << seed << " (replay with TARNWICK_RELIABILITY_SEED=" << seed << ")\n";
  return seed;
}

BridgeAnswer runBridge(const std::string& dataHome, const json& request, double timeoutSeconds) {
  ProcessOptions options;
  options.environment["XDG_DATA_HOME"] = dataHome;
  options.standardInput = request.dump();
  options.timeoutSeconds = timeoutSeconds;
  BridgeAnswer answer;
  answer.process = runProcess(builtProgram("tarnwick"), options);
  answer.envelope = json::parse(answer.process.standardOutput, nullptr, false);
  if (answer.envelope.is_discarded()) answer.envelope = nullptr;
  return answer;
}

std::string storePathIn(const std::string& dataHome) { return dataHome + "/tarnwick/health.sqlite3"; }

bool runStoreTool(const std::string& dataHome, std::vector<std::string> arguments) {
  ProcessOptions options;
  options.environment["XDG_DATA_HOME"] = dataHome;
  options.arguments = std::move(arguments);
  return runProcess(builtProgram("tarnwick-store"), options).exitStatus == 0;
}

StepBatches::StepBatches() {
  // Whole seconds, so that every slot boundary is exact in seconds too.
  firstMilliseconds_ = std::floor((nowMilliseconds() - 6 * 86'400'000.0) / 1000) * 1000;
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

double nowMilliseconds() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

StartedBridge::StartedBridge(const std::string& dataHome, const std::string& requestFile,
                             const std::string& responseFile) {
  std::vector<std::string> environment{"XDG_DATA_HOME=" + dataHome};
  for (char** entry = environ; *entry; ++entry) {
    if (std::string_view(*entry).starts_with("XDG_DATA_HOME=")) continue;
    environment.emplace_back(*entry);
  }
  std::string program = builtProgram("tarnwick");
  std::vector<std::string> arguments{program, "--request-file", requestFile, "--response-file", responseFile};
  std::vector<char*> argv, envp;
  for (std::string& text : arguments) argv.push_back(text.data());
  argv.push_back(nullptr);
  for (std::string& text : environment) envp.push_back(text.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) throw std::runtime_error("cannot start " + program);
}

StartedBridge::~StartedBridge() {
  if (reaped_) return;
  ::kill(pid_, SIGKILL);
  wait();
}

bool StartedBridge::killAfter(std::chrono::microseconds delay) {
  auto deadline = std::chrono::steady_clock::now() + delay;
  // Poll rather than sleep through: a process that ends early must not be
  // mistaken for a killed one, and its pid must not be reused under us.
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t done = ::waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(pid_, SIGKILL);
  wait();
  return WIFSIGNALED(status_) && WTERMSIG(status_) == SIGKILL;
}

int StartedBridge::wait() {
  if (!reaped_) {
    while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {}
    reaped_ = true;
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

}  // namespace tarnwick::testing
