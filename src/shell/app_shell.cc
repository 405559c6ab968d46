#include "shell/app_shell.h"

#include <cstdlib>
#include <thread>

#include "shell/bridge.h"
#include "shell/main_queue.h"

namespace tarnwick::shell {

void BridgeAppDelegate::applicationDidFinishLaunching() {
  platform::Application* application = platform::Application::current();
  if (!application) std::abort();  // unreachable: launching implies an application object
  application->activateIgnoringOtherApps(true);
  std::thread([] { runBridge(); }).detach();
}

void runApplicationShell() {
  // Held for the rest of the process: it stays the application's delegate.
  static BridgeAppDelegate delegate;
  platform::Application& application = platform::Application::sharedApplication();
  application.setActivationPolicy(platform::ActivationPolicy::accessory);
  application.setDelegate(&delegate);
  application.run(MainQueue::forApplication());
}

}  // namespace tarnwick::shell
