// Which application object the process gets: the desktop one when the
// desktop module can start, else the headless one, so that "--appkit" never
// fails by itself.
#include <utility>

#include "platform/app_shell/app_shell_factories.h"

namespace tarnwick::platform {
namespace {

Application* createApplication() {
  app_shell::DesktopToolkitOpening opening = app_shell::openDesktopToolkit();
  if (opening.toolkit) return app_shell::makeDesktopApplication(*opening.toolkit).release();
  return app_shell::makeHeadlessApplication(std::move(opening.unavailableReason)).release();
}

}  // namespace

Application& Application::sharedApplication() {
  // Never destroyed: the event loop runs until the process ends.
  static Application* const application = createApplication();
  return *application;
}

}  // namespace tarnwick::platform
