// Starting programs and opening documents. No shell is involved: a program gets its
// parameters split as a Windows command line splits them; a document goes to xdg-open.
#pragma once

#include "wintypes.h"

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

// Returns a value greater than 32 on success, an SE_ERR_ code otherwise.
HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT showCommand);
