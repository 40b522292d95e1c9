// The process entry point: installs the program's resources and hands over to WinMain
// with the program's module handle and its command line in CP932.
#include <string>

#include "win32ext.h"

int main(int argc, char** argv) {
  win32ext::SetProgramResources(&win32ext::ProgramResources());
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  // Arguments that CP932 cannot carry are left out of the Win32 view of the command
  // line rather than handed over as mangled bytes.
  std::string converted = win32ext::Utf8ToCp932(commandLine);
  return WinMain(GetModuleHandleA(nullptr), nullptr, converted.data(), SW_SHOWDEFAULT);
}
