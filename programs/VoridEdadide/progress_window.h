// The converter's window, for when it runs with a display and no terminal (started by
// the recorder): a progress bar and Cancel while it works, then where the file went
// (or what went wrong) and Close.
#pragma once

#include <atomic>

#include "conversion.h"

namespace convert {

// False when GTK cannot open the display.
bool WindowAvailable(int* argc, char*** argv);
// Runs the conversion on a worker thread while the window shows it; returns when the
// user has closed the window. *stop (set by a signal) cancels as Cancel does.
Outcome ConvertInWindow(const Request& request, const std::atomic<bool>& stop);

}  // namespace convert
