// Ids of the device settings dialog's template and of the controls it addresses.
#pragma once

#include "windows.h"

constexpr WORD IDD_SELECTDEVICE = 144;

constexpr int IDC_DEVICE_COMBO = 1000;
constexpr int IDC_ADAPTER_COMBO = 1002;
constexpr int IDC_ADAPTERFORMAT_COMBO = 1003;
constexpr int IDC_RESOLUTION_COMBO = 1004;
constexpr int IDC_MULTISAMPLE_COMBO = 1005;
constexpr int IDC_REFRESHRATE_COMBO = 1006;
constexpr int IDC_BACKBUFFERFORMAT_COMBO = 1007;
constexpr int IDC_DEPTHSTENCILBUFFERFORMAT_COMBO = 1008;
constexpr int IDC_VERTEXPROCESSING_COMBO = 1009;
constexpr int IDC_PRESENTINTERVAL_COMBO = 1010;
constexpr int IDC_MULTISAMPLE_QUALITY_COMBO = 1011;
constexpr int IDC_WINDOW = 1016;
constexpr int IDC_FULLSCREEN = 1018;
