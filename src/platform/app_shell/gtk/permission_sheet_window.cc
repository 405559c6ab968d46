#include "platform/app_shell/gtk/permission_sheet_window.h"

#include <gtk/gtk.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/app_shell/sheet_content.h"

namespace tarnwick::platform::app_shell::gtk {
namespace {

// The look of a current GNOME dialog (rounded "boxed" lists, a large heading)
// without depending on libadwaita.
constexpr const char* kSheetCss = R"css(
.tarnwick-sheet .sheet-icon { color: #e01b24; }
.tarnwick-sheet .sheet-heading { font-size: 15pt; font-weight: 800; }
.tarnwick-sheet .sheet-section { font-weight: 700; }
.tarnwick-sheet .sheet-section-line { margin-top: 8px; }
.tarnwick-sheet .sheet-list {
  background-color: @theme_base_color;
  border: 1px solid alpha(currentColor, 0.15);
  border-radius: 12px;
}
.tarnwick-sheet .sheet-row {
  padding: 6px 14px;
  min-height: 32px;
  border-top: 1px solid alpha(currentColor, 0.10);
}
.tarnwick-sheet .sheet-row:first-child { border-top: none; }
.tarnwick-sheet .sheet-turn-on-all { color: @theme_selected_bg_color; font-weight: 700; padding: 2px 8px; min-height: 0; }
.tarnwick-sheet .sheet-answer { min-height: 32px; padding: 4px 18px; border-radius: 9px; font-weight: 700; }
)css";

struct SwitchChoice {
  GtkSwitch* control;
  std::string identifier;
  bool share;  // a write switch, else a read switch
};

struct Sheet {
  SheetContent content;
  std::function<void(PermissionSheetAnswer)> answer;
  GtkWindow* window = nullptr;
  GtkWidget* allow = nullptr;
  GtkWidget* dontAllow = nullptr;
  std::vector<SwitchChoice> switches = {};
  bool answered = false;
};

void installStyleOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, kSheetCss, -1);
  gtk_style_context_add_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(provider),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

// Answers once. The window goes away with the answer; a window being closed
// is on its way already.
void finish(Sheet* sheet, PermissionSheetAnswer::Outcome outcome, bool destroyWindow = true) {
  if (sheet->answered) return;
  sheet->answered = true;
  PermissionSheetAnswer answer;
  answer.outcome = outcome;
  if (outcome == PermissionSheetAnswer::Outcome::allow) {
    for (const SwitchChoice& choice : sheet->switches) {
      bool on = gtk_switch_get_active(choice.control);
      (choice.share ? answer.shareAllowed : answer.readAllowed)[choice.identifier] = on;
    }
  }
  sheet->answer(std::move(answer));
  if (destroyWindow) gtk_window_destroy(sheet->window);
}

GtkWidget* label(const std::string& text, const char* cssClass, int widthChars) {
  GtkWidget* widget = gtk_label_new(text.c_str());
  gtk_label_set_wrap(GTK_LABEL(widget), TRUE);
  gtk_label_set_justify(GTK_LABEL(widget), GTK_JUSTIFY_CENTER);
  gtk_label_set_max_width_chars(GTK_LABEL(widget), widthChars);
  if (cssClass) gtk_widget_add_css_class(widget, cssClass);
  return widget;
}

// A row's label toggles its switch when clicked, as in the desktop's own
// settings lists.
void onRowClicked(GtkGestureClick*, int, double, double, gpointer control) {
  GtkSwitch* toggle = GTK_SWITCH(control);
  gtk_switch_set_active(toggle, !gtk_switch_get_active(toggle));
}

// trailing (may be null) sits at the end of the heading line.
void appendSection(Sheet* sheet, GtkBox* body, const std::string& heading, const std::vector<SheetRow>& rows,
                   bool share, GtkWidget* trailing) {
  if (rows.empty()) return;
  GtkWidget* line = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_widget_add_css_class(line, "sheet-section-line");
  GtkWidget* title = gtk_label_new(heading.c_str());
  gtk_label_set_xalign(GTK_LABEL(title), 0);
  gtk_widget_set_hexpand(title, TRUE);
  gtk_widget_add_css_class(title, "sheet-section");
  gtk_box_append(GTK_BOX(line), title);
  if (trailing) gtk_box_append(GTK_BOX(line), trailing);
  gtk_box_append(body, line);

  GtkWidget* list = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_widget_add_css_class(list, "sheet-list");
  gtk_widget_set_overflow(list, GTK_OVERFLOW_HIDDEN);
  for (const SheetRow& row : rows) {
    GtkWidget* line = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_widget_add_css_class(line, "sheet-row");
    GtkWidget* name = gtk_label_new(row.label.c_str());
    gtk_label_set_xalign(GTK_LABEL(name), 0);
    gtk_label_set_ellipsize(GTK_LABEL(name), PANGO_ELLIPSIZE_END);
    gtk_widget_set_hexpand(name, TRUE);
    GtkWidget* toggle = gtk_switch_new();
    gtk_widget_set_valign(toggle, GTK_ALIGN_CENTER);
    gtk_accessible_update_relation(GTK_ACCESSIBLE(toggle), GTK_ACCESSIBLE_RELATION_LABELLED_BY, name, NULL, -1);
    GtkGesture* click = gtk_gesture_click_new();
    g_signal_connect(click, "released", G_CALLBACK(onRowClicked), toggle);
    gtk_widget_add_controller(name, GTK_EVENT_CONTROLLER(click));
    gtk_box_append(GTK_BOX(line), name);
    gtk_box_append(GTK_BOX(line), toggle);
    gtk_box_append(GTK_BOX(list), line);
    sheet->switches.push_back({GTK_SWITCH(toggle), row.identifier, share});
  }
  gtk_box_append(body, list);
}

bool anySwitchOn(const Sheet* sheet) {
  for (const SwitchChoice& choice : sheet->switches) {
    if (gtk_switch_get_active(choice.control)) return true;
  }
  return false;
}

// Allow with every switch off would answer "authorized" for a request that
// allowed nothing; until something is on, the choice is Don't Allow.
void updateAllow(Sheet* sheet) { gtk_widget_set_sensitive(sheet->allow, anySwitchOn(sheet)); }

void onSwitchChanged(GObject*, GParamSpec*, gpointer data) { updateAllow(static_cast<Sheet*>(data)); }

void onTurnOnAll(GtkButton*, gpointer data) {
  for (const SwitchChoice& choice : static_cast<Sheet*>(data)->switches) gtk_switch_set_active(choice.control, TRUE);
}

void onDontAllow(GtkButton*, gpointer data) { finish(static_cast<Sheet*>(data), PermissionSheetAnswer::Outcome::dontAllow); }

void onAllow(GtkButton*, gpointer data) { finish(static_cast<Sheet*>(data), PermissionSheetAnswer::Outcome::allow); }

gboolean onCloseRequest(GtkWindow*, gpointer data) {
  finish(static_cast<Sheet*>(data), PermissionSheetAnswer::Outcome::dismissed, false);
  return FALSE;  // let the window close
}

bool isEnter(guint key) { return key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter; }

// Escape is Don't Allow and Enter is Allow, whenever Allow is available,
// wherever the focus is: on a switch, a row, or "Turn On All" just clicked.
// The one exception is a focused "Don't Allow", where Enter presses it:
// someone who moved there and pressed Enter must not grant access.
gboolean onKeyPressed(GtkEventControllerKey*, guint key, guint, GdkModifierType modifiers, gpointer data) {
  auto* sheet = static_cast<Sheet*>(data);
  if (key == GDK_KEY_Escape) {
    finish(sheet, PermissionSheetAnswer::Outcome::dontAllow);
    return TRUE;
  }
  if ((modifiers & GDK_CONTROL_MASK) && (key == GDK_KEY_w || key == GDK_KEY_W)) {
    gtk_window_close(sheet->window);
    return TRUE;
  }
  if (isEnter(key)) {
    GtkWidget* focus = gtk_window_get_focus(sheet->window);
    if (focus == sheet->dontAllow) return FALSE;
    if (gtk_widget_get_sensitive(sheet->allow)) {
      finish(sheet, PermissionSheetAnswer::Outcome::allow);
      return TRUE;
    }
    // Nothing to allow yet: Enter presses a focused "Turn On All" and
    // otherwise does nothing.
    return focus && GTK_IS_BUTTON(focus) ? FALSE : TRUE;
  }
  return FALSE;
}

GtkWidget* answerButton(const char* text, const char* extraClass, GCallback handler, Sheet* sheet) {
  GtkWidget* button = gtk_button_new_with_label(text);
  gtk_widget_add_css_class(button, "sheet-answer");
  if (extraClass) gtk_widget_add_css_class(button, extraClass);
  gtk_widget_set_hexpand(button, TRUE);
  g_signal_connect(button, "clicked", handler, sheet);
  return button;
}

// As tall as the screen allows once the title bar, the heading, the answer
// buttons (about 330 pixels together) and some desktop around are taken off.
int listHeightLimit() {
  int limit = 420;
  GListModel* monitors = gdk_display_get_monitors(gdk_display_get_default());
  if (auto* monitor = static_cast<GdkMonitor*>(g_list_model_get_item(monitors, 0))) {
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    limit = area.height - 380;
    g_object_unref(monitor);
  }
  return limit < 200 ? 200 : limit;
}

}  // namespace

