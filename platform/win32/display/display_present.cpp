// Whether windows can be shown, from the environment.
#include "display_present.h"

#include <cstdlib>
#include <cstring>

namespace win32ext {
namespace {

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool HeadlessRequested() {
  const char* value = std::getenv("VESK_HEADLESS");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

bool DisplayPresent() { return !HeadlessRequested() && (Named("DISPLAY") || Named("WAYLAND_DISPLAY")); }

}  // namespace win32ext
