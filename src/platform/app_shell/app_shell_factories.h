// The application objects the shared application is chosen from.
#pragma once

#include <memory>
#include <string>

#include "platform/app_shell/desktop_toolkit.h"
#include "platform/application.h"

namespace tarnwick::platform::app_shell {

// The application object when no desktop can be reached: its event loop is
// the main-thread queue it is run with, and it never shows a window; its
// permission sheet is none, for `sheetUnavailableReason`. Never fails.
std::unique_ptr<Application> makeHeadlessApplication(std::string sheetUnavailableReason);

// The application object over toolkit (which must outlive it): the toolkit's
// main loop owns the main thread and serves the main-thread queue, and its
// permission sheet is the toolkit's.
std::unique_ptr<Application> makeDesktopApplication(DesktopToolkit& toolkit);

// The desktop module's toolkit, or why there is none.
struct DesktopToolkitOpening {
  DesktopToolkit* toolkit = nullptr;
  // Without a toolkit: one sentence naming the cause (no display, the module
  // missing or not loadable, the display not opening) and what to do.
  std::string unavailableReason;
};

// Opens the desktop module's toolkit: none when there is no display to show
// a window on, the module is not beside the executable or in ../lib/tarnwick,
// cannot be loaded, is of another interface version, or cannot open the
// display. Loads the module at most once per call; call it once, on the main
// thread.
DesktopToolkitOpening openDesktopToolkit();

}  // namespace tarnwick::platform::app_shell
