// Ids of the program's resources and of the commands its accelerators send.
#pragma once

#include "device_dialog_ids.h"
#include "win32ext.h"

constexpr WORD IDI_MAIN_ICON = 101;
constexpr WORD IDR_MAIN_ACCEL = 113;

constexpr WORD IDM_CHANGEDEVICE = 40002;
constexpr WORD IDM_TOGGLEFULLSCREEN = 40003;
constexpr WORD IDM_TOGGLESTART = 40004;
constexpr WORD IDM_SINGLESTEP = 40005;
constexpr WORD IDM_EXIT = 40006;
