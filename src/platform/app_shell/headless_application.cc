// The application object when no desktop toolkit is available: an event loop
// that is the main queue, and no windows. Every method still runs exactly as
// in direct mode; only a permission sheet cannot be shown.
#include "platform/app_shell/app_shell_factories.h"

#include <utility>

namespace tarnwick::platform::app_shell {
namespace {

class HeadlessApplication final : public Application {
 public:
  explicit HeadlessApplication(std::string sheetUnavailableReason)
      : sheetUnavailableReason_(std::move(sheetUnavailableReason)) {}

  void setActivationPolicy(ActivationPolicy) override {}
  void setDelegate(ApplicationDelegate* delegate) override { delegate_ = delegate; }
  void run(MainThreadQueue& mainQueue) override {
    if (delegate_) {
      ApplicationDelegate* delegate = delegate_;
      mainQueue.post([delegate] { delegate->applicationDidFinishLaunching(); });
    }
    mainQueue.serveForever();
  }
  void activateIgnoringOtherApps(bool) override {}
  PermissionSheetOffer permissionSheet() const override { return {nullptr, sheetUnavailableReason_}; }

 private:
  const std::string sheetUnavailableReason_;
  ApplicationDelegate* delegate_ = nullptr;
};

}  // namespace

std::unique_ptr<Application> makeHeadlessApplication(std::string sheetUnavailableReason) {
  return std::make_unique<HeadlessApplication>(std::move(sheetUnavailableReason));
}

}  // namespace tarnwick::platform::app_shell
