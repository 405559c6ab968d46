#include "support/bridge_process.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnwick::testing {
namespace {

std::vector<std::string> mergedEnvironment(const ProcessOptions& options) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    std::string text(*entry);
    auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const std::string& name : options.unsetEnvironment) merged.erase(name);
  for (const auto& [name, value] : options.environment) merged[name] = value;
  std::vector<std::string> lines;
  for (const auto& [name, value] : merged) lines.push_back(name + "=" + value);
  return lines;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// The bytes of a regular file, or nothing (folders and missing files are
// what some tests hand the bridge on purpose).
std::optional<std::string> fileText(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The value of the first `flag` in arguments (the bridge's own rule), as a
// path the child would open.
std::optional<std::filesystem::path> flagPath(const ProcessOptions& options, std::string_view flag) {
  const std::vector<std::string>& arguments = options.arguments;
  for (std::size_t index = 0; index + 1 < arguments.size(); ++index) {
    if (arguments[index] != flag) continue;
    std::filesystem::path path(arguments[index + 1]);
    if (path.is_relative() && options.workingDirectory) path = *options.workingDirectory / path;
    return path;
  }
  return std::nullopt;
}

bool isBridge(const std::string& program) {
  std::string name = std::filesystem::path(program).filename();
  return name == "tarnwick" || name == "tarnwick-native";
}

// The request as the bridge will see it, taken before the run (a request
// file may be gone afterwards); nothing when the file cannot be read.
std::optional<std::string> requestOf(const ProcessOptions& options) {
  if (auto path = flagPath(options, "--request-file")) return fileText(*path);
  return options.standardInput.value_or("");
}

// Leaves a run that ended by itself in the transcripts folder, its response
// taken from wherever the bridge wrote it.
void recordTranscript(const std::optional<std::string>& request, const ProcessOptions& options,
                      const ProcessResult& result) {
  const char* folder = std::getenv("TARNWICK_TEST_TRANSCRIPTS");
  if (result.timedOut || result.terminatingSignal != 0) return;
  std::optional<std::string> response = result.standardOutput;
  if (auto path = flagPath(options, "--response-file")) response = fileText(*path);
  if (!response || response->empty()) return;
  static std::atomic<int> runs{0};
  ::mkdir(folder, 0700);
  std::string stem = std::string(folder) + "/" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
  if (request) std::ofstream(stem + ".request", std::ios::binary) << *request;
  std::ofstream(stem + ".response", std::ios::binary) << *response;
}

}  // namespace

ProcessOptions inDataHome(const std::string& dataHome) {
  ProcessOptions options;
  options.environment["XDG_DATA_HOME"] = dataHome;
  return options;
}

std::string builtProgram(const std::string& name) { return std::string(TARNWICK_BINARY_DIR) + "/" + name; }

ProcessResult runProcess(const std::string& program, const ProcessOptions& options) {
  bool transcribed = std::getenv("TARNWICK_TEST_TRANSCRIPTS") && isBridge(program);
  std::optional<std::string> request = transcribed ? requestOf(options) : std::nullopt;
  int input[2], output[2], error[2];
  if (::pipe2(input, O_CLOEXEC) || ::pipe2(output, O_CLOEXEC) || ::pipe2(error, O_CLOEXEC)) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> argumentTexts{program};
  argumentTexts.insert(argumentTexts.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> environmentTexts = mergedEnvironment(options);
  std::vector<char*> argv = pointers(argumentTexts);
  std::vector<char*> envp = pointers(environmentTexts);

  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    ::dup2(input[0], 0);
    ::dup2(output[1], 1);
    ::dup2(error[1], 2);
    if (options.workingDirectory && ::chdir(options.workingDirectory->c_str()) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(output[1]);
  ::close(error[1]);

  std::string pending = options.standardInput.value_or("");
  int inputFd = input[1];
  if (pending.empty()) {
    ::close(inputFd);
    inputFd = -1;
  } else {
    ::fcntl(inputFd, F_SETFL, O_NONBLOCK);
  }

  ProcessResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.timeoutSeconds);
  int outputFd = output[0], errorFd = error[0];
  while (outputFd >= 0 || errorFd >= 0) {
    pollfd fds[3];
    nfds_t count = 0;
    if (outputFd >= 0) fds[count++] = {outputFd, POLLIN, 0};
    if (errorFd >= 0) fds[count++] = {errorFd, POLLIN, 0};
    if (inputFd >= 0) fds[count++] = {inputFd, POLLOUT, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      ::kill(child, SIGKILL);
      break;
    }
    int ready = ::poll(fds, count, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (nfds_t i = 0; i < count; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == inputFd) {
        ssize_t written = ::write(inputFd, pending.data(), pending.size());
        if (written > 0) pending.erase(0, static_cast<std::size_t>(written));
        if (written < 0 && errno != EAGAIN && errno != EINTR) pending.clear();
        if (pending.empty()) {
          ::close(inputFd);
          inputFd = -1;
        }
        continue;
      }
      char buffer[65536];
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      std::string& sink = fds[i].fd == outputFd ? result.standardOutput : result.standardError;
      if (got > 0) {
        sink.append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        ::close(fds[i].fd);
        (fds[i].fd == outputFd ? outputFd : errorFd) = -1;
      }
    }
  }
  for (int fd : {inputFd, outputFd, errorFd}) {
    if (fd >= 0) ::close(fd);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.terminatingSignal = WTERMSIG(status);
  if (transcribed) recordTranscript(request, options, result);
  return result;
}

}  // namespace tarnwick::testing
