// GTK3 for dialogs and message boxes, started once and only where a display exists.
#pragma once

#include <cstdint>
#include <memory>

#include "backend.h"

typedef struct _GtkWidget GtkWidget;

namespace win32impl {

// True when GTK runs (a real display, not SDL's dummy driver).
bool GtkAvailable();

// A modal GTK message dialog; returns the id of the button chosen.
int ShowGtkMessageBox(const MessageBoxRequest& request);

// The GTK view of a dialog; call only where GtkAvailable().
std::unique_ptr<DialogView> CreateGtkDialogView(Dialog& dialog);

// Names the SDL window behind a native id as the owner the dialog stays above (X11).
void MakeTransientFor(GtkWidget* dialog, uint32_t ownerNativeId);

}  // namespace win32impl
