// dlopen and dlsym of the movie writer library.
#include "writer_library.h"

#include <dlfcn.h>

#include "win32ext.h"

namespace editor {

std::unique_ptr<WriterLibrary> WriterLibrary::LoadFile(const std::string& path,
                                                       std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    *error = dlerror();
    return nullptr;
  }
  auto function = reinterpret_cast<MemoryToAvifileFunction>(dlsym(handle, "MemoryToAvifile"));
  if (function == nullptr) {
    *error = path + " has no MemoryToAvifile";
    dlclose(handle);
    return nullptr;
  }
  return std::unique_ptr<WriterLibrary>(new WriterLibrary(handle, function));
}

std::unique_ptr<WriterLibrary> WriterLibrary::Load(std::string* error) {
  std::string reasons;
  for (const std::string& candidate : win32ext::LibraryCandidates("libAVI2.so")) {
    std::string reason;
    if (auto library = LoadFile(candidate, &reason)) return library;
    reasons += (reasons.empty() ? "" : "; ") + reason;
  }
  *error = "cannot load the movie writer libAVI2.so (" + reasons + ")";
  return nullptr;
}

// The library finishes a movie still open when it is unloaded.
WriterLibrary::~WriterLibrary() { dlclose(handle_); }

}  // namespace editor
