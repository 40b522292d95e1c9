// LoadLibraryA, GetProcAddress and FreeLibrary over dlopen and dlsym. "NAME.dll" maps to
// libNAME.so, looked for beside the executable, in ../lib from it (the installed
// layout), and then on the normal library path.
// Loading a library that is already loaded gives the same HMODULE and counts one more
// reference, as Win32 does; FreeLibrary drops one, and the last one unloads it.
// GetModuleHandleA lives with the resources, not here. The program's own modules (parts
// loaded only when needed) are opened here too, by OpenModuleEntry.
#include <dlfcn.h>
#include <strings.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "handles.h"
#include "win32ext.h"
#include "windows.h"

namespace {

struct Library {
  void* dl;
  unsigned references;
};

// Handle value -> library. Every successful LoadLibraryA holds one dlopen reference, so
// each FreeLibrary pairs with one dlclose.
std::mutex libraryMutex;
// The loader's reason for each place the last failed LoadLibraryA of this thread tried.
thread_local std::string lastLoadFailure;
std::unordered_map<uint32_t, Library>& Libraries() {
  static auto* libraries = new std::unordered_map<uint32_t, Library>();
  return *libraries;
}

bool EndsWithDll(const std::string& name) {
  return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0;
}

// The files dlopen is asked for, in order.
std::vector<std::string> Candidates(const std::string& name) {
  if (!EndsWithDll(name)) return {name};
  size_t slash = name.rfind('/');
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  std::string stem = base.substr(0, base.size() - 4);
  if (stem.empty()) return {};
  return win32ext::LibraryCandidates("lib" + stem + ".so");
}

// The first of the candidates that dlopen opens, or null with every candidate's reason
// in `reasons`. Everything is resolved now, as Windows binds a DLL's imports at load time.
void* OpenFirst(const std::vector<std::string>& candidates, std::string& reasons) {
  for (const std::string& candidate : candidates) {
    if (void* dl = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return dl;
    const char* reason = dlerror();
    if (!reasons.empty()) reasons += "; ";
    reasons += reason ? reason : candidate + ": cannot be loaded";
    if (candidate.find('/') == std::string::npos) reasons += " (searched the library path)";
  }
  return nullptr;
}

}  // namespace

void* win32ext::OpenModuleEntry(const std::vector<std::string>& candidates, const char* entry,
                                std::string& problem) {
  problem.clear();
  void* dl = OpenFirst(candidates, problem);
  if (dl == nullptr) return nullptr;
  if (void* symbol = dlsym(dl, entry)) return symbol;
  problem = std::string("the module has no entry point ") + entry;
  dlclose(dl);
  return nullptr;
}

std::vector<std::string> win32ext::LibraryCandidates(const std::string& file) {
  std::vector<std::string> candidates;
  std::string directory = ExecutableDirectory();
  if (!directory.empty()) {
    candidates.push_back(directory + "/" + file);
    // Named outright: dlopen's own search uses the RUNPATH of its caller, which is not
    // the program when a sanitizer runtime stands in for dlopen.
    candidates.push_back(directory + "/../lib/" + file);
  }
  candidates.push_back(file);  // no '/': dlopen searches the library path
  return candidates;
}

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::optional<std::string> name = win32ext::ToSystemPath(fileName);
  std::string reasons;
  // The loader runs the library's constructors here, so no lock of ours is held.
  void* dl = name && !name->empty() ? OpenFirst(Candidates(*name), reasons) : nullptr;
  if (dl == nullptr) {
    lastLoadFailure = reasons.empty() ? "the name is not a file name" : reasons;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }

  std::lock_guard<std::mutex> lock(libraryMutex);
  for (auto& [value, library] : Libraries()) {
    if (library.dl == dl) {
      ++library.references;
      return win32impl::MakeHandle<HMODULE>(value);
    }
  }
  uint32_t value = win32impl::NextHandleValue();
  Libraries()[value] = Library{dl, 1};
  return win32impl::MakeHandle<HMODULE>(value);
}

std::string win32ext::LibraryLoadFailure() { return lastLoadFailure; }

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  // Lookup by ordinal (a small integer in place of the name) does not exist for shared
  // objects; such a value must not be read as a pointer.
  bool validName = procName != nullptr && !IS_INTRESOURCE(procName);
  void* symbol = nullptr;
  if (module == win32impl::ProgramModuleHandle()) {
    if (validName) symbol = dlsym(RTLD_DEFAULT, procName);
  } else {
    // Held during dlsym so that a concurrent FreeLibrary cannot unload the library
    // under the lookup.
    std::lock_guard<std::mutex> lock(libraryMutex);
    auto found = Libraries().find(win32impl::HandleValue(module));
    if (found == Libraries().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    if (validName) symbol = dlsym(found->second.dl, procName);
  }
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  void* dl = nullptr;
  {
    std::lock_guard<std::mutex> lock(libraryMutex);
    auto found = Libraries().find(win32impl::HandleValue(module));
    if (found == Libraries().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    dl = found->second.dl;
    if (--found->second.references == 0) Libraries().erase(found);
  }
  // Outside the lock: unloading runs the library's destructors.
  dlclose(dl);
  return TRUE;
}
