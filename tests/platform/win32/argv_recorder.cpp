// A program the ShellExecuteA tests start: it writes its arguments (argv[1] onwards,
// each followed by a NUL byte) to the file named by ARGV_RECORDER_OUT. The file appears
// complete or not at all (written beside it, then renamed), so a test can poll for it.
// A relative name is taken in the working directory the program was started in.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv) {
  const char* out = getenv("ARGV_RECORDER_OUT");
  if (out == nullptr || out[0] == '\0') return 2;
  std::string temporary = std::string(out) + ".partial." + std::to_string(getpid());
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) return 1;
  bool ok = true;
  for (int i = 1; i < argc; ++i) ok = ok && fwrite(argv[i], 1, strlen(argv[i]) + 1, file) == strlen(argv[i]) + 1;
  ok = fclose(file) == 0 && ok;
  if (!ok || rename(temporary.c_str(), out) != 0) {
    unlink(temporary.c_str());
    return 1;
  }
  return 0;
}
