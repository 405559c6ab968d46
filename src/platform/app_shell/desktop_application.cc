// The application object on a desktop: the module's main loop owns the main
// thread, and work posted to the main-thread queue runs inside it so that the sheet
// and the bridge's own main-thread work share one thread.
#include "platform/app_shell/app_shell_factories.h"
#include "platform/app_shell/sheet_content.h"

namespace tarnwick::platform::app_shell {
namespace {

class DesktopApplication final : public Application {
 public:
  explicit DesktopApplication(DesktopToolkit& toolkit) : toolkit_(toolkit), sheet_(makeToolkitPermissionSheet(toolkit)) {}

  // The toolkit opens no window of its own, so every policy looks the same:
  // nothing in the taskbar and no menu bar until a sheet is shown.
  void setActivationPolicy(ActivationPolicy) override {}
  void setDelegate(ApplicationDelegate* delegate) override { delegate_ = delegate; }

  void run(MainThreadQueue& mainQueue) override {
    DesktopToolkit* toolkit = &toolkit_;
    mainQueue.redirect([toolkit](MainThreadQueue::Task task) { toolkit->post(std::move(task)); });
    ApplicationDelegate* delegate = delegate_;
    toolkit_.run([delegate] {
      if (delegate) delegate->applicationDidFinishLaunching();
    });
  }

  void activateIgnoringOtherApps(bool) override { toolkit_.activate(); }
  PermissionSheetOffer permissionSheet() const override { return {sheet_}; }

 private:
  DesktopToolkit& toolkit_;
  const std::shared_ptr<PermissionSheet> sheet_;
  ApplicationDelegate* delegate_ = nullptr;
};

}  // namespace

std::unique_ptr<Application> makeDesktopApplication(DesktopToolkit& toolkit) {
  return std::make_unique<DesktopApplication>(toolkit);
}

}  // namespace tarnwick::platform::app_shell
