// The application-shell run mode ("--appkit"): the request runs inside a
// minimal desktop application so that the store's permission sheet can be
// shown while it waits.
#pragma once

#include "platform/application.h"
#include "shell/command_line.h"

namespace tarnwick::shell {

// The application's delegate: once launching has finished it brings the
// application forward and starts the request on a worker thread, with the
// application's permission sheet for the store. Both arguments must outlive
// the process.
class BridgeAppDelegate : public platform::ApplicationDelegate {
 public:
  BridgeAppDelegate(const CommandLine& commandLine, platform::Application& application)
      : commandLine_(commandLine), application_(application) {}
  void applicationDidFinishLaunching() override;

 private:
  const CommandLine& commandLine_;
  platform::Application& application_;
};

// Configures the application object and runs its event loop on the main
// thread. commandLine must outlive the process. Returns only if the event
// loop does.
void runApplicationShell(const CommandLine& commandLine);

}  // namespace tarnwick::shell
