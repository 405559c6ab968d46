// The application object of the desktop the bridge runs on: the stand-in
// for the platform's application class. It owns the main thread's event
// loop while it runs and tells its delegate when launching has finished.
#pragma once

namespace tarnwick::platform {

// How the application appears to the person: `accessory` has no dock or
// taskbar entry and no menu bar, yet may show windows and sheets.
enum class ActivationPolicy : int { regular = 0, accessory = 1, prohibited = 2 };

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  // Called once on the main thread when the event loop has started.
  virtual void applicationDidFinishLaunching() = 0;
};

class Application {
 public:
  virtual ~Application() = default;

  // The single application object, created on first use (on the main
  // thread).
  static Application& sharedApplication();

  // The application object if one has been created, else nullptr.
  static Application* current();

  virtual void setActivationPolicy(ActivationPolicy policy) = 0;
  // Not owned; must outlive the event loop.
  virtual void setDelegate(ApplicationDelegate* delegate) = 0;
  // Runs the event loop on the calling (main) thread. Does not return in
  // normal operation.
  virtual void run() = 0;
  // Brings the application to the front even while another one is active.
  virtual void activateIgnoringOtherApps(bool ignoreOtherApps) = 0;
};

}  // namespace tarnwick::platform
