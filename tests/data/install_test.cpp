// `cmake --install` into a private prefix (with a space in it, as a user's folder may
// have): the layout, the desktop entries as desktop-file-validate sees them, the
// metainfo as appstreamcli sees it, the icons, and the installed vesk recording from
// another folder with nothing of the build tree.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file_text.h"
#include "png_image.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string output;  // standard output and error together
};

// Runs a program (no shell) in a folder with extra environment settings.
Outcome RunIn(const fs::path& folder, const std::vector<std::string>& argv,
              const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  fs::path log = folder / ".run-output";
  pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    if (!freopen(log.c_str(), "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  outcome.output = testsupport::FileText(log);
  fs::remove(log);
  return outcome;
}

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(prefix_);
    Outcome install = RunIn(base_.path(), {VESK_CMAKE, "--install", VESK_BUILD_DIR, "--prefix", prefix_.string()});
    ASSERT_EQ(install.status, 0) << install.output;
  }

  testsupport::ScratchDir base_{"vesk-install"};
  fs::path prefix_ = fs::path(base_.path()) / "my apps";
};

TEST_F(Install, LaysOutProgramLibrariesMediaAndRegistry) {
  for (const char* file : {"bin/vesk", "lib/libVeskSet.so", "lib/libAVI2.so", "lib/libVeskSetWindow.so",
                           "lib/libwin32_sdl.so", "share/vesk/Media/vesk.x", "share/vesk/Media/vesk_stars.jpg",
                           "share/vesk/Media/globe.png"}) {
    EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
  }
  // The libraries and modules live in lib/, not beside the program.
  for (const char* file : {"bin/libVeskSet.so", "bin/libVeskSetWindow.so", "bin/libwin32_sdl.so"})
    EXPECT_FALSE(fs::exists(prefix_ / file)) << file;
  EXPECT_EQ(testsupport::FileText(prefix_ / "bin/registry.ini"),
            "; Written by cmake --install: the media search finds share/vesk/Media/ through this value.\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Graphics SDK]\n"
            "Samples Path=" + (prefix_ / "share/vesk").string() + "\n");
}

