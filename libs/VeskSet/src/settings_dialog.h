// The settings window "Vesk": a modal GTK3 dialog over every field of the record. It
// shows and reports; the checks and texts beside the fields are dialog_fields.h.
#pragma once

#include "choices.h"

namespace veskset {

// Whether a window can be shown: a display is named, VESK_HEADLESS=1 is not set, and
// GTK can open the display.
bool DialogCanShow();

// Shows the window starting from choices. True after "Record", with choices holding
// the user's values; false after "Cancel", Escape or the close box.
bool RunSettingsDialog(Choices& choices);

}  // namespace veskset
