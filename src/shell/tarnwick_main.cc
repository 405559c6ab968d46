#include "shell/tarnwick_main.h"

#include <thread>
#include <utility>

#include "shell/app_shell.h"
#include "shell/bridge.h"
#include "shell/emergency_memory.h"
#include "shell/main_queue.h"
#include "shell/output.h"
#include "shell/process.h"

namespace tarnwick::shell {

void TarnwickMain::main(int argc, char** argv) {
  prepareStandardStreams();
  setAsideEmergencyMemory();
  // Read once, here, and handed down. Static: the request's thread reads it
  // until the process ends.
  static CommandLine commandLine;
  try {
    commandLine = CommandLine(argc, argv);
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
