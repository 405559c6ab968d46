#include "shell/tarnwick_main.h"

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "shell/app_shell.h"
#include "shell/bridge.h"
#include "shell/emergency_memory.h"
#include "shell/main_queue.h"
#include "shell/output.h"
#include "shell/process.h"

namespace tarnwick::shell {
namespace {

// Prints text for a person at a terminal and ends the process with status 0.
[[noreturn]] void printAndExit(const std::string& text) {
  const char* next = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t written = ::write(STDOUT_FILENO, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    next += written;
    left -= static_cast<size_t>(written);
  }
  endProcess(0);
}

}  // namespace

void TarnwickMain::main(int argc, char** argv) {
  prepareStandardStreams();
  setAsideEmergencyMemory();
  // Read once, here, and handed down. Static: the request's thread reads it
  // until the process ends.
  static CommandLine commandLine;
  try {
    commandLine = CommandLine(argc, argv);
    // Asked from a terminal, these would otherwise wait for a request on
    // standard input that the person never meant to type.
    if (std::optional<std::string> information = informationRequested(commandLine)) printAndExit(*information);
    if (commandLine.hasFlag(kAppShellFlag)) {
      runApplicationShell(commandLine);
    } else {
      // Direct mode has no application object, so no sheet to offer. Made
      // here, where running out of memory still gets its response.
      std::thread([sheet = platform::PermissionSheetOffer{}]() mutable {
        runBridge(commandLine, std::move(sheet));
      }).detach();
      MainQueue::serveForever();
    }
  } catch (...) {
    // Only a lack of memory (for the argument list, or a thread's stack) can
    // get here, before the request is read.
    emitOutOfMemory(commandLine);
  }
  // Reached only if the event loop returns, which it does not in normal
  // operation.
  endProcess(0);
}

}  // namespace tarnwick::shell
