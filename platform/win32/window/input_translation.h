// Turns native input (the back end's events, real or injected) into the messages a Win32 window
// receives: queued input messages, and the messages the system sends synchronously
// (hit testing, cursor setting, size and close notifications).
#pragma once

#include "backend.h"
#include "wintypes.h"

namespace win32impl {

// Reads every pending native event and translates it.
void PumpNativeEvents();
void TranslateNativeEvent(const NativeEvent& event);

// The pointer's last known position in screen coordinates.
POINT PointerScreenPosition();
// The rectangle the pointer is confined to (ClipCursor), or null.
const RECT* PointerClipRect();
void SetPointerClipRect(const RECT* rect);

}  // namespace win32impl
