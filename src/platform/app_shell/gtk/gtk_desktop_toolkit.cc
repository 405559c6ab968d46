// The desktop module: the application object's main loop on GLib and the
// permission sheet on GTK 4. The only symbol it exports is the entry.
#include <gtk/gtk.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/app_shell/desktop_toolkit.h"
#include "platform/app_shell/gtk/open_sheets.h"
#include "platform/app_shell/gtk/permission_sheet_window.h"

namespace tarnwick::platform::app_shell::gtk {
namespace {

using Task = std::function<void()>;

gboolean runTaskOnce(gpointer data) {
  (*static_cast<Task*>(data))();
  return G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) { delete static_cast<Task*>(data); }

// Queued on the default main context, never run in place: a post from the
// main thread itself must not re-enter what that thread is doing.
void queueOnMainLoop(Task task) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, runTaskOnce, new Task(std::move(task)), deleteTask);
  g_source_attach(source, nullptr);
  g_source_unref(source);
}

class GtkDesktopToolkit final : public DesktopToolkit {
 public:
  void post(Task task) override { queueOnMainLoop(std::move(task)); }

  void run(Task launched) override {
    setPendingLaunch(std::move(launched));
    queueOnMainLoop(launchIfPending);
    // No window exists until a sheet is needed; a bare main loop (rather than
    // an application object that quits when its last window goes) keeps
    // running regardless, and registers nothing on the session bus.
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
  }

  // GTK picks up the launcher's activation token from the environment and
  // hands it over with the first window it presents, which brings that
  // window to the front; there is nothing to raise before then.
  void activate() override {}

  void presentSheet(SheetContent content, std::function<void(PermissionSheetAnswer)> answer) override {
    // Open from now on, not only once on screen: a display lost before the
    // main loop gets to the sheet must fail it as well.
    unsigned long ticket = openSheet(std::move(answer));
    if (ticket == 0) return;
    queueOnMainLoop([content = std::move(content), ticket]() mutable {
      showPermissionSheet(std::move(content),
                          [ticket](PermissionSheetAnswer given) { answerSheet(ticket, std::move(given)); });
    });
  }
};

// The response is the bridge's only output: nothing GLib or GTK would say
// may reach a terminal or a log.
// (Each record is still looked at: one of GDK's announces that it is about
// to end the process.)
std::string_view fieldText(const GLogField& field) {
  if (!field.value) return {};
  if (field.length < 0) return static_cast<const char*>(field.value);
  return {static_cast<const char*>(field.value), static_cast<std::size_t>(field.length)};
}

GLogWriterOutput discardStructuredLog(GLogLevelFlags, const GLogField* fields, gsize count, gpointer) {
  std::string_view domain;
  std::string_view message;
  for (gsize i = 0; i < count; ++i) {
    std::string_view key = fields[i].key;
    if (key == "GLIB_DOMAIN") domain = fieldText(fields[i]);
    if (key == "MESSAGE") message = fieldText(fields[i]);
  }
  noticeToolkitLog(domain, message);
  return G_LOG_WRITER_HANDLED;
}
void discardLog(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
  noticeToolkitLog(domain ? domain : "", message ? message : "");
}
void discardPrint(const gchar*) {}

// The sheet is a few switches and two buttons: GTK's cairo renderer draws
// it, and nothing loads or probes OpenGL, whose drivers have crashed the
// process when the display went away under them. Read by GTK at start-up,
// so set before it.
void useRendererWithoutGl() {
  ::setenv("GSK_RENDERER", "cairo", 1);
  const char* debug = std::getenv("GDK_DEBUG");
  std::string flags = debug && debug[0] != '\0' ? std::string(debug) + ",gl-disable" : "gl-disable";
  ::setenv("GDK_DEBUG", flags.c_str(), 1);
}

void silenceToolkitOutput() {
  g_log_set_writer_func(discardStructuredLog, nullptr, nullptr);
  g_log_set_default_handler(discardLog, nullptr);
  g_set_print_handler(discardPrint);
  g_set_printerr_handler(discardPrint);
}

}  // namespace
}  // namespace tarnwick::platform::app_shell::gtk

extern "C" __attribute__((visibility("default"))) tarnwick::platform::app_shell::DesktopToolkit*
tarnwick_open_desktop_toolkit(int interfaceVersion) {
  using namespace tarnwick::platform::app_shell;
  if (interfaceVersion != kDesktopToolkitInterfaceVersion) return nullptr;
  gtk::silenceToolkitOutput();
  // The locale must never change what the bridge writes.
  gtk_disable_setlocale();
  gtk::useRendererWithoutGl();
  gtk::watchForLostDisplay();
  if (!gtk::startToolkit([] { return gtk_init_check() != FALSE; })) return nullptr;
  // Lives for the rest of the process; the process ends with _exit.
  return new gtk::GtkDesktopToolkit;
}
