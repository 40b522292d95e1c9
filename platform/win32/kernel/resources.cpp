// The program module's resource tables and their lookup by type and numeric id.
#include <cstring>

#include "handles.h"
#include "win32ext.h"

namespace {
const win32ext::ResourceDirectory* g_programResources = nullptr;
}

void win32ext::SetProgramResources(const ResourceDirectory* resources) {
  g_programResources = resources;
}

const win32ext::ResourceEntry* win32ext::FindResourceEntry(HINSTANCE module, const char* type,
                                                           const char* name) {
  // Resources are found by numeric id only; named resources do not exist here.
  if (module != win32impl::ProgramModuleHandle() || !g_programResources ||
      !IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
    SetLastError(module == win32impl::ProgramModuleHandle() ? ERROR_RESOURCE_NAME_NOT_FOUND
                                                            : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  for (size_t i = 0; i < g_programResources->count; ++i) {
    const ResourceEntry& entry = g_programResources->entries[i];
    if (entry.type == type && entry.id == static_cast<WORD>(reinterpret_cast<uintptr_t>(name))) {
      return &entry;
    }
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  // Only the program itself is known by handle; loaded libraries come from LoadLibraryA.
  if (moduleName) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return win32impl::ProgramModuleHandle();
}
