// Runs a built program as a separate process, the way a calling application
// starts the bridge: arguments, standard input, extra environment, and what
// came back on standard output and standard error with the exit status.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

struct ProcessResult {
  std::string standardOutput;
  std::string standardError;
  int exitStatus = -1;       // exit code, or -1 when the process did not exit normally
  int terminatingSignal = 0;  // the signal that ended it, or 0
  bool timedOut = false;
};

struct ProcessOptions {
  std::vector<std::string> arguments;  // after the program's own path
  std::optional<std::string> standardInput;  // none: standard input is closed at once (empty)
  std::map<std::string, std::string> environment;  // added to (or replacing in) the test's own
  std::vector<std::string> unsetEnvironment;
  std::optional<std::string> workingDirectory;
  double timeoutSeconds = 60;
};

// Runs program (an absolute path) and waits for it. The process is killed
// when it outlives the timeout. When TARNWICK_TEST_TRANSCRIPTS names a folder,
// a bridge run that ended by itself leaves its request and response there
// (NAME.request, NAME.response) for the schema check that runs after the
// process suites.
ProcessResult runProcess(const std::string& program, const ProcessOptions& options);

// Options that put the local store under dataHome (as XDG_DATA_HOME), so a
// test's programs share one store that no other test sees.
ProcessOptions inDataHome(const std::string& dataHome);

// The absolute path of a program built by this tree ("tarnwick",
// "tarnwick-store").
std::string builtProgram(const std::string& name);

}  // namespace tarnwick::testing
