// LoadLibraryA, GetProcAddress and FreeLibrary: "NAME.dll" opens libNAME.so beside the
// program (which is on no search path), loads share one counted module, and missing
// libraries, procedures and bad handles fail with their codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel_test_support.h"
#include "win32ext.h"
#include "windows.h"

namespace {

int Call(HMODULE module, const char* name) {
  FARPROC proc = GetProcAddress(module, name);
  // Through void (*)(), which converts to any function pointer without a warning.
  return proc ? reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(proc))() : -1;
}

TEST(Libraries, DllNamesOpenTheLibraryBesideTheProgram) {
  const std::string path = win32ext::ExecutableDirectory() + "/libVeskTestLib.so";
  const std::string names[] = {"VeskTestLib.dll", "VeskTestLib.DLL", "x\\y\\VeskTestLib.dll",
                               path /* not ending in .dll: opened as given */};
  for (const std::string& name : names) {
    HMODULE module = LoadLibraryA(name.c_str());
    ASSERT_NE(module, nullptr) << name;
    EXPECT_EQ(Call(module, "VeskTestAnswer"), 42);
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST(Libraries, RepeatedLoadsShareOneCountedModule) {
  HMODULE first = LoadLibraryA("VeskTestLib.dll");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(LoadLibraryA("VeskTestLib.dll"), first);
  int count = Call(first, "VeskTestNextCount");
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(Call(first, "VeskTestNextCount"), count + 1);  // still loaded, state kept
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Libraries, FailuresGiveTheirCodes) {
  testsupport::ScratchDir dir;
  kernel_test::WriteFile(dir / "libNotElf.so", "not a shared object");
  const std::string names[] = {"NoSuchVeskLibrary.dll", ".dll", "", "/no/such/lib.so",
                               dir / "libNotElf.so", "bad\x81.dll"};
  for (const std::string& name : names) {
    EXPECT_EQ(LoadLibraryA(name.c_str()), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  }
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

  HMODULE module = LoadLibraryA("VeskTestLib.dll");
  // An ordinal (a small number in place of a name) must not be read as a pointer.
  for (LPCSTR name : {"NoSuchProcedure", "", LPCSTR(nullptr), LPCSTR(MAKEINTRESOURCEA(7))}) {
    EXPECT_EQ(GetProcAddress(module, name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  }
  FreeLibrary(module);

  for (HMODULE bad : {HMODULE(nullptr), HMODULE(uintptr_t{12345}), module}) {
    EXPECT_EQ(GetProcAddress(bad, "VeskTestAnswer"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FreeLibrary(bad));
  }
}

TEST(Libraries, ProgramModuleLooksInTheProcess) {
  HMODULE program = GetModuleHandleA(nullptr);
  EXPECT_NE(GetProcAddress(program, "strlen"), nullptr);  // the C library is in scope
  EXPECT_EQ(GetProcAddress(program, "NoSuchProcedureAnywhere"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

// The program's LoadLibraryA and the editor's movie writer both look here, in this order.
TEST(Libraries, LibraryFilesAreLookedForBesideTheProgramThenInLibThenOnThePath) {
  const std::string folder = win32ext::ExecutableDirectory();
  EXPECT_EQ(win32ext::LibraryCandidates("libAVI2.so"),
            (std::vector<std::string>{folder + "/libAVI2.so", folder + "/../lib/libAVI2.so", "libAVI2.so"}));
}

}  // namespace
