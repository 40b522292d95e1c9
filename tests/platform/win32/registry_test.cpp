// The read-only registry over registry.ini files: value types, RegQueryValueExA's size
// rules, key lookup and refused writes, snapshots, the user file winning over the one
// beside the program, and hostile files. XDG_CONFIG_HOME points at a test directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "kernel_test_support.h"
#include "win32ext.h"
#include "windows.h"

extern char** environ;

namespace {

using kernel_test::ScopedEnv;
// A key no real configuration uses, so the build's registry.ini cannot interfere.
constexpr const char* kKey = "Software\\VeskRegistryTest\\Graphics SDK";
const std::string kSection = "[HKEY_CURRENT_USER\\Software\\VeskRegistryTest\\Graphics SDK]\n";

class Registry : public testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_ / "vesk"); }
  void WriteIni(const std::string& text) { kernel_test::WriteFile(dir_ / "vesk/registry.ini", text); }
  LSTATUS Open(HKEY* key, const char* subKey = kKey, REGSAM access = KEY_READ) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, access, key);
  }
  // A value's bytes, or "<error N>"; checks the type and that the NUL is counted.
  std::string Value(HKEY key, const char* name, DWORD expectedType = REG_SZ) {
    char data[64];
    DWORD size = sizeof data, type = REG_NONE;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, LPBYTE(data), &size);
    if (status != ERROR_SUCCESS) return "<error " + std::to_string(status) + ">";
    EXPECT_EQ(type, expectedType) << name;
    if (type == REG_SZ) {
      EXPECT_EQ(data[size - 1], '\0') << name;
    }
    return std::string(data, type == REG_SZ ? size - 1 : size);
  }
  testsupport::ScratchDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.path().c_str()};
};

