#include "shell/tarnwick_main.h"

#include <thread>

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
  try {
    CommandLine::recordProcess(CommandLine(argc, argv));
    if (CommandLine::process().hasFlag(kAppShellFlag)) {
      runApplicationShell();
    } else {
      std::thread([] { runBridge(); }).detach();
      MainQueue::serveForever();
    }
  } catch (...) {
    // Only a lack of memory (for the argument list, or a thread's stack) can
    // get here, before the request is read.
    emitOutOfMemory(CommandLine::process());
  }
  // Reached only if the event loop returns, which it does not in normal
  // operation.
  endProcess(0);
}

}  // namespace tarnwick::shell
