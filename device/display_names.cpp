// Name tables of the Direct3D values the device settings dialog lists.
#include "display_names.h"

#include <cstring>
#include <iterator>

namespace {

struct FormatEntry {
  DWORD value;
  const char* name;
};

constexpr DWORD FourCc(const char (&code)[5]) {
  return DWORD(BYTE(code[0])) | DWORD(BYTE(code[1])) << 8 | DWORD(BYTE(code[2])) << 16 |
         DWORD(BYTE(code[3])) << 24;
}

constexpr FormatEntry kFormats[] = {
    {0, "D3DFMT_UNKNOWN"},           {20, "D3DFMT_R8G8B8"},          {21, "D3DFMT_A8R8G8B8"},
    {22, "D3DFMT_X8R8G8B8"},         {23, "D3DFMT_R5G6B5"},          {24, "D3DFMT_X1R5G5B5"},
    {25, "D3DFMT_A1R5G5B5"},         {26, "D3DFMT_A4R4G4B4"},        {27, "D3DFMT_R3G3B2"},
    {28, "D3DFMT_A8"},               {29, "D3DFMT_A8R3G3B2"},        {30, "D3DFMT_X4R4G4B4"},
    {31, "D3DFMT_A2B10G10R10"},      {32, "D3DFMT_A8B8G8R8"},        {33, "D3DFMT_X8B8G8R8"},
    {34, "D3DFMT_G16R16"},           {35, "D3DFMT_A2R10G10B10"},     {36, "D3DFMT_A16B16G16R16"},
    {40, "D3DFMT_A8P8"},             {41, "D3DFMT_P8"},              {50, "D3DFMT_L8"},
    {51, "D3DFMT_A8L8"},             {52, "D3DFMT_A4L4"},            {60, "D3DFMT_V8U8"},
    {61, "D3DFMT_L6V5U5"},           {62, "D3DFMT_X8L8V8U8"},        {63, "D3DFMT_Q8W8V8U8"},
    {64, "D3DFMT_V16U16"},           {67, "D3DFMT_A2W10V10U10"},     {70, "D3DFMT_D16_LOCKABLE"},
    {71, "D3DFMT_D32"},              {73, "D3DFMT_D15S1"},           {75, "D3DFMT_D24S8"},
    {77, "D3DFMT_D24X8"},            {79, "D3DFMT_D24X4S4"},         {80, "D3DFMT_D16"},
    {81, "D3DFMT_L16"},              {100, "D3DFMT_VERTEXDATA"},     {101, "D3DFMT_INDEX16"},
    {102, "D3DFMT_INDEX32"},         {110, "D3DFMT_Q16W16V16U16"},   {111, "D3DFMT_R16F"},
    {112, "D3DFMT_G16R16F"},         {113, "D3DFMT_A16B16G16R16F"},  {114, "D3DFMT_R32F"},
    {115, "D3DFMT_G32R32F"},         {116, "D3DFMT_A32B32G32R32F"},  {117, "D3DFMT_CxV8U8"},
    {FourCc("MET1"), "D3DFMT_MULTI2_ARGB8"}, {FourCc("DXT1"), "D3DFMT_DXT1"},
    {FourCc("DXT2"), "D3DFMT_DXT2"}, {FourCc("YUY2"), "D3DFMT_YUY2"}, {FourCc("DXT3"), "D3DFMT_DXT3"},
    {FourCc("DXT4"), "D3DFMT_DXT4"}, {FourCc("DXT5"), "D3DFMT_DXT5"}, {FourCc("UYVY"), "D3DFMT_UYVY"},
};

constexpr char kFormatPrefix[] = "D3DFMT_";

const char* const kMultisampleNames[] = {
    "D3DMULTISAMPLE_NONE",        "D3DMULTISAMPLE_NONMASKABLE", "D3DMULTISAMPLE_2_SAMPLES",
    "D3DMULTISAMPLE_3_SAMPLES",   "D3DMULTISAMPLE_4_SAMPLES",   "D3DMULTISAMPLE_5_SAMPLES",
    "D3DMULTISAMPLE_6_SAMPLES",   "D3DMULTISAMPLE_7_SAMPLES",   "D3DMULTISAMPLE_8_SAMPLES",
    "D3DMULTISAMPLE_9_SAMPLES",   "D3DMULTISAMPLE_10_SAMPLES",  "D3DMULTISAMPLE_11_SAMPLES",
    "D3DMULTISAMPLE_12_SAMPLES",  "D3DMULTISAMPLE_13_SAMPLES",  "D3DMULTISAMPLE_14_SAMPLES",
    "D3DMULTISAMPLE_15_SAMPLES",  "D3DMULTISAMPLE_16_SAMPLES",
};

}  // namespace

const char* FormatName(D3DFORMAT format, bool withPrefix) {
  for (const FormatEntry& entry : kFormats) {
    if (entry.value != DWORD(format)) continue;
    return withPrefix ? entry.name : entry.name + std::strlen(kFormatPrefix);
  }
  return "Unknown format";
}

const char* MultisampleTypeName(D3DMULTISAMPLE_TYPE type) {
  DWORD index = DWORD(type);
  return index < std::size(kMultisampleNames) ? kMultisampleNames[index] : "Unknown Multisample Type";
}

const char* DeviceTypeName(D3DDEVTYPE type) {
  switch (DWORD(type)) {
    case 1: return "D3DDEVTYPE_HAL";
    case 2: return "D3DDEVTYPE_REF";
    case 3: return "D3DDEVTYPE_SW";
  }
  return "Unknown devType";
}

const char* VertexProcessingName(VertexProcessingType type) {
  switch (type) {
    case SOFTWARE_VP: return "SOFTWARE_VP";
    case MIXED_VP: return "MIXED_VP";
    case HARDWARE_VP: return "HARDWARE_VP";
    case PURE_HARDWARE_VP: return "PURE_HARDWARE_VP";
  }
  return "Unknown VertexProcessingType";
}

const char* PresentIntervalName(UINT interval) {
  switch (interval) {
    case D3DPRESENT_INTERVAL_DEFAULT: return "D3DPRESENT_INTERVAL_DEFAULT";
    case D3DPRESENT_INTERVAL_ONE: return "D3DPRESENT_INTERVAL_ONE";
    case D3DPRESENT_INTERVAL_TWO: return "D3DPRESENT_INTERVAL_TWO";
    case D3DPRESENT_INTERVAL_THREE: return "D3DPRESENT_INTERVAL_THREE";
    case D3DPRESENT_INTERVAL_FOUR: return "D3DPRESENT_INTERVAL_FOUR";
    case D3DPRESENT_INTERVAL_IMMEDIATE: return "D3DPRESENT_INTERVAL_IMMEDIATE";
  }
  return "Unknown PresentInterval";
}
