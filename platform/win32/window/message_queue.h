// Internal entry points of the message queue.
#pragma once

#include "winuser.h"

namespace win32impl {

// Forgets the posted messages of a window that is being destroyed.
void RemoveMessagesFor(HWND window);

}  // namespace win32impl
