// Finding media files by name (as a path, in the current directory, or in the media
// folder of the samples path the registry names) and loading textures from them.
#pragma once

#include "d3d9.h"

HRESULT FindMediaFile(char* buffer, int capacity, const char* fileName);
HRESULT GetSdkMediaPath(char* buffer, int capacity);
HRESULT CopyStringBounded(char* destination, const char* source, int capacity);
HRESULT CreateTextureFromMediaFile(IDirect3DDevice9* device, const char* fileName, IDirect3DTexture9** texture,
                                   D3DFORMAT format);

// One line on standard error naming the media file that could not be loaded and why,
// for example "vesk: cannot load the globe picture 'x.png': not found in the current
// folder or in /opt/vesk/Media". `invalidData` says what the file failed to be.
void ReportMediaFailure(const char* role, const char* fileName, const char* invalidData, HRESULT result);
