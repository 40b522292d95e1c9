// Tests of the exported VeskSet as the program meets it: veskset_probe, linked against
// libVeskSet.so, runs in a child process with a command line; the tests check its exit
// status, its output streams and the record bytes it prints.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "VeskSet.h"
#include "file_text.h"
#include "probe_record.h"
#include "scratch_dir.h"

extern char** environ;

namespace {

struct ChildRun {
  int exitStatus = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Runs the probe with args, its output streams going to files in a private directory.
ChildRun RunProbe(const std::vector<std::string>& args) {
  ChildRun run;
  testsupport::ScratchDir dir("veskset");
  std::string outPath = dir / "out", errPath = dir / "err";

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);

  std::vector<std::string> argvStrings = {VESKSET_PROBE_PATH};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  int error = posix_spawn(&pid, VESKSET_PROBE_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    ADD_FAILURE() << "posix_spawn: " << std::strerror(error);
  } else {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    run.out = testsupport::FileText(outPath);
    run.err = testsupport::FileText(errPath);
  }
  return run;
}

// Every byte after a text's terminating zero, up to the end of its field, is zero.
template <size_t N>
void ExpectZeroTail(const char (&field)[N]) {
  for (size_t i = strnlen(field, N); i < N; ++i) ASSERT_EQ(field[i], 0) << "byte " << i;
}

TEST(VeskSetExport, WithoutArgumentsFillsEveryByteWithDefaults) {
  ChildRun run = RunProbe({});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.out.rfind("result=1\n", 0), 0u) << run.out;
  RecordingSettings settings;
  ASSERT_TRUE(DecodeRecord(run.out, settings)) << run.out;
  ExpectDefaultsWith(settings, 64, 1);
  // The probe hands over 0xAA bytes; none may be left.
  ExpectZeroTail(settings.movieFile);
  ExpectZeroTail(settings.textureFile);
  ExpectZeroTail(settings.outputKinds);
}