// Each entry validates without a word, and its Exec names the installed program (quoted,
// since the prefix has a space) with the arguments that open a file or the window.
TEST_F(Install, DesktopEntriesValidateAndStartTheirPrograms) {
  struct Entry {
    const char* name;
    const char* arguments;
    const char* categories;
    bool opensMovies;
  };
  for (const Entry& expected : {Entry{"vesk", " --dialog", "AudioVideo;Video;", false},
                                Entry{"RizudAvuv", " %f", "AudioVideo;Video;AudioVideoEditing;", true},
                                Entry{"VoridEdadide", " -i %f", "AudioVideo;Video;", true}}) {
    SCOPED_TRACE(expected.name);
    fs::path entry = prefix_ / "share/applications" / (std::string(expected.name) + ".desktop");
    Outcome validate = RunIn(base_.path(), {VESK_DESKTOP_FILE_VALIDATE, entry.string()});
    EXPECT_EQ(validate.status, 0);
    EXPECT_EQ(validate.output, "");
    std::string text = testsupport::FileText(entry);
    std::string program = (prefix_ / "bin" / expected.name).string();
    EXPECT_TRUE(fs::is_regular_file(program));
    EXPECT_NE(text.find("\nExec=\"" + program + "\"" + expected.arguments + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=vesk\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCategories=" + std::string(expected.categories) + "\n"), std::string::npos) << text;
    // The editor and the converter are offered for AVI files, not listed in the menu.
    EXPECT_EQ(text.find("\nMimeType=video/x-msvideo;") != std::string::npos, expected.opensMovies) << text;
    EXPECT_EQ(text.find("\nNoDisplay=true\n") != std::string::npos, expected.opensMovies) << text;
  }
}

TEST_F(Install, MetainfoValidatesAndLaunchesTheDesktopEntry) {
  fs::path metainfo = prefix_ / "share/metainfo/io.github.vesk.vesk.metainfo.xml";
  Outcome validate = RunIn(base_.path(), {VESK_APPSTREAMCLI, "validate", "--no-net", "--strict", metainfo.string()});
  EXPECT_EQ(validate.status, 0) << validate.output;
  std::string text = testsupport::FileText(metainfo);
  EXPECT_NE(text.find("<launchable type=\"desktop-id\">vesk.desktop</launchable>"), std::string::npos) << text;
  EXPECT_TRUE(fs::is_regular_file(prefix_ / "share/applications/vesk.desktop"));
}

// The scalable icon beside a PNG at each usual size: a round globe, opaque in the middle,
// transparent in the corner, with soft edges (partly transparent pixels), in colour.
TEST_F(Install, IconsAreScalableAndSmoothAtEverySize) {
  fs::path svg = prefix_ / "share/icons/hicolor/scalable/apps/vesk.svg";
  ASSERT_TRUE(fs::is_regular_file(svg));
  EXPECT_NE(testsupport::FileText(svg).find("<svg"), std::string::npos);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
    SCOPED_TRACE(size);
    std::string side = std::to_string(size);
    testsupport::Image icon;
    ASSERT_TRUE(testsupport::ReadPng(prefix_ / ("share/icons/hicolor/" + side + "x" + side + "/apps/vesk.png"), icon));
    ASSERT_EQ(icon.width, uint32_t(size));
    ASSERT_EQ(icon.height, uint32_t(size));
    EXPECT_EQ(icon.argb[0] >> 24, 0u);                                     // corner: transparent
    EXPECT_EQ(icon.argb[size_t(size / 2) * size + size / 2] >> 24, 0xFFu);  // the globe: opaque
    size_t softEdge = 0, coloured = 0;
    for (uint32_t pixel : icon.argb) {
      uint32_t alpha = pixel >> 24, red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
      if (alpha > 0 && alpha < 0xFF) ++softEdge;
      if (alpha == 0xFF && (red != green || green != blue)) ++coloured;
    }
    EXPECT_GE(softEdge, size_t(size));  // at least one pixel a row, on average
    EXPECT_GE(coloured, size_t(size) * size / 3);
  }
}

TEST_F(Install, InstalledProgramRecordsFromAnotherFolder) {
  testsupport::ScratchDir elsewhere("vesk-elsewhere");
  testsupport::ScratchDir config("vesk-config");
  Outcome run = RunIn(elsewhere.path(), {(prefix_ / "bin/vesk").string(), "-n", "3", "-o", "out.avi"},
                      {{"VESK_HEADLESS", "1"},
                       {"XDG_CONFIG_HOME", config.path()},
                       {"LD_LIBRARY_PATH", ""},
                       {"ASAN_OPTIONS", "detect_leaks=0"}});
  ASSERT_EQ(run.status, 0) << run.output;
  fs::path movie = fs::path(elsewhere.path()) / "out.avi";
  ASSERT_TRUE(fs::exists(movie)) << run.output;
  Outcome probe = RunIn(elsewhere.path(), {VESK_FFPROBE, "-v", "error", "-count_frames", "-select_streams", "v:0",
                                           "-show_entries", "stream=nb_read_frames", "-of",
                                           "default=noprint_wrappers=1", movie.string()});
  EXPECT_EQ(probe.output, "nb_read_frames=3\n");
}

// SDL, GTK and what lies under them are modules' business: the program starts without
// them, as the loader lists what it maps at start.
TEST_F(Install, InstalledProgramStartsWithoutTheWindowToolkits) {
  Outcome listed = RunIn(base_.path(), {(prefix_ / "bin/vesk").string()},
                         {{"LD_TRACE_LOADED_OBJECTS", "1"}, {"LD_LIBRARY_PATH", ""}});
  ASSERT_EQ(listed.status, 0) << listed.output;
  EXPECT_NE(listed.output.find("libVeskSet.so => " + (prefix_ / "bin/../lib/libVeskSet.so").string()), std::string::npos)
      << listed.output;
  for (const char* library : {"libSDL2", "libgtk-3", "libgdk-3", "libpango", "libcairo", "libX11"})
    EXPECT_EQ(listed.output.find(library), std::string::npos) << library << " in\n" << listed.output;
}

// Without its modules the program says which one it cannot load and why: with a display
// for SDL (its dummy driver) it records without windows, and --dialog ends with the usage
// status, since the settings window cannot be shown.
TEST_F(Install, MissingModulesAreNamedAndNothingCrashes) {
  fs::remove(prefix_ / "lib/libwin32_sdl.so");
  fs::remove(prefix_ / "lib/libVeskSetWindow.so");
  testsupport::ScratchDir elsewhere("vesk-elsewhere");
  testsupport::ScratchDir config("vesk-config");
  std::vector<std::pair<std::string, std::string>> environment{{"VESK_HEADLESS", "0"},
                                                               {"SDL_VIDEODRIVER", "dummy"},
                                                               {"DISPLAY", ""},
                                                               {"WAYLAND_DISPLAY", ""},
                                                               {"XDG_CONFIG_HOME", config.path()},
                                                               {"LD_LIBRARY_PATH", ""},
                                                               {"ASAN_OPTIONS", "detect_leaks=0"}};
  Outcome run = RunIn(elsewhere.path(), {(prefix_ / "bin/vesk").string(), "-n", "1", "-o", "out.avi"}, environment);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(fs::path(elsewhere.path()) / "out.avi")) << run.output;
  EXPECT_NE(run.output.find("vesk: cannot load the display's window back end ("), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("/lib/libwin32_sdl.so: cannot open shared object file"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("going on without windows\n"), std::string::npos) << run.output;

  environment.push_back({"DISPLAY", ":98"});
  Outcome dialog = RunIn(elsewhere.path(), {(prefix_ / "bin/vesk").string(), "--dialog"}, environment);
  EXPECT_EQ(dialog.status, 2) << dialog.output;
  EXPECT_NE(dialog.output.find("vesk: cannot load the settings window ("), std::string::npos) << dialog.output;
  EXPECT_NE(dialog.output.find("/lib/libVeskSetWindow.so: cannot open shared object file"), std::string::npos)
      << dialog.output;
}

// The Earth's pictures are installed as the build made them: links to the package's
// files, never copies; the default cloud picture is a file of its own.
TEST_F(Install, TheEarthsPicturesStayLinksToThePackage) {
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(prefix_ / "share/vesk/Media/clouds.png")));
  for (const char* name : {"earth.jpg", "night.jpg"}) {
    fs::path installed = prefix_ / "share/vesk/Media" / name;
    if (!fs::exists(fs::path("/usr/share/xplanet/images") / name)) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(installed))) << name;
      continue;
    }
    ASSERT_TRUE(fs::is_symlink(installed)) << name;
    EXPECT_EQ(fs::read_symlink(installed), fs::path("/usr/share/xplanet/images") / name);
  }
}

}  // namespace
