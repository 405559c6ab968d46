// The sheets asked for and not yet answered, wherever they are (queued for
// the main loop or on screen), so that losing the display answers each of
// them with a failure instead of leaving its request waiting forever.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/permission_sheet.h"

namespace tarnwick::platform::app_shell::gtk {

using SheetAnswer = std::function<void(PermissionSheetAnswer)>;

// Records answer as open and returns its ticket; once the display has
// failed, answers it at once with that failure instead and returns 0. Any
// thread.
unsigned long openSheet(SheetAnswer answer);

// Gives the open sheet's answer to ticket's holder: the first call answers,
// later ones (and one for a sheet already failed) do nothing. Any thread.
void answerSheet(unsigned long ticket, PermissionSheetAnswer answer);

// Answers every open sheet, and every later one at once, with `failed` and
// failure (one sentence). Any thread; what it calls must not need the main
// loop.
void failSheets(const std::string& failure);

// Makes the loss of the X connection (the server ended, or the sheet's
// client was killed) fail the open sheets instead of ending the process,
// from the toolkit's start-up on: losing it during start-up jumps back to
// `startUp`'s caller (see startToolkit); losing it later fails the sheets,
// launches the request if the main loop has not done so yet, and keeps the
// main thread waiting for the bridge to answer and end the process. Does
// nothing on other display backends. Main thread, once, before the toolkit
// starts.
void watchForLostDisplay();

// Runs startUp (the toolkit's own start-up) under the watch: false when it
// failed or the display was lost while it ran, in which case the toolkit
// must not be used again. Main thread, once, after watchForLostDisplay.
bool startToolkit(bool (*startUp)());

// Hands over the launch of the request: the main loop calls
// launchIfPending as its first piece of work, and a display lost before that
// launches it too, exactly once between them. Main thread.
void setPendingLaunch(std::function<void()> launch);
void launchIfPending();

// Sees each log record the toolkit writes. GDK reports an X error it did not
// expect (the sheet's window destroyed by another program, say) and then
// ends the process; on that report this fails the open sheets and keeps the
// main thread waiting instead, as for a lost connection. Main thread.
void noticeToolkitLog(std::string_view domain, std::string_view message);

}  // namespace tarnwick::platform::app_shell::gtk
