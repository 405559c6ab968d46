#include "shell/tarnwick_main.h"

#include <thread>

#include "shell/app_shell.h"
#include "shell/bridge.h"
#include "shell/main_queue.h"
#include "shell/process.h"

namespace tarnwick::shell {

void TarnwickMain::main(int argc, char** argv) {
  prepareStandardStreams();
  CommandLine::recordProcess(CommandLine(argc, argv));
  if (CommandLine::process().hasFlag(kAppShellFlag)) {
    runApplicationShell();
  } else {
    std::thread([] { runBridge(); }).detach();
    MainQueue::serveForever();
  }
  // Reached only if the event loop returns, which it does not in normal
  // operation.
  endProcess(0);
}

}  // namespace tarnwick::shell
