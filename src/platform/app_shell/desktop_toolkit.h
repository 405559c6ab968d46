// The seam between the bridge and the loadable desktop module. The bridge
// itself never links a GUI toolkit (start-up time of every request would pay
// for it); in application-shell mode it loads the module and drives it
// through this interface only. Both sides are built from this tree with the
// same compiler, so standard library types may cross the seam; nothing may
// throw across it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/permission_sheet.h"

namespace tarnwick::platform::app_shell {

// Bumped whenever anything in this file (or the sheet answer it carries)
// changes shape, so that a stale module
// left beside a newer bridge is refused instead of misread.
inline constexpr int kDesktopToolkitInterfaceVersion = 2;

// The module's file name, looked for in the bridge executable's directory.
inline constexpr const char* kDesktopModuleFileName = "tarnwick-gtk-shell.so";

// The one symbol the module exports: `DesktopToolkitEntry`.
inline constexpr const char* kDesktopModuleEntrySymbol = "tarnwick_open_desktop_toolkit";

// One switch of the sheet: which type it decides and what the person reads.
struct SheetRow {
  std::string identifier;  // the type's identifier, the key of the answer maps
  std::string label;       // e.g. "Heart Rate"
};

// What the sheet shows, already worded: the toolkit only lays it out.
struct SheetContent {
  std::string applicationName;
  std::vector<SheetRow> shareRows;  // asked to write
  std::vector<SheetRow> readRows;   // asked to read
};

class DesktopToolkit {
 public:
  virtual ~DesktopToolkit() = default;

  // Queues task to run on the toolkit's main loop. Any thread; returns at
  // once.
  virtual void post(std::function<void()> task) = 0;

  // Runs the main loop on the calling (main) thread; launched runs once as
  // the loop's first piece of work. Does not return in normal operation.
  virtual void run(std::function<void()> launched) = 0;

  // Lets the next window the application shows come to the front even while
  // another application is active.
  virtual void activate() = 0;

  // Shows the sheet for content and calls answer exactly once, on the main
  // loop, with the person's decision. Any thread. A `dismissed` answer with
  // empty maps is given when the window is closed without a decision; a
  // `failed` one, on any thread, when the display is lost.
  virtual void presentSheet(SheetContent content, std::function<void(PermissionSheetAnswer)> answer) = 0;
};

// The module's entry. Returns a toolkit ready to run, or nullptr when the
// module cannot serve: interface version mismatch, no display to connect to,
// or the toolkit failed to start. Called once, on the main thread. The
// toolkit lives for the rest of the process.
using DesktopToolkitEntry = DesktopToolkit* (*)(int interfaceVersion);

}  // namespace tarnwick::platform::app_shell
