#include "platform/app_shell/gtk/open_sheets.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarnwick::platform::app_shell::gtk {
namespace {

struct Ledger {
  std::mutex mutex;
  std::map<unsigned long, SheetAnswer> open;
  unsigned long nextTicket = 1;
  std::optional<std::string> failure;  // set once the display has failed
};

PermissionSheetAnswer failedAnswer(const std::string& failure) {
  PermissionSheetAnswer answer;
  answer.outcome = PermissionSheetAnswer::Outcome::failed;
  answer.failure = failure;
  return answer;
}

Ledger& ledger() {
  // Never destroyed: answers may arrive from any thread until the process
  // ends with _exit.
  static auto* shared = new Ledger;
  return *shared;
}

}  // namespace

unsigned long openSheet(SheetAnswer answer) {
  Ledger& sheets = ledger();
  std::unique_lock lock(sheets.mutex);
  if (sheets.failure) {
    PermissionSheetAnswer failed = failedAnswer(*sheets.failure);
    lock.unlock();
    answer(std::move(failed));
    return 0;
  }
  unsigned long ticket = sheets.nextTicket++;
  sheets.open.emplace(ticket, std::move(answer));
  return ticket;
}

void answerSheet(unsigned long ticket, PermissionSheetAnswer answer) {
  Ledger& sheets = ledger();
  SheetAnswer taken;
  {
    std::lock_guard lock(sheets.mutex);
    auto found = sheets.open.find(ticket);
    if (found == sheets.open.end()) return;
    taken = std::move(found->second);
    sheets.open.erase(found);
  }
  taken(std::move(answer));
}

void failSheets(const std::string& failure) {
  Ledger& sheets = ledger();
  std::map<unsigned long, SheetAnswer> taken;
  {
    std::lock_guard lock(sheets.mutex);
    if (!sheets.failure) sheets.failure = failure;
    taken.swap(sheets.open);
  }
  for (auto& [ticket, answer] : taken) answer(failedAnswer(failure));
}

#ifdef GDK_WINDOWING_X11
namespace {

// Set once the display is open, then only read: the handlers below must
// not ask X anything, and GLib may log from any thread.
std::atomic<const std::string*> watchedDisplay{nullptr};

// The open sheets' requests finish on the store's and the bridge's threads,
// and the bridge's answer ends the process; the main thread, whose loop can
// no longer trust its display, waits here for that.
[[noreturn]] void failSheetsAndWait(const std::string& failure) {
  failSheets(failure);
  for (;;) ::pause();
}

// Xlib calls this on the main thread when the connection breaks, and ends the
// process as soon as it returns (GDK's own handler ends it at once), so it
// never returns.
int onXConnectionLost(Display*) {
  failSheetsAndWait("The connection to the display '" + *watchedDisplay.load() +
                    "' was lost while the permission sheet was up, so nothing was recorded.");
}

}  // namespace

void watchForLostDisplay() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return;
  watchedDisplay.store(new std::string(gdk_display_get_name(display)));
  XSetIOErrorHandler(onXConnectionLost);
}

void noticeToolkitLog(std::string_view domain, std::string_view message) {
  const std::string* displayName = watchedDisplay.load();
  if (!displayName || domain != "Gdk") return;
  if (message.find("X Window System error") == std::string_view::npos) return;
  failSheetsAndWait("The display '" + *displayName +
                    "' reported an error in the permission sheet's window (another program may have destroyed it), "
                    "so nothing was recorded.");
}
#else
void watchForLostDisplay() {}
void noticeToolkitLog(std::string_view, std::string_view) {}
#endif

}  // namespace tarnwick::platform::app_shell::gtk
