// `cmake --install` into a private prefix (with a space in it, as a user's folder may
// have): the layout, the desktop entry as desktop-file-validate sees it, the icons, and
// the installed vesk recording from another folder with nothing of the build tree.
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
  for (const char* file : {"bin/vesk", "lib/libVeskSet.so", "lib/libAVI2.so", "share/vesk/Media/vesk.x",
                           "share/vesk/Media/vesk_stars.jpg", "share/vesk/Media/globe.png"}) {
    EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
  }
  // The libraries live in lib/, not beside the program.
  EXPECT_FALSE(fs::exists(prefix_ / "bin/libVeskSet.so"));
  EXPECT_EQ(testsupport::FileText(prefix_ / "bin/registry.ini"),
            "; Written by cmake --install: the media search finds share/vesk/Media/ through this value.\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Graphics SDK]\n"
            "Samples Path=" + (prefix_ / "share/vesk").string() + "\n");
}

TEST_F(Install, DesktopEntryValidatesAndStartsTheWindow) {
  fs::path entry = prefix_ / "share/applications/vesk.desktop";
  Outcome validate = RunIn(base_.path(), {VESK_DESKTOP_FILE_VALIDATE, entry.string()});
  EXPECT_EQ(validate.status, 0) << validate.output;
  EXPECT_EQ(validate.output.find("error"), std::string::npos) << validate.output;
  std::string text = testsupport::FileText(entry);
  // The prefix has a space, so the program is quoted.
  EXPECT_NE(text.find("\nExec=\"" + (prefix_ / "bin/vesk").string() + "\" --dialog\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nIcon=vesk\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nCategories=Graphics;AudioVideo;Video;\n"), std::string::npos) << text;

  for (int size : {48, 256}) {
    std::string side = std::to_string(size);
    testsupport::Image icon;
    ASSERT_TRUE(testsupport::ReadPng(prefix_ / ("share/icons/hicolor/" + side + "x" + side + "/apps/vesk.png"), icon))
        << size;
    EXPECT_EQ(icon.width, uint32_t(size));
    EXPECT_EQ(icon.height, uint32_t(size));
    EXPECT_EQ(icon.argb[0] >> 24, 0u);                                          // corner: transparent
    EXPECT_EQ(icon.argb[size_t(size / 2) * size + size / 2], 0xFF000000u);  // the equator: black
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
