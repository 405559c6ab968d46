// The application object of the desktop the bridge runs on: the stand-in
// for the platform's application class. It owns the main thread's event
// loop while it runs and tells its delegate when launching has finished.
#pragma once

#include <functional>

#include "platform/permission_sheet.h"

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

// The main thread's queue of work, owned by whoever runs the application:
// an application object without an event loop of its own serves it, one
// with a loop has every later post handed to that loop.
class MainThreadQueue {
 public:
  using Task = std::function<void()>;
  virtual ~MainThreadQueue() = default;
  // Queues task to run on the main thread; returns at once. Any thread.
  virtual void post(Task task) = 0;
  // Runs queued tasks on the calling (main) thread for the rest of the
  // process's life.
  [[noreturn]] virtual void serveForever() = 0;
  // Hands every later post to executor and moves what is already queued
  // there.
  virtual void redirect(std::function<void(Task)> executor) = 0;
};

class Application {
 public:
  virtual ~Application() = default;

  // The single application object, created on first use (on the main
  // thread).
  static Application& sharedApplication();

  virtual void setActivationPolicy(ActivationPolicy policy) = 0;
  // Not owned; must outlive the event loop.
  virtual void setDelegate(ApplicationDelegate* delegate) = 0;
  // Runs the event loop on the calling (main) thread, which from then on
  // serves mainQueue (which must outlive the loop). Does not return in
  // normal operation.
  virtual void run(MainThreadQueue& mainQueue) = 0;
  // Brings the application to the front even while another one is active.
  virtual void activateIgnoringOtherApps(bool ignoreOtherApps) = 0;
  // The permission sheet this application can show, or why it can show
  // none; the same answer on every call. Any thread.
  virtual PermissionSheetOffer permissionSheet() const = 0;
};

}  // namespace tarnwick::platform
