// Textures loaded from media files: the media search finds the file, D3DX reads it.
#include "media_texture.h"

#include <cstdio>
#include <string>

#include "d3dx9tex.h"
#include "win32ext.h"

HRESULT CreateTextureFromMediaFile(IDirect3DDevice9* device, const char* fileName, IDirect3DTexture9** texture,
                                   D3DFORMAT format) {
  char path[260];
  HRESULT result = FindMediaFile(path, sizeof path, fileName);
  if (FAILED(result)) return result;
  constexpr DWORD kFilter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;
  return D3DXCreateTextureFromFileExA(device, path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, format,
                                      D3DPOOL_MANAGED, kFilter, kFilter, 0, nullptr, nullptr, texture);
}

namespace {

// CP932 text as the terminal shows it.
std::string Printable(const char* cp932) { return win32ext::Cp932ToUtf8(cp932).value_or(cp932); }

// The Earth's pictures are linked into the media folder from a Debian package, when it
// is installed; without it the user needs to know which.
std::string PackageHint(const char* fileName) {
  std::string name(fileName);
  if (name != "earth.jpg" && name != "night.jpg") return "";
  return " (it comes with Debian's xplanet-images package: install it and build again)";
}

std::string NotFoundReason(const char* fileName) {
  char media[260];
  if (FAILED(GetSdkMediaPath(media, sizeof media)))
    return "not found in the current folder, and no media folder is registered" + PackageHint(fileName);
  std::string folder = win32ext::ToSystemPath(media).value_or(media);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return "not found in the current folder or in " + folder + PackageHint(fileName);
}

std::string FailureReason(const char* fileName, const char* invalidData, HRESULT result) {
  switch (result) {
    case D3DX_FILE_NOT_FOUND: return NotFoundReason(fileName);
    case D3DXERR_INVALIDDATA: return invalidData;
    case E_OUTOFMEMORY: return "not enough memory";
    case E_FAIL: return "its full path is longer than 259 bytes";
    case E_INVALIDARG: return "its path in the media folder is longer than 259 bytes";
    default: {
      char code[32];
      std::snprintf(code, sizeof code, "error 0x%08X", unsigned(result));
      return code;
    }
  }
}

}  // namespace

void ReportMediaFailure(const char* role, const char* fileName, const char* invalidData, HRESULT result) {
  win32ext::ReportProblem("vesk: cannot load the %s '%s': %s\n", role, Printable(fileName).c_str(),
                          FailureReason(fileName, invalidData, result).c_str());
}
