// "Is there a display?" from the environment: a named X11 or Wayland display, unless
// VESK_HEADLESS=1 asks for none; an empty name is no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "display_present.h"

namespace {

// Sets the three variables for one case and puts back what the test process had.
class Environment {
 public:
  Environment() {
    for (int i = 0; i < 3; ++i) {
      const char* value = std::getenv(kNames[i]);
      if (value) saved_[i] = value;
    }
  }
  ~Environment() {
    for (int i = 0; i < 3; ++i) Set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
  }
  static void Set(const char* name, const char* value) {
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  static constexpr const char* kNames[3] = {"VESK_HEADLESS", "DISPLAY", "WAYLAND_DISPLAY"};

 private:
  std::optional<std::string> saved_[3];
};

TEST(DisplayPresent, NamedDisplayUnlessHeadlessIsAskedFor) {
  struct Case {
    const char* headless;
    const char* x11;
    const char* wayland;
    bool present;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, false}, {nullptr, ":0", nullptr, true},    {nullptr, nullptr, "wayland-0", true},
      {nullptr, "", nullptr, false},      {nullptr, "", "", false},           {"1", ":0", "wayland-0", false},
      {"0", ":0", nullptr, true},         {"yes", nullptr, "wayland-1", true}, {"1", nullptr, nullptr, false},
  };
  Environment environment;
  for (const Case& c : cases) {
    Environment::Set("VESK_HEADLESS", c.headless);
    Environment::Set("DISPLAY", c.x11);
    Environment::Set("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(win32ext::DisplayPresent(), c.present)
        << (c.headless ? c.headless : "-") << " " << (c.x11 ? c.x11 : "-") << " " << (c.wayland ? c.wayland : "-");
    EXPECT_EQ(win32ext::HeadlessRequested(), c.headless && std::string(c.headless) == "1");
  }
}

}  // namespace
