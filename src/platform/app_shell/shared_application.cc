// Which application object the process gets: the desktop one when the
// desktop module can start, else the headless one, so that "--appkit" never
// fails by itself.
#include <atomic>
#include <utility>

#include "platform/app_shell/app_shell_factories.h"
#include "platform/app_shell/sheet_content.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform {
namespace {

std::atomic<Application*> currentApplication{nullptr};

Application* createApplication() {
  DesktopToolkitOpening opening = openDesktopToolkit();
  if (opening.toolkit) {
    installPermissionSheet(makeToolkitPermissionSheet(*opening.toolkit));
    return makeDesktopApplication(*opening.toolkit).release();
  }
  setPermissionSheetUnavailableReason(std::move(opening.unavailableReason));
  return makeHeadlessApplication().release();
}

}  // namespace

Application& Application::sharedApplication() {
  // Never destroyed: the event loop runs until the process ends.
  static Application* const application = [] {
    Application* created = createApplication();
    currentApplication.store(created, std::memory_order_release);
    return created;
  }();
  return *application;
}

Application* Application::current() { return currentApplication.load(std::memory_order_acquire); }

}  // namespace tarnwick::platform
