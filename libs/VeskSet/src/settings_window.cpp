// Opens the settings window's module beside this library, which is where the build and
// the installation both put it, and hands over to its two entry points.
#include "settings_window.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "display_present.h"
#include "settings_dialog.h"
#include "win32ext.h"

namespace veskset {
namespace {

constexpr const char* kModuleFile = "libVeskSetWindow.so";

struct Module {
  VeskSetWindowCanShowEntry canShow = nullptr;
  VeskSetWindowRunEntry run = nullptr;
};

// This library's own folder, from the loader's record of where it mapped this code.
std::string OwnFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&DialogCanShow), &info) || !info.dli_fname) return "";
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

const Module& TheModule() {
  static std::once_flag once;
  static Module module;
  std::call_once(once, [] {
    std::string problem;
    std::string path = OwnFolder() + kModuleFile;
    module.canShow = reinterpret_cast<VeskSetWindowCanShowEntry>(
        win32ext::OpenModuleEntry({path}, "VeskSetWindowCanShow", problem));
    if (module.canShow)
      module.run = reinterpret_cast<VeskSetWindowRunEntry>(
          win32ext::OpenModuleEntry({path}, "VeskSetWindowRun", problem));
    if (!module.run) {
      module.canShow = nullptr;
      std::fprintf(stderr, "%s: cannot load the settings window (%s)\n", program_invocation_short_name,
                   problem.c_str());
    }
  });
  return module;
}

}  // namespace

bool DialogCanShow() {
  if (!win32ext::DisplayPresent()) return false;
  const Module& module = TheModule();
  return module.canShow && module.canShow();
}

bool RunSettingsDialog(Choices& choices) { return TheModule().run(&choices) != 0; }

}  // namespace veskset
