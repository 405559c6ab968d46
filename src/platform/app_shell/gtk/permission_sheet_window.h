// The permission sheet as a GTK 4 window: what the application asks to
// write and to read, one switch per type, all off at first.
#pragma once

#include <functional>

#include "platform/app_shell/desktop_toolkit.h"

namespace tarnwick::platform::app_shell::gtk {

// The window's title, by which tests and the desktop find it.
inline constexpr const char* kPermissionSheetTitle = "Health Access";

// Builds and presents the sheet; answer is called exactly once, on the main
// thread: "Allow" (or Enter) with the switches' states, "Don't Allow" (or
// Escape), or `dismissed` when the window is closed (close button, Ctrl+W,
// the window manager). Main thread only.
void showPermissionSheet(SheetContent content, std::function<void(PermissionSheetAnswer)> answer);

}  // namespace tarnwick::platform::app_shell::gtk
