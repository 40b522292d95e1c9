// Loading a texture from a file found by the media search, and saying why a media file
// could not be loaded.
#pragma once

#include "d3d9.h"
#include "media_search.h"

HRESULT CreateTextureFromMediaFile(IDirect3DDevice9* device, const char* fileName, IDirect3DTexture9** texture,
                                   D3DFORMAT format);

// What a picture that cannot be read failed to be, for ReportMediaFailure.
constexpr char kUnreadablePicture[] =
    "not a picture this program reads (JPEG, PNG, BMP, TGA, DDS, PPM/PGM/PBM or DIB), or damaged";

// One line on standard error naming the media file that could not be loaded and why,
// for example "vesk: cannot load the globe picture 'x.png': not found in the current
// folder or in /opt/vesk/Media". `invalidData` says what the file failed to be.
void ReportMediaFailure(const char* role, const char* fileName, const char* invalidData, HRESULT result);
