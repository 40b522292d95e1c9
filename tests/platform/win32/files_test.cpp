// File calls: GetFullPathNameA (leaf pointer, buffer-size rules, relative names, "."
// and ".."), CreateFileA/CloseHandle, CreateDirectoryA and DeleteFileA with their exact
// error codes, Windows separators, and the per-thread last error.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "kernel_test_support.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScopedCwd;
using testsupport::ScratchDir;

std::string Win(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

TEST(FullPathName, ResolvesCollapsesAndPointsAtTheLeaf) {
  ScratchDir dir;
  fs::create_directory(dir / "work");
  const std::string root = fs::canonical(dir / "work");  // the name getcwd reports
  const std::string parent = fs::canonical(dir.path());
  ScopedCwd cwd(root);
  const std::tuple<const char*, std::string, const char*> cases[] = {
      // name, full path, leaf (null: the path ends in a separator)
      {"a.txt", root + "/a.txt", "a.txt"},
      {"sub\\.\\x\\..\\\\a.txt", root + "/sub/a.txt", "a.txt"},
      {"..\\b.bmp", parent + "/b.bmp", "b.bmp"},
      {".", root, "work"},
      {"sub\\", root + "/sub/", nullptr},
      {"\\x\\..\\..\\y", "/y", "y"},
      {"/..", "/", nullptr},
      // 再生\表.txt: the output stays CP932 and 表's trail byte 5C is no separator.
      {"\x8D\xC4\x90\xB6\\\x95\x5C.txt", root + "/\x8D\xC4\x90\xB6/\x95\x5C.txt", "\x95\x5C.txt"},
  };
  for (const auto& [name, full, leaf] : cases) {
    SCOPED_TRACE(name);
    char buffer[1024];
    LPSTR part = buffer;
    ASSERT_EQ(GetFullPathNameA(name, sizeof buffer, buffer, &part), full.size());
    EXPECT_EQ(std::string(buffer), full);
    if (leaf == nullptr) {
      EXPECT_EQ(part, nullptr);
    } else {
      ASSERT_NE(part, nullptr);
      EXPECT_EQ(part, buffer + full.size() - std::strlen(leaf));
    }
  }
  EXPECT_FALSE(fs::exists(root + "/sub"));  // existence is never checked, nothing made
}

TEST(FullPathName, BufferSizeRulesAndBadArguments) {
  const std::string full = "/media/globe.x";
  const DWORD length = full.size();
  // Too small, even by only the NUL: the size needed with the NUL; nothing is touched.
  for (DWORD size : {DWORD{0}, length - 1, length}) {
    char buffer[64] = "untouched";
    LPSTR part = buffer;
    EXPECT_EQ(GetFullPathNameA("\\media\\globe.x", size, size ? buffer : nullptr, &part), length + 1);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(part, buffer);
  }
  char exact[64];
  EXPECT_EQ(GetFullPathNameA("\\media\\globe.x", length + 1, exact, nullptr), length);
  EXPECT_EQ(std::string(exact), full);

  const std::string huge = "/" + std::string(40000, 'a');
  const std::tuple<const char*, DWORD, char*, DWORD> failures[] = {
      {nullptr, 64, exact, ERROR_INVALID_PARAMETER},
      {"a", 64, nullptr, ERROR_INVALID_PARAMETER},
      {"", 64, exact, ERROR_INVALID_NAME},
      {"bad\x81", 64, exact, ERROR_INVALID_NAME},
      {huge.c_str(), 64, exact, ERROR_FILENAME_EXCED_RANGE},
  };
  for (const auto& [name, size, buffer, error] : failures) {
    EXPECT_EQ(GetFullPathNameA(name, size, buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), error);
  }
}

class FileCalls : public testing::Test {
 protected:
  void SetUp() override {
    kernel_test::WriteFile(dir_ / "present.txt", "hello");
    fs::create_directory(dir_ / "folder");
    mkfifo((dir_ / "pipe").c_str(), 0600);
  }
  ScratchDir dir_;
};

TEST_F(FileCalls, OpenAndCloseOnlyExistingFilesForReading) {
  HANDLE file = CreateFileA(Win(dir_ / "present.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
  for (HANDLE bad : {file, HANDLE(nullptr), INVALID_HANDLE_VALUE, HANDLE(uintptr_t{0x400000})}) {
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }

  const std::tuple<std::string, DWORD, DWORD, DWORD> cases[] = {
      // name, access, disposition, error
      {dir_ / "missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {dir_ / "nodir/missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {dir_ / "present.txt/x", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {dir_ / "folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {dir_ / "pipe", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},  // and no hang
      {dir_ / "bad\x81", GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_NAME},
      {dir_ / "present.txt", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, ERROR_NOT_SUPPORTED},
      {dir_ / "present.txt", 0, OPEN_EXISTING, ERROR_NOT_SUPPORTED},
      {dir_ / "missing.txt", GENERIC_READ, CREATE_ALWAYS, ERROR_NOT_SUPPORTED},
      {dir_ / "missing.txt", GENERIC_READ, OPEN_ALWAYS, ERROR_NOT_SUPPORTED},
  };
  for (const auto& [name, access, disposition, error] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(CreateFileA(Win(name).c_str(), access, 0, nullptr, disposition, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), error);
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.txt"));
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(FileCalls, CreateDirectoryAndDeleteFile) {
  EXPECT_TRUE(CreateDirectoryA(Win(dir_ / "made").c_str(), nullptr));
  EXPECT_TRUE(CreateDirectoryA(Win(dir_ / "made/\x8D\xC4\x90\xB6").c_str(), nullptr));
  EXPECT_TRUE(fs::is_directory(dir_ / "made/再生"));
  EXPECT_TRUE(DeleteFileA(Win(dir_ / "present.txt").c_str()));
  EXPECT_FALSE(fs::exists(dir_ / "present.txt"));

  const std::tuple<BOOL (*)(LPCSTR), std::string, DWORD> failures[] = {
      {[](LPCSTR p) { return CreateDirectoryA(p, nullptr); }, dir_ / "made", ERROR_ALREADY_EXISTS},
      {[](LPCSTR p) { return CreateDirectoryA(p, nullptr); }, dir_ / "a/b", ERROR_PATH_NOT_FOUND},
      {DeleteFileA, dir_ / "present.txt", ERROR_FILE_NOT_FOUND},
      {DeleteFileA, dir_ / "nodir/x.txt", ERROR_PATH_NOT_FOUND},
      {DeleteFileA, dir_ / "folder", ERROR_ACCESS_DENIED},
      {DeleteFileA, dir_ / "bad\x81", ERROR_INVALID_NAME},
  };
  for (const auto& [call, name, error] : failures) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(call(Win(name).c_str()));
    EXPECT_EQ(GetLastError(), error);
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_FALSE(DeleteFileA(nullptr));
  EXPECT_FALSE(CreateDirectoryA(nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(LastError, IsPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 1;
  std::thread([&] { seenByOther = GetLastError(), SetLastError(ERROR_FILE_NOT_FOUND); }).join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
