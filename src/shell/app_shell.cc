#include "shell/app_shell.h"

#include <thread>
#include <utility>

#include "shell/bridge.h"
#include "shell/main_queue.h"

namespace tarnwick::shell {

void BridgeAppDelegate::applicationDidFinishLaunching() {
  application_.activateIgnoringOtherApps(true);
  std::thread([this, sheet = application_.permissionSheet()]() mutable {
    runBridge(commandLine_, std::move(sheet));
  }).detach();
}

void runApplicationShell(const CommandLine& commandLine) {
  platform::Application& application = platform::Application::sharedApplication();
  // Held for the rest of the process: it stays the application's delegate.
  static BridgeAppDelegate delegate(commandLine, application);
  application.setActivationPolicy(platform::ActivationPolicy::accessory);
  application.setDelegate(&delegate);
  application.run(MainQueue::forApplication());
}

}  // namespace tarnwick::shell