TEST_F(Registry, ReadsValuesOfEachKind) {
  WriteIni("; comment\n# comment\n" + kSection +
           "Samples Path=/some/path with spaces\n  Padded  =  a;b#c  \nJapanese=再生\n"
           "Answer=dword:0000002a\nMax=DWORD:FFFFFFFF\n@=default\nPath=old\nPATH=new\n");
  HKEY key = nullptr;
  ASSERT_EQ(Open(&key, "software\\veskregistrytest\\GRAPHICS SDK\\"), ERROR_SUCCESS);
  EXPECT_EQ(Value(key, "SAMPLES path"), "/some/path with spaces");
  EXPECT_EQ(Value(key, "Padded"), "a;b#c");
  EXPECT_EQ(Value(key, "Japanese"), "\x8D\xC4\x90\xB6");  // handed out in CP932
  EXPECT_EQ(Value(key, nullptr), "default");
  EXPECT_EQ(Value(key, "Path"), "new");
  EXPECT_EQ(Value(key, "Answer", REG_DWORD), std::string("\x2A\0\0\0", 4));
  EXPECT_EQ(Value(key, "Max", REG_DWORD), "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, QuerySizeRules) {
  WriteIni(kSection + "Path=abcdef\n");
  HKEY key = nullptr;
  ASSERT_EQ(Open(&key), ERROR_SUCCESS);
  char data[16] = "untouched";
  DWORD size = 0, type = REG_NONE;
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 7u);  // six bytes and the NUL
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  size = 6;
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, LPBYTE(data), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  EXPECT_STREQ(data, "untouched");
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Path", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, LPBYTE(data), nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  for (HKEY bad : {key, HKEY(nullptr), HKEY(uintptr_t{12345})})
    EXPECT_EQ(RegQueryValueExA(bad, "Path", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, OpenFindsKeysAndRefusesWriting) {
  WriteIni(kSection + "Path=inner\n");
  const std::tuple<HKEY, const char*, REGSAM, LSTATUS> cases[] = {
      {HKEY_CURRENT_USER, "Software\\VeskRegistryTest", KEY_READ, ERROR_SUCCESS},  // a parent
      {HKEY_LOCAL_MACHINE, kKey, KEY_READ, ERROR_FILE_NOT_FOUND},
      {HKEY_CURRENT_USER, "Software\\VeskRegistryTest\\Graphics", KEY_READ, ERROR_FILE_NOT_FOUND},
      {HKEY_CURRENT_USER, "Software/VeskRegistryTest/Graphics SDK", KEY_READ, ERROR_FILE_NOT_FOUND},
      {HKEY_CURRENT_USER, kKey, KEY_SET_VALUE, ERROR_ACCESS_DENIED},
      {HKEY_CURRENT_USER, kKey, KEY_READ | KEY_CREATE_SUB_KEY, ERROR_ACCESS_DENIED},
      {HKEY(uintptr_t{12345}), kKey, KEY_READ, ERROR_INVALID_HANDLE},
  };
  for (const auto& [root, subKey, access, expected] : cases) {
    HKEY key = HKEY(uintptr_t{1});
    EXPECT_EQ(RegOpenKeyExA(root, subKey, 0, access, &key), expected) << subKey;
    EXPECT_EQ(key == nullptr, expected != ERROR_SUCCESS) << subKey;
    RegCloseKey(key);
  }
  EXPECT_EQ(Open(nullptr), ERROR_INVALID_PARAMETER);

  HKEY parent = nullptr, child = nullptr, root = nullptr;
  ASSERT_EQ(Open(&parent, "Software\\VeskRegistryTest"), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(parent, "Graphics SDK", 0, KEY_READ, &child), ERROR_SUCCESS);
  EXPECT_EQ(Value(child, "Path"), "inner");
  // A snapshot: a later change of the file does not reach an open key.
  WriteIni(kSection + "Path=changed\n");
  EXPECT_EQ(Value(child, "Path"), "inner");
  RegCloseKey(child);
  RegCloseKey(parent);
  EXPECT_EQ(Open(&root, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(root, HKEY_CURRENT_USER);  // a root opened itself is the root
}

TEST_F(Registry, HostileFilesAreSurvived) {
  std::string text = "\xEF\xBB\xBF" + kSection +
                     "Crlf=value\r\nno equals sign\n=nameless\nBroken=\xC3\x28\nNoCp932=€\n"
                     "BadDword=dword:xyz\nLongDword=dword:123456789\nLong=" +
                     std::string(100000, 'x') + "\nNul=a" + std::string(1, '\0') + "b\n" +
                     "After=kept\n[HKEY_CURRENT_USER\\Software\n[NO_SUCH_ROOT\\x]\n[]\n[\n";
  for (int i = 0; i < 1000; ++i) text += std::string("\xFF\x00\x80garbage=", 11);
  WriteIni(text);
  HKEY key = nullptr;
  ASSERT_EQ(Open(&key), ERROR_SUCCESS);
  EXPECT_EQ(Value(key, "Crlf"), "value");
  EXPECT_EQ(Value(key, "After"), "kept");
  // Bytes and characters CP932 cannot hold are carried through its escapes, unchanged.
  EXPECT_EQ(win32ext::Cp932ToUtf8(Value(key, "Broken")), "\xC3\x28");
  EXPECT_EQ(win32ext::Cp932ToUtf8(Value(key, "NoCp932")), "€");
  for (const char* ignored : {"no equals sign", "", "BadDword", "LongDword", "Long", "Nul"})
    EXPECT_EQ(Value(key, ignored), "<error 2>") << ignored;
  RegCloseKey(key);

  // Too big as a whole, a directory, a FIFO (which must not block): all ignored.
  WriteIni(kSection + "Path=x\n" + std::string((1u << 20), ';'));
  EXPECT_EQ(Open(&key), ERROR_FILE_NOT_FOUND);
  std::filesystem::remove(dir_ / "vesk/registry.ini");
  std::filesystem::create_directory(dir_ / "vesk/registry.ini");
  EXPECT_EQ(Open(&key), ERROR_FILE_NOT_FOUND);
  std::filesystem::remove(dir_ / "vesk/registry.ini");
  ASSERT_EQ(mkfifo((dir_ / "vesk/registry.ini").c_str(), 0600), 0);
  EXPECT_EQ(Open(&key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, RelativeConfigHomeFallsBackToHomeConfig) {
  std::filesystem::create_directories(dir_ / "home/.config/vesk");
  kernel_test::WriteFile(dir_ / "home/.config/vesk/registry.ini", kSection + "Path=home\n");
  ScopedEnv home("HOME", (dir_ / "home").c_str());
  for (const char* config : {(const char*)nullptr, "", "relative/dir"}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", config);
    HKEY key = nullptr;
    ASSERT_EQ(Open(&key), ERROR_SUCCESS);
    EXPECT_EQ(Value(key, "Path"), "home");
    RegCloseKey(key);
  }
}

// Runs only in the child that UserFileWinsOverProgramFile starts from a copy of this
// program with a registry.ini of its own beside it.
TEST(RegistryChild, DISABLED_SeesBothFiles) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  for (auto [name, expected] : {std::pair{"Shared", "user"}, {"ProgramOnly", "program"}}) {
    char data[16] = "";
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, LPBYTE(data), &size), ERROR_SUCCESS);
    EXPECT_STREQ(data, expected);
  }
}

TEST_F(Registry, UserFileWinsOverProgramFile) {
  // The build's own registry.ini beside this program stays untouched.
  std::filesystem::create_directory(dir_ / "program");
  const std::string copy = dir_ / "program/win32_tests";
  std::error_code linkError;
  std::filesystem::create_hard_link(std::filesystem::read_symlink("/proc/self/exe"), copy, linkError);
  if (linkError) std::filesystem::copy_file("/proc/self/exe", copy);
  kernel_test::WriteFile(dir_ / "program/registry.ini", kSection + "Shared=program\nProgramOnly=program\n");
  WriteIni(kSection + "Shared=user\n");
  char filter[] = "--gtest_filter=RegistryChild.*", disabled[] = "--gtest_also_run_disabled_tests";
  char* argv[] = {const_cast<char*>(copy.c_str()), filter, disabled, nullptr};
  // The child's report shows whether its test ran at all: a filter that matches
  // nothing passes too.
  const std::string report = dir_ / "child.txt";
  posix_spawn_file_actions_t output;
  posix_spawn_file_actions_init(&output);
  posix_spawn_file_actions_addopen(&output, STDOUT_FILENO, report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, copy.c_str(), &output, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&output);
  ASSERT_EQ(spawned, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's checks failed";
  std::string text = kernel_test::ReadFile(report).value_or("");
  EXPECT_NE(text.find("[       OK ] RegistryChild.DISABLED_SeesBothFiles"), std::string::npos) << text;
  EXPECT_NE(text.find("[  PASSED  ] 1 test."), std::string::npos) << "exactly the one child test ran:\n" << text;
}

}  // namespace
