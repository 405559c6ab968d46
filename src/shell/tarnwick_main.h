// The process entry: decides the run mode and starts the one request.
#pragma once

#include "shell/command_line.h"

namespace tarnwick::shell {

struct TarnwickMain {
  // Runs on the main thread and never returns: direct mode starts runBridge
  // on a worker and serves the main queue; "--appkit" hands the main thread
  // to the application shell.
  [[noreturn]] static void main(int argc, char** argv);
};

}  // namespace tarnwick::shell
