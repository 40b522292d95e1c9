// Keeps a GTK dialog over its owner, an SDL window, by naming the owner as the window
// the dialog is transient for, so that the window manager stacks and groups the two as
// an owned modal dialog. Only X11 knows foreign windows this way; elsewhere the dialog
// stays an ordinary modal window.
#include <SDL.h>
#include <SDL_syswm.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "gtk_toolkit.h"

void win32impl::MakeTransientFor(GtkWidget* dialog, uint32_t ownerNativeId) {
  SDL_Window* owner = SDL_GetWindowFromID(ownerNativeId);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!owner || !SDL_GetWindowWMInfo(owner, &info) || info.subsystem != SDL_SYSWM_X11) return;
  GdkDisplay* display = gtk_widget_get_display(dialog);
  if (!GDK_IS_X11_DISPLAY(display)) return;
  GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, info.info.x11.window);
  if (!foreign) return;
  gtk_widget_realize(dialog);
  gdk_window_set_transient_for(gtk_widget_get_window(dialog), foreign);
  g_object_unref(foreign);
}
