// GTK3 for dialogs and message boxes, started once and only where a display exists.
#pragma once

#include <cstdint>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace win32impl {

// True when GTK runs (the SDL back end with a real display).
bool GtkAvailable();

// CP932 text as GTK shows it: UTF-8, or its ASCII part with '?' where it cannot convert.
std::string ReadableUtf8(const std::string& cp932);

// Names the SDL window behind a native id as the owner the dialog stays above (X11).
void MakeTransientFor(GtkWidget* dialog, uint32_t ownerNativeId);

}  // namespace win32impl
