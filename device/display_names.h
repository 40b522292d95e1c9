// The texts the device settings dialog shows for Direct3D values: formats, multisample
// types, device types, vertex processing types and present intervals. Each returns a
// constant, statically stored string; a value without a name gives a fixed text that
// begins with "Unknown".
#pragma once

#include "device_records.h"

// withPrefix false leaves out the leading "D3DFMT_" ("X8R8G8B8").
const char* FormatName(D3DFORMAT format, bool withPrefix);
const char* MultisampleTypeName(D3DMULTISAMPLE_TYPE type);
const char* DeviceTypeName(D3DDEVTYPE type);
const char* VertexProcessingName(VertexProcessingType type);
const char* PresentIntervalName(UINT interval);
