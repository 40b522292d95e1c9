// Finding media files by name: as a path, in the current directory, or in the media
// folder of the samples path the registry names. Loading textures is media_texture.h.
#pragma once

#include "windows.h"

HRESULT FindMediaFile(char* buffer, int capacity, const char* fileName);
HRESULT GetSdkMediaPath(char* buffer, int capacity);
HRESULT CopyStringBounded(char* destination, const char* source, int capacity);
