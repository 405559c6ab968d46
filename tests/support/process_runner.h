// The one way the tests run a program as a separate process, the way a
// calling application starts the bridge: arguments, standard input, extra
// environment and a time limit in; exit status, standard output and standard
// error out. Every process-level test goes through here, so every bridge run
// can be left for the schema check.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

struct ProcessResult {
  std::string standardOutput;
  std::string standardError;
  int exitStatus = -1;        // exit code, or -1 when the process did not exit normally
  int terminatingSignal = 0;  // the signal that ended it, or 0
  bool timedOut = false;
};

struct ProcessOptions {
  std::vector<std::string> arguments;               // after the program's own path
  std::optional<std::string> standardInput;         // none: standard input is closed at once (empty)
  std::map<std::string, std::string> environment;   // added to (or replacing in) the test's own
  std::vector<std::string> unsetEnvironment;
  std::optional<std::string> workingDirectory;
  double timeoutSeconds = 60;
  // Descriptors among 0, 1 and 2 the program starts without.
  std::vector<int> closedDescriptors;
  // Standard output is a pipe whose reader is already gone.
  bool standardOutputReaderGone = false;
};

// Runs program (an absolute path) and waits for it. The process is killed
// when it outlives the timeout. When TARNWICK_TEST_TRANSCRIPTS names a folder,
// a bridge run that ended by itself leaves its request and response there
// (NAME.request, NAME.response) for the schema check that runs after the
// process suites.
ProcessResult runProcess(const std::string& program, const ProcessOptions& options);

// A program started and left running, with empty standard input and
// standard error discarded; the destructor kills and reaps it if needed.
// Throws std::runtime_error when it cannot be started.
class StartedProcess {
 public:
  StartedProcess(const std::string& program, const ProcessOptions& options);
  ~StartedProcess();
  StartedProcess(const StartedProcess&) = delete;
  StartedProcess& operator=(const StartedProcess&) = delete;

  // The next line of its standard output without the line feed, or "" when
  // none is complete within timeout.
  std::string readLine(std::chrono::milliseconds timeout);

  // Sends SIGKILL after delay unless the process ended first; true when the
  // kill landed (the process was still running).
  bool killAfter(std::chrono::microseconds delay);

  // Sends signal and reaps the process; nothing when it is already reaped.
  void stop(int signal);

  // Waits for the process; its exit status, or -1 when a signal ended it.
  int wait();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string pending_;
  bool reaped_ = false;
  int status_ = 0;
};

// The absolute path of a program built by this tree ("tarnwick",
// "tarnwick-store").
std::string builtProgram(const std::string& name);

// The absolute path of program on PATH, or "" when it is not there.
std::string findOnPath(const std::string& program);

}  // namespace tarnwick::testing
