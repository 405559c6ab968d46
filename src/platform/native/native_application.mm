// The application object over the platform's NSApplication. The C++
// delegate it is given sits behind the Objective-C BridgeAppDelegate, which
// the application object calls once launching has finished; every call of
// platform::Application maps to the NSApplication call of the same name.
#import <AppKit/AppKit.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/application.h"
#include "platform/native/objc_support.h"

namespace {

// The C++ delegate the Objective-C one forwards to. Set before run, read on
// the main thread once launching has finished.
std::atomic<tarnwick::platform::ApplicationDelegate*> launchDelegate{nullptr};

}  // namespace

// The application's delegate. It keeps no state of its own: what to do on
// launch belongs to the C++ delegate.
@interface BridgeAppDelegate : NSObject <NSApplicationDelegate>
@end

@implementation BridgeAppDelegate
- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  // Launching implies the application object; anything else is a broken
  // platform, not a request to answer.
  if (NSApp == nil) std::abort();
  if (tarnwick::platform::ApplicationDelegate* delegate = launchDelegate.load(std::memory_order_acquire))
    delegate->applicationDidFinishLaunching();
}
@end

// One main-thread task, run by the event loop on the main thread.
@interface TarnwickMainThreadTask : NSObject {
 @private
  std::function<void()>* task_;
}
- (instancetype)initWithTask:(std::function<void()>)task;
- (void)run;
@end

@implementation TarnwickMainThreadTask
- (instancetype)initWithTask:(std::function<void()>)task {
  if ((self = [super init])) task_ = new std::function<void()>(std::move(task));
  return self;
}
- (void)run {
  @autoreleasepool {
    (*task_)();
  }
}
- (void)dealloc {
  delete task_;
#if !__has_feature(objc_arc)
  [super dealloc];
#endif
}
@end

namespace tarnwick::platform::native {
namespace {

class NativeApplication final : public Application {
 public:
  NativeApplication() : application_([NSApplication sharedApplication]) {}

  void setActivationPolicy(ActivationPolicy policy) override {
    [application_ setActivationPolicy:static_cast<NSApplicationActivationPolicy>(policy)];
  }

  void setDelegate(ApplicationDelegate* delegate) override {
    launchDelegate.store(delegate, std::memory_order_release);
    // NSApplication does not retain its delegate: this one lives for the
    // rest of the process.
    static BridgeAppDelegate* const bridgeDelegate = [[BridgeAppDelegate alloc] init];
    [application_ setDelegate:bridgeDelegate];
  }

  void run(MainThreadQueue& mainQueue) override {
    // Work for the main thread now goes to the event loop, which owns it.
    mainQueue.redirect([](MainThreadQueue::Task task) {
      @autoreleasepool {
        TarnwickMainThreadTask* item = [[TarnwickMainThreadTask alloc] initWithTask:std::move(task)];
        [item performSelectorOnMainThread:@selector(run) withObject:nil waitUntilDone:NO];
        TARNWICK_RELEASE(item);
      }
    });
    [application_ run];
  }

  void activateIgnoringOtherApps(bool ignoreOtherApps) override {
    TARNWICK_ALLOW_DEPRECATED_BEGIN
    [application_ activateIgnoringOtherApps:ignoreOtherApps ? YES : NO];
    TARNWICK_ALLOW_DEPRECATED_END
  }

  // The framework's store shows the platform's own sheet; the bridge has
  // none to offer.
  PermissionSheetOffer permissionSheet() const override { return {}; }

 private:
  NSApplication* application_;
};

}  // namespace
}  // namespace tarnwick::platform::native

namespace tarnwick::platform {

Application& Application::sharedApplication() {
  // Never destroyed: the event loop runs until the process ends.
  static Application* const application = [] {
    Application* created = nullptr;
    @autoreleasepool {
      created = new native::NativeApplication;
    }
    return created;
  }();
  return *application;
}

}  // namespace tarnwick::platform
