// The media search: the name as a path, its last component in the current directory,
// then in "<Samples Path>\Media\" from the registry. Only the platform's files and
// registry are used, so the settings library shares it with the program.
#include "media_search.h"

#include <cstring>

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
