// The application-shell run mode ("--appkit"): the request runs inside a
// minimal desktop application so that the store's permission sheet can be
// shown while it waits.
#pragma once

#include "platform/application.h"

namespace tarnwick::shell {

// The application's delegate: once launching has finished it brings the
// application forward and starts the request on a worker thread.
class BridgeAppDelegate : public platform::ApplicationDelegate {
 public:
  void applicationDidFinishLaunching() override;
};

// Configures the application object and runs its event loop on the main
// thread. Returns only if the event loop does.
void runApplicationShell();

}  // namespace tarnwick::shell
