#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/test_files.h"

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

// Starts program with `streams` as its descriptors 0, 1 and 2 (-1: left
// as this process has it); returns its pid. The child does only what is
// safe between fork and exec in a process with other threads.
pid_t spawn(const std::string& program, const ProcessOptions& options, const int (&streams)[3]) {
  std::vector<std::string> argumentTexts{program};
  argumentTexts.insert(argumentTexts.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> environmentTexts = mergedEnvironment(options);
  std::vector<char*> argv = pointers(argumentTexts);
  std::vector<char*> envp = pointers(environmentTexts);
  const char* directory = options.workingDirectory ? options.workingDirectory->c_str() : nullptr;

  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("cannot start " + program + ": fork failed");
  if (child == 0) {
    // An ignored signal stays ignored across exec; the program starts with
    // SIGPIPE as a calling application would leave it.
    ::signal(SIGPIPE, SIG_DFL);
    for (int target = 0; target < 3; ++target) {
      if (streams[target] >= 0) ::dup2(streams[target], target);
    }
    for (int fd : options.closedDescriptors) ::close(fd);
    if (directory && ::chdir(directory) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  return child;
}

void makePipe(int (&ends)[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
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

// A regular file's bytes, or nothing: folders and missing files are what
// some tests hand the bridge on purpose.
std::optional<std::string> regularFileText(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return readFile(path.string());
}

// The request as the bridge will see it, taken before the run (a request
// file may be gone afterwards); nothing when the file cannot be read.
std::optional<std::string> requestOf(const ProcessOptions& options) {
  if (auto path = flagPath(options, "--request-file")) return regularFileText(*path);
  return options.standardInput.value_or("");
}

// Leaves a run that ended by itself in the transcripts folder, its response
// taken from wherever the bridge wrote it.
void recordTranscript(const std::optional<std::string>& request, const ProcessOptions& options,
                      const ProcessResult& result) {
  const char* folder = std::getenv("TARNWICK_TEST_TRANSCRIPTS");
  if (result.timedOut || result.terminatingSignal != 0) return;
  std::optional<std::string> response = result.standardOutput;
  if (auto path = flagPath(options, "--response-file")) response = regularFileText(*path);
  if (!response || response->empty()) return;
  static std::atomic<int> runs{0};
  ::mkdir(folder, 0700);
  std::string stem = std::string(folder) + "/" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
  if (request) writeFile(stem + ".request", *request);
  writeFile(stem + ".response", *response);
}

bool closes(const ProcessOptions& options, int fd) {
  for (int closed : options.closedDescriptors) {
    if (closed == fd) return true;
  }
  return false;
}

}  // namespace

std::string builtProgram(const std::string& name) { return std::string(TARNWICK_BINARY_DIR) + "/" + name; }

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream directories(path ? path : "/usr/bin:/bin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    std::string candidate = directory + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

ProcessResult runProcess(const std::string& program, const ProcessOptions& options) {
  // A program that stops reading its input (one that fails early, or runs
  // out of memory) must cost the test a failed write, not its life.
  static const bool sigpipeIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)sigpipeIgnored;
  bool transcribed = std::getenv("TARNWICK_TEST_TRANSCRIPTS") && isBridge(program);
  std::optional<std::string> request = transcribed ? requestOf(options) : std::nullopt;
  int input[2], output[2], error[2];
  makePipe(input);
  makePipe(output);
  makePipe(error);
  pid_t child = spawn(program, options, {input[0], output[1], error[1]});
  ::close(input[0]);
  ::close(output[1]);
  ::close(error[1]);

  std::string pending = options.standardInput.value_or("");
  int inputFd = input[1];
  if (pending.empty() || closes(options, 0)) {
    ::close(inputFd);
    inputFd = -1;
  } else {
    ::fcntl(inputFd, F_SETFL, O_NONBLOCK);
  }
  int outputFd = output[0], errorFd = error[0];
  if (options.standardOutputReaderGone) {
    ::close(outputFd);
    outputFd = -1;
  }

  ProcessResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.timeoutSeconds);
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

StartedProcess::StartedProcess(const std::string& program, const ProcessOptions& options) {
  int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  int output[2];
  makePipe(output);
  try {
    pid_ = spawn(program, options, {nothing, output[1], nothing});
  } catch (...) {
    ::close(nothing);
    ::close(output[0]);
    ::close(output[1]);
    throw;
  }
  ::close(nothing);
  ::close(output[1]);
  output_ = output[0];
}

StartedProcess::~StartedProcess() {
  stop(SIGKILL);
  ::close(output_);
}

std::string StartedProcess::readLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waiting{output_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) return "";
    char buffer[256];
    ssize_t got = ::read(output_, buffer, sizeof buffer);
    if (got <= 0) return "";
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

bool StartedProcess::killAfter(std::chrono::microseconds delay) {
  auto deadline = std::chrono::steady_clock::now() + delay;
  // Poll rather than sleep through: a process that ends early must not be
  // mistaken for a killed one, and its pid must not be reused under us.
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
      reaped_ = true;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  stop(SIGKILL);
  return WIFSIGNALED(status_) && WTERMSIG(status_) == SIGKILL;
}

void StartedProcess::stop(int signal) {
  if (reaped_) return;
  ::kill(pid_, signal);
  wait();
}

int StartedProcess::wait() {
  if (!reaped_) {
    while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

}  // namespace tarnwick::testing
