// The media search: the name as a path, its last component in the current directory,
// then in "<Samples Path>\Media\" from the registry.
#include "media_search.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "d3dx9tex.h"
#include "win32ext.h"
#include "windows.h"
#include "winreg.h"

namespace {

constexpr HRESULT kFileNotFound = HRESULT(0x80070002);

bool Opens(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// Copies at most `capacity` bytes without splitting a double-byte character, pads with
// NUL and always ends in NUL.
void CopyNameBounded(char* buffer, int capacity, const char* name) {
  size_t length = win32ext::Cp932SafePrefix(name, size_t(capacity - 1));
  std::memset(buffer, 0, size_t(capacity));
  std::memcpy(buffer, name, length);
}

}  // namespace

HRESULT CopyStringBounded(char* destination, const char* source, int capacity) {
  if (!destination || !source || capacity < 1) return E_INVALIDARG;
  std::strncpy(destination, source, size_t(capacity));
  destination[capacity - 1] = '\0';
  return S_OK;
}

HRESULT GetSdkMediaPath(char* buffer, int capacity) {
  if (!buffer || capacity < 1) return E_INVALIDARG;
  buffer[0] = '\0';
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Graphics SDK", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return E_FAIL;
  DWORD size = DWORD(capacity);
  LSTATUS read = RegQueryValueExA(key, "Samples Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  buffer[capacity - 1] = '\0';
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) return E_FAIL;
  if (std::strlen(buffer) + 7 >= size_t(capacity)) return E_INVALIDARG;
  std::strcat(buffer, "\\Media\\");
  return S_OK;
}

HRESULT FindMediaFile(char* buffer, int capacity, const char* fileName) {
  if (!fileName || !buffer || capacity < 1) return E_INVALIDARG;
  buffer[0] = '\0';
  char leaf[260] = "";
  char* leafPart = nullptr;
  DWORD length = GetFullPathNameA(fileName, DWORD(capacity), buffer, &leafPart);
  if (length == 0 || length >= DWORD(capacity)) return E_FAIL;
  if (leafPart) lstrcpynA(leaf, leafPart, sizeof leaf);
  if (Opens(buffer)) return S_OK;
  if (Opens(leaf)) {
    CopyNameBounded(buffer, capacity, leaf);
    return S_OK;
  }
  HRESULT result = GetSdkMediaPath(buffer, capacity);
  if (FAILED(result)) return result;
  if (std::strlen(buffer) + std::strlen(leaf) >= size_t(capacity)) return E_INVALIDARG;
  std::strcat(buffer, leaf);
  if (Opens(buffer)) return S_OK;
  CopyNameBounded(buffer, capacity, fileName);
  return kFileNotFound;
}

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
std::string Printable(const char* cp932) {
  return win32ext::Cp932ToUtf8(cp932).value_or(cp932);
}

std::string NotFoundReason() {
  char media[260];
  if (FAILED(GetSdkMediaPath(media, sizeof media)))
    return "not found in the current folder, and no media folder is registered";
  std::string folder = win32ext::ToSystemPath(media).value_or(media);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return "not found in the current folder or in " + folder;
}

std::string FailureReason(const char* invalidData, HRESULT result) {
  switch (result) {
    case kFileNotFound: return NotFoundReason();
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
  std::fprintf(stderr, "vesk: cannot load the %s '%s': %s\n", role, Printable(fileName).c_str(),
               FailureReason(invalidData, result).c_str());
}
