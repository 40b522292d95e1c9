// The GTK message box: a modal message dialog with the icon of the MB_ flags and one
// button per answer. Closing it answers Cancel where there is one.
#include <gtk/gtk.h>

#include "gtk_toolkit.h"
#include "winuser.h"

namespace {

using win32impl::MessageBoxButton;

GtkMessageType GtkTypeFor(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION: return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION: return GTK_MESSAGE_WARNING;
    case MB_ICONASTERISK: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

}  // namespace

int win32impl::ShowGtkMessageBox(const MessageBoxRequest& request) {
  const std::vector<MessageBoxButton>& buttons = request.buttons;
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GtkTypeFor(request.type),
                                             GTK_BUTTONS_NONE, "%s", request.text.c_str());
  if (!request.detail.empty())
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", request.detail.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), request.caption.c_str());
  for (const MessageBoxButton& button : buttons) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), button.label, button.id);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons.front().id);
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  while (gtk_events_pending()) gtk_main_iteration();
  if (response > 0) return response;
  // Closing the box counts as Cancel where there is one, else as its only button.
  for (const MessageBoxButton& button : buttons) {
    if (button.id == IDCANCEL) return IDCANCEL;
  }
  return buttons.size() == 1 ? buttons.front().id : IDCANCEL;
}
