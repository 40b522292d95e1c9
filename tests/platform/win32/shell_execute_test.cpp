// ShellExecuteA: parameters reach the program split as a Windows command line with no
// shell interpreting them; programs are found beside the test program and on PATH;
// documents go to xdg-open; children are reaped; failures give SE_ERR_ codes. The
// program is argv_recorder, which writes its arguments to $ARGV_RECORDER_OUT; tests
// wait up to 10 s for that file, a bound on waiting only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kernel_test_support.h"
#include "win32ext.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
using kernel_test::ScopedEnv;
using Args = std::vector<std::string>;

uintptr_t Open(const char* operation, const std::string& file, const char* parameters,
              const char* directory = nullptr) {
  std::string windowsName = file;
  for (char& c : windowsName) c = c == '/' ? '\\' : c;
  return reinterpret_cast<uintptr_t>(ShellExecuteA(nullptr, operation, windowsName.c_str(),
                                                   parameters, directory, SW_SHOWNORMAL));
}

// Polls until condition holds or 10 s pass.
template <class Condition>
bool WaitFor(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return condition();
}

int ZombieChildren() {
  int zombies = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    auto stat = kernel_test::ReadFile(entry.path().string() + "/stat");
    char state = 0;
    long parent = 0;
    // "pid (name) state ppid ...": the name may hold anything, so read after its ')'.
    if (stat && stat->rfind(')') != std::string::npos &&
        sscanf(stat->c_str() + stat->rfind(')') + 1, " %c %ld", &state, &parent) == 2 &&
        state == 'Z' && parent == getpid())
      ++zombies;
  }
  return zombies;
}

class ShellExecute : public testing::Test {
 protected:
  void CopyRecorder(const std::string& path) { fs::copy_file(recorder_, path); }
  // The arguments argv_recorder wrote to path, once the file appears.
  std::optional<Args> Record(const std::string& path = "") {
    std::optional<std::string> text;
    WaitFor([&] { return (text = kernel_test::ReadFile(path.empty() ? out_ : path)).has_value(); });
    if (!text) return std::nullopt;
    Args args;
    for (size_t start = 0, end; (end = text->find('\0', start)) != std::string::npos; start = end + 1)
      args.push_back(text->substr(start, end - start));
    fs::remove(path.empty() ? out_ : path);
    return args;
  }
  testsupport::ScratchDir dir_;
  const std::string recorder_ = win32ext::ExecutableDirectory() + "/argv_recorder";
  const std::string out_ = dir_ / "args";
  ScopedEnv outEnv_{"ARGV_RECORDER_OUT", out_.c_str()};
  const std::string path_ = getenv("PATH") ? getenv("PATH") : "";
};

TEST_F(ShellExecute, ParametersReachTheProgramUninterpreted) {
  // Even the program's own directory name is full of shell syntax.
  const std::string odd = dir_ / "odd dir; $(touch pwned) `touch pwned` 'q'";
  fs::create_directory(odd);
  CopyRecorder(odd + "/recorder");
  ASSERT_GT(Open("open", odd + "/recorder",
                "\"C:\\My Files\\it's \\\"here\\\"; $(touch pwned).txt\" ; $(touch pwned) "
                "`touch pwned` 'q r' \"x;y|z&>w\" a\\\\\\\"b \"\" \x8D\xC4\x90\xB6",
                dir_.path().c_str()),
            32u);
  EXPECT_EQ(Record(), Args({"C:\\My Files\\it's \"here\"; $(touch pwned).txt", ";", "$(touch",
                            "pwned)", "`touch", "pwned`", "'q", "r'", "x;y|z&>w", "a\\\"b", "",
                            "再生"}));
  EXPECT_FALSE(fs::exists(dir_ / "pwned"));
  EXPECT_FALSE(fs::exists(odd + "/pwned"));
  EXPECT_TRUE(WaitFor([] { return ZombieChildren() == 0; })) << "a started child was not reaped";
}

TEST_F(ShellExecute, FindsProgramsBesideTheExecutableThenOnPath) {
  fs::create_directory(dir_ / "bin");
  CopyRecorder(dir_ / "bin/vesk_path_probe");
  {
    ScopedEnv path("PATH", (dir_ / "empty").c_str());  // only the program's directory helps
    ASSERT_GT(Open(nullptr, "argv_recorder.EXE", "one two"), 32u);
    EXPECT_EQ(Record(), Args({"one", "two"}));
  }
  ScopedEnv path("PATH", ("/no-such-vesk-dir::" + (dir_ / "bin") + ":" + path_).c_str());
  for (const char* name : {"vesk_path_probe", "vesk_path_probe.exe"}) {
    ASSERT_GT(Open("open", name, nullptr), 32u) << name;
    EXPECT_EQ(Record(), Args());
  }
}

TEST_F(ShellExecute, StartsInTheDirectoryGivenWithRelativeNamesResolvedFirst) {
  fs::create_directory(dir_ / "tools");
  fs::create_directory(dir_ / "work");
  CopyRecorder(dir_ / "tools/rec");
  ScopedEnv out("ARGV_RECORDER_OUT", "recorded-here");  // lands in the child's directory
  testsupport::ScopedCwd cwd(dir_.path());
  ASSERT_GT(Open("open", "tools/rec.exe", "y", "work"), 32u);
  EXPECT_EQ(Record(dir_ / "work/recorded-here"), Args({"y"}));
}

