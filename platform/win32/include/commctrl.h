// Common controls.
#pragma once

#include "wintypes.h"

// Prepares the toolkit that draws dialogs and message boxes when a display exists.
void InitCommonControls();
