// The application object when no desktop toolkit is available: an event loop
// that is the main queue, and no windows. Every method still runs exactly as
// in direct mode; only a permission sheet cannot be shown.
#include "platform/application.h"

#include <atomic>

#include "shell/main_queue.h"

namespace tarnwick::platform {
namespace {

class HeadlessApplication final : public Application {
 public:
  void setActivationPolicy(ActivationPolicy) override {}
  void setDelegate(ApplicationDelegate* delegate) override { delegate_ = delegate; }
  void run() override {
    if (delegate_) {
      ApplicationDelegate* delegate = delegate_;
      shell::MainQueue::post([delegate] { delegate->applicationDidFinishLaunching(); });
    }
    shell::MainQueue::serveForever();
  }
  void activateIgnoringOtherApps(bool) override {}

 private:
  ApplicationDelegate* delegate_ = nullptr;
};

std::atomic<Application*> currentApplication{nullptr};

}  // namespace

Application& Application::sharedApplication() {
  static Application* const application = [] {
    Application* created = new HeadlessApplication;
    currentApplication.store(created, std::memory_order_release);
    return created;
  }();
  return *application;
}

Application* Application::current() { return currentApplication.load(std::memory_order_acquire); }

}  // namespace tarnwick::platform
