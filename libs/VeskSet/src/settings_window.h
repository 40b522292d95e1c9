// The settings window as libVeskSet.so reaches it: the module libVeskSetWindow.so (see
// settings_dialog.h), opened from beside libVeskSet.so the first time it is asked for.
#pragma once

#include "choices.h"

namespace veskset {

// Whether the window can be shown: a display is named, VESK_HEADLESS=1 is not set, the
// module loads and GTK can open the display. A module that does not load is named on
// standard error with the reason, once.
bool DialogCanShow();

// Shows the window starting from choices (only after DialogCanShow said yes). True
// after "Record", with choices holding the user's values; false after "Cancel", Escape
// or the close box.
bool RunSettingsDialog(Choices& choices);

}  // namespace veskset
