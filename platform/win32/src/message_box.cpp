// Message boxes: a modal GTK3 message dialog with the icon and buttons of the flags
// when a display exists; headless, "caption: text" on standard error, answered with
// the first button. A test hook can take every box instead. The line the program last
// reported on standard error goes into the next box as its secondary text.
#include <gtk/gtk.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "gtk_toolkit.h"
#include "win32ext.h"
#include "window_model.h"

namespace {

std::mutex g_hookMutex;
win32ext::MessageBoxHook g_hook;
std::string g_pendingDetail;  // guarded by g_hookMutex

// The reported line waiting for its box, handed over once.
std::string TakePendingDetail() {
  std::lock_guard lock(g_hookMutex);
  return std::exchange(g_pendingDetail, {});
}

struct Button {
  const char* label;
  int id;
};

std::vector<Button> ButtonsFor(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {{"_OK", IDOK}};
    case MB_OKCANCEL: return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE: return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
    case MB_YESNOCANCEL: return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
    case MB_YESNO: return {{"_Yes", IDYES}, {"_No", IDNO}};
    case MB_RETRYCANCEL: return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
    default: return {};
  }
}

GtkMessageType GtkTypeFor(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION: return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION: return GTK_MESSAGE_WARNING;
    case MB_ICONASTERISK: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

int ShowGtkBox(const std::string& text, const std::string& caption, const std::string& detail, UINT type,
               const std::vector<Button>& buttons) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GtkTypeFor(type),
                                             GTK_BUTTONS_NONE, "%s", text.c_str());
  if (!detail.empty()) gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", detail.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  for (const Button& button : buttons) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), button.label, button.id);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons.front().id);
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  while (gtk_events_pending()) gtk_main_iteration();
  if (response > 0) return response;
  // Closing the box counts as Cancel where there is one, else as its only button.
  for (const Button& button : buttons) {
    if (button.id == IDCANCEL) return IDCANCEL;
  }
  return buttons.size() == 1 ? buttons.front().id : IDCANCEL;
}

}  // namespace

void win32ext::SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard lock(g_hookMutex);
  g_hook = std::move(hook);
}

void win32ext::ReportProblem(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line(length > 0 ? size_t(length) : 0, '\0');
  if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, arguments);
  va_end(arguments);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  while (!line.empty() && line.back() == '\n') line.pop_back();
  std::lock_guard lock(g_hookMutex);
  g_pendingDetail = std::move(line);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::vector<Button> buttons = ButtonsFor(type);
  if (buttons.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (owner && !win32impl::LookupWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  win32ext::MessageBoxRecord record{owner, text ? text : "", caption ? caption : "Error", type,
                                    TakePendingDetail()};
  {
    std::lock_guard lock(g_hookMutex);
    if (g_hook) return g_hook(record);
  }
  std::string textUtf8 = win32impl::ReadableUtf8(record.text);
  std::string captionUtf8 = win32impl::ReadableUtf8(record.caption);
  if (win32impl::GtkAvailable()) return ShowGtkBox(textUtf8, captionUtf8, record.detail, type, buttons);
  std::fprintf(stderr, "%s: %s\n", captionUtf8.c_str(), textUtf8.c_str());
  std::fflush(stderr);
  return buttons.front().id;
}