void showPermissionSheet(SheetContent content, std::function<void(PermissionSheetAnswer)> answer) {
  installStyleOnce();
  auto* sheet = new Sheet{.content = std::move(content), .answer = std::move(answer)};
  const std::string& name = sheet->content.applicationName;

  GtkWidget* window = gtk_window_new();
  sheet->window = GTK_WINDOW(window);
  // The sheet lives exactly as long as its window.
  g_object_set_data_full(G_OBJECT(window), "tarnwick-sheet", sheet, [](gpointer data) {
    delete static_cast<Sheet*>(data);
  });
  gtk_window_set_title(sheet->window, kPermissionSheetTitle);
  gtk_window_set_resizable(sheet->window, FALSE);
  gtk_widget_add_css_class(window, "tarnwick-sheet");

  GtkWidget* header = gtk_header_bar_new();
  gtk_header_bar_set_title_widget(GTK_HEADER_BAR(header), gtk_label_new(kPermissionSheetTitle));
  gtk_widget_add_css_class(gtk_header_bar_get_title_widget(GTK_HEADER_BAR(header)), "title");
  // A sheet is answered or closed, never minimised.
  gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(header), ":close");
  gtk_window_set_titlebar(sheet->window, header);

  GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  // A fixed width, not just a default one: the window's height is measured
  // at its narrowest width, where the headings wrap onto more lines, and
  // would otherwise leave those lines as a gap at 440 pixels.
  gtk_widget_set_size_request(outer, 440, -1);
  GtkWidget* intro = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_widget_set_margin_start(intro, 24);
  gtk_widget_set_margin_end(intro, 24);
  gtk_widget_set_margin_top(intro, 18);
  gtk_widget_set_margin_bottom(intro, 4);
  GtkWidget* icon = gtk_image_new_from_icon_name("emblem-favorite-symbolic");
  gtk_image_set_pixel_size(GTK_IMAGE(icon), 48);
  gtk_widget_add_css_class(icon, "sheet-icon");
  gtk_box_append(GTK_BOX(intro), icon);
  gtk_box_append(GTK_BOX(intro), label(name + " would like to access your health data", "sheet-heading", 24));
  gtk_box_append(GTK_BOX(intro), label(sheetInvitation(sheet->content), "dim-label", 46));
  gtk_box_append(GTK_BOX(outer), intro);

  GtkWidget* lists = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_widget_set_margin_start(lists, 24);
  gtk_widget_set_margin_end(lists, 24);
  gtk_widget_set_margin_bottom(lists, 12);
  // "Turn On All" heads the first list, where the eye starts on the rows.
  GtkWidget* turnOnAll = gtk_button_new_with_label("Turn On All");
  gtk_widget_add_css_class(turnOnAll, "flat");
  gtk_widget_add_css_class(turnOnAll, "sheet-turn-on-all");
  gtk_widget_set_valign(turnOnAll, GTK_ALIGN_CENTER);
  g_signal_connect(turnOnAll, "clicked", G_CALLBACK(onTurnOnAll), sheet);
  bool writesFirst = !sheet->content.shareRows.empty();
  appendSection(sheet, GTK_BOX(lists), "Allow " + name + " to write", sheet->content.shareRows, true,
                writesFirst ? turnOnAll : nullptr);
  appendSection(sheet, GTK_BOX(lists), "Allow " + name + " to read", sheet->content.readRows, false,
                writesFirst ? nullptr : turnOnAll);
  // With no rows at all there is nothing to turn on: drop the unused button.
  if (!gtk_widget_get_parent(turnOnAll)) g_object_unref(g_object_ref_sink(turnOnAll));

  // Fourteen rows do not fit every screen: the lists scroll, the heading and
  // the answer buttons stay in view.
  GtkWidget* scroller = gtk_scrolled_window_new();
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroller), TRUE);
  gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroller), listHeightLimit());
  gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scroller), lists);
  gtk_widget_set_vexpand(scroller, TRUE);
  gtk_box_append(GTK_BOX(outer), scroller);

  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
  gtk_widget_set_margin_start(buttons, 24);
  gtk_widget_set_margin_end(buttons, 24);
  gtk_widget_set_margin_top(buttons, 6);
  gtk_widget_set_margin_bottom(buttons, 20);
  sheet->dontAllow = answerButton("Don't Allow", nullptr, G_CALLBACK(onDontAllow), sheet);
  sheet->allow = answerButton("Allow", "suggested-action", G_CALLBACK(onAllow), sheet);
  gtk_box_append(GTK_BOX(buttons), sheet->dontAllow);
  gtk_box_append(GTK_BOX(buttons), sheet->allow);
  for (const SwitchChoice& choice : sheet->switches) {
    g_signal_connect(choice.control, "notify::active", G_CALLBACK(onSwitchChanged), sheet);
  }
  updateAllow(sheet);
  gtk_box_append(GTK_BOX(outer), buttons);
  gtk_window_set_child(sheet->window, outer);

  GtkEventController* keys = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
  g_signal_connect(keys, "key-pressed", G_CALLBACK(onKeyPressed), sheet);
  gtk_widget_add_controller(window, keys);
  g_signal_connect(window, "close-request", G_CALLBACK(onCloseRequest), sheet);

  // Focus starts on the first switch so that Tab and Space work at once and
  // no answer button is pressed by a stray Enter.
  if (!sheet->switches.empty()) gtk_window_set_focus(sheet->window, GTK_WIDGET(sheet->switches.front().control));
  gtk_window_present(sheet->window);
}

}  // namespace tarnwick::platform::app_shell::gtk
