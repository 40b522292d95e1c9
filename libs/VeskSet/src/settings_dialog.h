// The settings window "Vesk": a modal GTK3 dialog over every field of the record. It
// shows and reports; the checks and texts beside the fields are dialog_fields.h. It is
// built as a module of its own, libVeskSetWindow.so, which settings_window.h opens only
// when the window is wanted, so that a recording without it never maps GTK.
#pragma once

#include "choices.h"

// The module's entry points. VeskSetWindowCanShow: nonzero when a window can be shown (a
// display is named, VESK_HEADLESS=1 is not set, and GTK can open the display).
// VeskSetWindowRun shows the window starting from *choices: nonzero after "Record", with
// *choices holding the user's values; zero after "Cancel", Escape or the close box.
extern "C" {
using VeskSetWindowCanShowEntry = int (*)();
using VeskSetWindowRunEntry = int (*)(veskset::Choices* choices);
}