TEST(VeskSetExport, WithoutExtensionOptionsTheExtrasAreZero) {
  ChildRun run = RunProbe({"-n", "3"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  RecordingExtras extras;
  ASSERT_TRUE(DecodeExtras(run.out, extras)) << run.out;
  EXPECT_EQ(extras.size, sizeof extras);
  RecordingExtras zeros{};
  zeros.size = sizeof zeros;
  EXPECT_EQ(std::memcmp(&extras, &zeros, sizeof extras), 0);
}

TEST(VeskSetExport, ExtensionOptionsFillTheExtrasAndLeaveTheRecordAlone) {
  ChildRun run = RunProbe({"-n", "3", "--turns", "2", "--tilt", "23.44", "--pace", "live", "--save-path", "a.path",
                           "--path", "b.path"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  RecordingSettings settings;
  ASSERT_TRUE(DecodeRecord(run.out, settings)) << run.out;
  ExpectDefaultsWith(settings, 3, 1);
  RecordingExtras extras;
  ASSERT_TRUE(DecodeExtras(run.out, extras)) << run.out;
  EXPECT_EQ(extras.size, sizeof extras);
  EXPECT_EQ(extras.loopTurns, 2u);
  EXPECT_EQ(extras.tiltDegrees, 23.44f);
  EXPECT_EQ(extras.pace, 2u);
  EXPECT_EQ(Field(extras.savePathFile, sizeof extras.savePathFile), "a.path");
  EXPECT_EQ(Field(extras.pathFile, sizeof extras.pathFile), "b.path");
}

// The Earth's look travels in the extras only; the 560-byte record is that of the same
// command line without it.
TEST(VeskSetExport, TheEarthsLookFillsTheExtrasAndLeavesTheRecordAlone) {
  ChildRun run = RunProbe({"-n", "3", "--sun", "90", "--night", "夜.png", "--clouds=c.png", "--atmosphere"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  RecordingExtras extras;
  ASSERT_TRUE(DecodeExtras(run.out, extras)) << run.out;
  EXPECT_EQ(extras.size, sizeof extras);
  EXPECT_EQ(extras.sunOn, 1);
  EXPECT_EQ(extras.sunDegrees, 90);
  EXPECT_EQ(extras.atmosphere, 1);
  EXPECT_EQ(Field(extras.nightFile, 260), "\x96\xE9.png");  // 夜.png
  EXPECT_EQ(Field(extras.cloudsFile, 260), "c.png");
  ExpectZeroTail(extras.nightFile);
  ExpectZeroTail(extras.cloudsFile);
  RecordingSettings with, without;
  ASSERT_TRUE(DecodeRecord(run.out, with));
  ChildRun plain = RunProbe({"-n", "3"});
  ASSERT_TRUE(DecodeRecord(plain.out, without));
  EXPECT_EQ(std::memcmp(&with, &without, sizeof with), 0);
  // A sun of 0 degrees is still a sun.
  ChildRun zero = RunProbe({"--sun", "0"});
  ASSERT_TRUE(DecodeExtras(zero.out, extras)) << zero.out;
  EXPECT_EQ(extras.sunOn, 1);
  EXPECT_EQ(extras.sunDegrees, 0);
}

TEST(VeskSetExport, AntialiasReachesTheExtras) {
  ChildRun run = RunProbe({"-n", "3", "--antialias", "4"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  RecordingExtras extras;
  ASSERT_TRUE(DecodeExtras(run.out, extras)) << run.out;
  EXPECT_EQ(extras.size, sizeof extras);
  EXPECT_EQ(extras.antialias, 4u);
}

TEST(VeskSetExport, ReadsItsOwnCommandLine) {
  ChildRun run = RunProbe({"-n", "3", "--movie=地球.avi", "-s", "320x200", "--eye-height", "-7",
                           "--spin", "backward", "--coarse", "--choose-device", "--then", "play",
                           "--format", "gif", "-t", "a b.png"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  RecordingSettings settings;
  ASSERT_TRUE(DecodeRecord(run.out, settings)) << run.out;
  EXPECT_EQ(Field(settings.movieFile, 260), "\x92\x6E\x8B\x85.avi");  // 地球.avi
  EXPECT_EQ(Field(settings.textureFile, 260), "a b.png");
  EXPECT_EQ(settings.width, 320);
  EXPECT_EQ(settings.height, 200);
  EXPECT_EQ(settings.frameCount, 3);
  EXPECT_EQ(settings.eyeHeight, -7);
  EXPECT_EQ(settings.spinForward, 0);
  EXPECT_EQ(settings.highTessellation, 0);
  EXPECT_EQ(settings.chooseDevice, 1);
  EXPECT_EQ(Field(settings.outputKinds, 18), "\x8D\xC4\x90\xB6\x95\xCF\x8A\xB7GIF");  // 再生変換GIF
  ExpectZeroTail(settings.movieFile);
  ExpectZeroTail(settings.textureFile);
  ExpectZeroTail(settings.outputKinds);
}

TEST(VeskSetExport, EmptyArgumentIsAValueNotTheEndOfTheLine) {
  ChildRun run = RunProbe({"-o", "", "-n", "3"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "veskset_probe: -o must name a file, not an empty text\n");
}

TEST(VeskSetExport, BadOptionEndsTheProcessWithStatus2AndOneLine) {
  ChildRun run = RunProbe({"-n", "3", "--bogus"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "veskset_probe: unknown option '--bogus' (see --help for the options)\n");
  EXPECT_EQ(run.out, "");  // VeskSet never returned
}

TEST(VeskSetExport, ValueOutOfRangeEndsTheProcessWithStatus2) {
  ChildRun run = RunProbe({"--frames=0"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.err, "veskset_probe: --frames must be a whole number from 1 to 99999, not '0'\n");
  EXPECT_EQ(run.out, "");
}

TEST(VeskSetExport, HelpPrintsUsageAndReturnsZero) {
  ChildRun run = RunProbe({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("Usage: veskset_probe [options]\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("\nresult=0\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("record="), std::string::npos);
}

TEST(VeskSetExport, VersionPrintsOneLineAndReturnsZero) {
  ChildRun run = RunProbe({"--version"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "veskset_probe (VeskSet settings library) 1.0.0\nresult=0\n");
}

TEST(VeskSetExport, WithoutADisplayTheOptionsAloneAreUsed) {
  // The tests run with VESK_HEADLESS=1: remembered settings are for the window only.
  testsupport::ScratchDir config("veskset-config");
  std::filesystem::create_directories(config / "vesk");
  std::ofstream(config / "vesk/settings.ini") << "frames=5\n";
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  ChildRun run = RunProbe({});
  RecordingSettings settings;
  ASSERT_TRUE(DecodeRecord(run.out, settings)) << run.out;
  EXPECT_EQ(settings.frameCount, 64);

  ChildRun asked = RunProbe({"--dialog", "-n", "3"});
  EXPECT_EQ(asked.exitStatus, 2);
  EXPECT_EQ(asked.err, "veskset_probe: --dialog needs a display, and none can be opened\n");
  EXPECT_EQ(asked.out, "");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
