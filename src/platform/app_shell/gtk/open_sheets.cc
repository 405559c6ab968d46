#include "platform/app_shell/gtk/open_sheets.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include <atomic>
#include <csetjmp>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <pthread.h>
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

namespace {

// The launch of the request until someone runs it. Main thread only.
std::function<void()>& pendingLaunch() {
  static auto* launch = new std::function<void()>;
  return *launch;
}

}  // namespace

void setPendingLaunch(std::function<void()> launch) { pendingLaunch() = std::move(launch); }

void launchIfPending() {
  std::function<void()> launch = std::exchange(pendingLaunch(), nullptr);
  if (launch) launch();
}

#ifdef GDK_WINDOWING_X11
namespace {

// Set once, before the toolkit starts, then only read: the handlers below
// must not ask X anything, and GLib may log from any thread.
std::atomic<const std::string*> watchedDisplay{nullptr};

// Where a display lost during the toolkit's start-up goes back to; armed
// only while startToolkit runs the start-up.
sigjmp_buf startUpAbandoned;
std::atomic<bool> startingUp{false};
std::atomic<pthread_t> startUpThread{};

// During start-up the toolkit is abandoned: startToolkit reports it as not
// started, and the bridge answers without a sheet. Called before anything
// with a destructor is made, as the jump skips the frames in between; only
// the thread running the start-up may jump (GLib logs from any thread).
void abandonStartUpIfStarting() {
  if (!::pthread_equal(::pthread_self(), startUpThread.load())) return;
  if (startingUp.exchange(false)) siglongjmp(startUpAbandoned, 1);
}

// The open sheets' requests finish on the store's and the bridge's threads,
// and the bridge's answer ends the process; the main thread, whose loop can
// no longer trust its display, waits here for that.
[[noreturn]] void failSheetsAndWait(const std::string& failure) {
  failSheets(failure);
  // A display lost before the main loop got to its first piece of work: the
  // request has not started, and the loop that would start it never runs
  // again.
  launchIfPending();
  for (;;) ::pause();
}

// Xlib calls this on the main thread when the connection breaks, and ends the
// process as soon as it returns (GDK's own handler ends it at once), so it
// never returns.
int onXConnectionLost(Display*) {
  abandonStartUpIfStarting();
  failSheetsAndWait("The connection to the display '" + *watchedDisplay.load() +
                    "' was lost while the permission sheet was up, so nothing was recorded.");
}

}  // namespace

void watchForLostDisplay() {
  const char* name = std::getenv("DISPLAY");
  watchedDisplay.store(new std::string(name ? name : ""));
  // GDK installs its own handler, which ends the process at once, when its
  // X display class is first set up, which would otherwise happen in the
  // middle of the start-up: set it up now, so that the handler installed
  // after it is the one in place from the first X request on.
  g_type_class_unref(g_type_class_ref(GDK_TYPE_X11_DISPLAY));
  XSetIOErrorHandler(onXConnectionLost);
}

bool startToolkit(bool (*startUp)()) {
  startUpThread.store(::pthread_self());
  if (sigsetjmp(startUpAbandoned, 0) != 0) return false;
  startingUp.store(true);
  bool started = startUp();
  startingUp.store(false);
  return started;
}

void noticeToolkitLog(std::string_view domain, std::string_view message) {
  const std::string* displayName = watchedDisplay.load();
  if (!displayName || domain != "Gdk") return;
  if (message.find("X Window System error") == std::string_view::npos) return;
  abandonStartUpIfStarting();
  failSheetsAndWait("The display '" + *displayName +
                    "' reported an error in the permission sheet's window (another program may have destroyed it), "
                    "so nothing was recorded.");
}
#else
void watchForLostDisplay() {}
bool startToolkit(bool (*startUp)()) { return startUp(); }
void noticeToolkitLog(std::string_view, std::string_view) {}
#endif

}  // namespace tarnwick::platform::app_shell::gtk