TEST_F(ShellExecute, DocumentsGoToXdgOpen) {
  fs::create_directory(dir_ / "opener");
  CopyRecorder(dir_ / "opener/xdg-open");  // the stand-in opener records its arguments
  ScopedEnv path("PATH", ((dir_ / "opener") + ":" + path_).c_str());
  const std::string document = dir_ / "My Report; $(touch pwned).txt";
  kernel_test::WriteFile(document, "text");
  ASSERT_GT(Open("open", document, "ignored parameters"), 32u);
  EXPECT_EQ(Record(), Args({document}));

  testsupport::ScopedCwd cwd(dir_.path());  // a relative name arrives absolute
  ASSERT_GT(Open(nullptr, "My Report; $(touch pwned).txt", nullptr), 32u);
  EXPECT_EQ(Record(), Args({fs::current_path().string() + "/My Report; $(touch pwned).txt"}));
  EXPECT_FALSE(fs::exists(dir_ / "pwned"));

  ScopedEnv noOpener("PATH", (dir_ / "empty").c_str());
  EXPECT_EQ(Open("open", document, nullptr), uintptr_t{SE_ERR_NOASSOC});
}

// A movie named like a program on PATH ("test", "vesk") is opened as a document, not run;
// with parameters the name still means the program.
TEST_F(ShellExecute, AnExistingFileWithoutParametersIsADocumentEvenWhenAProgramHasItsName) {
  fs::create_directory(dir_ / "opener");
  fs::create_directory(dir_ / "bin");
  CopyRecorder(dir_ / "opener/xdg-open");
  CopyRecorder(dir_ / "bin/movie");
  ScopedEnv path("PATH", ((dir_ / "opener") + ":" + (dir_ / "bin") + ":" + path_).c_str());
  testsupport::ScopedCwd cwd(dir_.path());
  kernel_test::WriteFile(dir_ / "movie", "RIFF");
  const std::string document = fs::current_path() / "movie";
  ASSERT_GT(Open("open", "movie", nullptr), 32u);
  EXPECT_EQ(Record(), Args({document})) << "the opener got the file, the program did not run";
  ASSERT_GT(Open("open", "movie", ""), 32u);
  EXPECT_EQ(Record(), Args({document}));
  ASSERT_GT(Open("open", "movie", "-x"), 32u);
  EXPECT_EQ(Record(), Args({"-x"})) << "with parameters the program on PATH runs";
}

// Every file on NTFS or CIFS mounts has its execute bit: a movie there is still opened,
// never run, also when named with its path.
TEST_F(ShellExecute, AFileWithAnExecuteBitThatIsNoProgramIsADocument) {
  fs::create_directory(dir_ / "opener");
  CopyRecorder(dir_ / "opener/xdg-open");
  ScopedEnv path("PATH", ((dir_ / "opener") + ":" + path_).c_str());
  const std::string movie = dir_ / "globe.avi";
  kernel_test::WriteFile(movie, "RIFF\0\0\0\0AVI LIST");
  fs::permissions(movie, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
  ASSERT_GT(Open("open", movie, nullptr), 32u);
  EXPECT_EQ(Record(), Args({movie}));
  // With parameters it is no program either: it is opened, the parameters dropped.
  ASSERT_GT(Open("open", movie, "-x"), 32u);
  EXPECT_EQ(Record(), Args({movie}));
  // A script with its bit is a program. Like argv_recorder it writes beside the file and
  // renames, so that the file is never seen half written.
  const std::string script = dir_ / "run.sh";
  kernel_test::WriteFile(script, "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$ARGV_RECORDER_OUT.partial\" &&\n"
                                 "mv \"$ARGV_RECORDER_OUT.partial\" \"$ARGV_RECORDER_OUT\"\n");
  fs::permissions(script, fs::perms::owner_all);
  ASSERT_GT(Open("open", script, "a"), 32u);
  EXPECT_EQ(Record(), Args({"a"}));
}

TEST_F(ShellExecute, FailuresGiveTheirCodes) {
  kernel_test::WriteFile(dir_ / "doc.txt", "text");
  const std::string missing = dir_ / "missing";
  const std::tuple<const char*, std::string, const char*, uintptr_t> cases[] = {
      {"open", "", nullptr, SE_ERR_FNF},
      {"open", "no-such-vesk-program.exe", nullptr, SE_ERR_FNF},
      {"open", dir_ / "no/such/program", nullptr, SE_ERR_FNF},
      {"open", dir_.path(), nullptr, SE_ERR_FNF},  // a directory is neither
      {"open", "bad\x81", nullptr, SE_ERR_FNF},
      {"print", dir_ / "doc.txt", nullptr, SE_ERR_NOASSOC},
      {"edit", recorder_, nullptr, SE_ERR_NOASSOC},
      {"open", recorder_, missing.c_str(), SE_ERR_PNF},
  };
  for (const auto& [operation, file, directory, expected] : cases)
    EXPECT_EQ(Open(operation, file, nullptr, directory), expected) << file;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, 1)),
            uintptr_t{SE_ERR_FNF});
  EXPECT_FALSE(fs::exists(out_));  // nothing was started
}

}  // namespace
