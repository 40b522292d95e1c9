// SetDeviceCursor: gives a Direct3D device a cursor image made from a cursor handle's
// mask and colour bitmaps, optionally with a small grey mark in its top-left corner.
#pragma once

#include "d3d9.h"
#include "windows.h"

// S_OK, E_FAIL when the cursor's bitmaps cannot be read, E_OUTOFMEMORY, or the code
// of a failed device call. The device's cursor image is unchanged on failure.
HRESULT SetDeviceCursor(IDirect3DDevice9* device, HCURSOR cursor, bool addMark);
