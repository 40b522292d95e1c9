// Loading the movie writer and starting the after-recording programs.
#include "movie_output.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>

#include "shellapi.h"
#include "win32ext.h"
#include "windows.h"

namespace {

// Message texts and keywords in CP932.
// "AVI2.dll が見つかりません" (AVI2.dll cannot be found)
const char kWriterMissing[] = "AVI2.dll \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "関数 MemoryToAviFile が見つかりません" (function MemoryToAviFile cannot be found)
const char kMemoryFunctionMissing[] =
    "\x8A\xD6\x90\x94 MemoryToAviFile \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "関数 BmpfileToAviFile が見つかりません" (function BmpfileToAviFile cannot be found)
const char kBmpFunctionMissing[] =
    "\x8A\xD6\x90\x94 BmpfileToAviFile \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
const char kPlay[] = "\x8D\xC4\x90\xB6";     // 再生
const char kEdit[] = "\x95\xD2\x8F\x57";     // 編集
const char kConvert[] = "\x95\xCF\x8A\xB7";  // 変換

bool Contains(const char* text, const char* keyword) { return std::strstr(text, keyword) != nullptr; }

// A library function as its own type (through void(*)(), which any function pointer
// converts to and from without a warning).
template <class Function>
Function LookUp(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// Why ShellExecuteA could not start a program or open a document.
const char* StartProblem(uintptr_t code) {
  switch (code) {
    case SE_ERR_NOASSOC: return "nothing opens it (xdg-open is not installed)";
    case SE_ERR_FNF: return "not found beside the program or on PATH";
    case SE_ERR_OOM: return "not enough memory";
    default: return "it could not be started";
  }
}

// The after-recording steps report nothing in a box; a failure gets one line.
void Open(const char* file, const char* parameters) {
  auto code = reinterpret_cast<uintptr_t>(ShellExecuteA(nullptr, "open", file, parameters, nullptr, SW_SHOWNORMAL));
  if (code > 32) return;
  std::string name = win32ext::Cp932ToUtf8(file).value_or(file);
  std::fprintf(stderr, "vesk: cannot open '%s': %s\n", name.c_str(), StartProblem(code));
}

}  // namespace

bool LoadMovieWriter(FrameCapture& capture) {
  capture.movieLibrary = LoadLibraryA("AVI2.dll");
  if (!capture.movieLibrary) {
    win32ext::ReportProblem("vesk: cannot load the movie writer libAVI2.so: %s\n",
                            win32ext::LibraryLoadFailure().c_str());
    MessageBoxA(nullptr, kWriterMissing, nullptr, MB_OK);
    return false;
  }
  capture.memoryToAvifile = LookUp<MemoryToAvifileFunction>(capture.movieLibrary, "MemoryToAvifile");
  if (!capture.memoryToAvifile) {
    win32ext::ReportProblem("vesk: the movie writer libAVI2.so has no function MemoryToAvifile\n");
    MessageBoxA(nullptr, kMemoryFunctionMissing, nullptr, MB_OK);
    return false;
  }
  capture.bmpfileToAvifile = LookUp<BmpfileToAvifileFunction>(capture.movieLibrary, "BmpfileToAvifile");
  if (!capture.bmpfileToAvifile) {
    win32ext::ReportProblem("vesk: the movie writer libAVI2.so has no function BmpfileToAvifile\n");
    MessageBoxA(nullptr, kBmpFunctionMissing, nullptr, MB_OK);
    return false;
  }
  return true;
}

bool StartAfterRecordingPrograms(const FrameCapture& capture, const char* outputKinds) {
  if (Contains(outputKinds, "non") || !capture.finished) return false;
  if (Contains(outputKinds, kPlay)) Open(capture.outputPath, nullptr);
  if (Contains(outputKinds, kEdit)) Open("RizudAvuv.exe", capture.outputPath);
  if (Contains(outputKinds, kConvert)) {
    const char* format = "";
    if (Contains(outputKinds, "GIF")) format = " -GIF";
    if (Contains(outputKinds, "MNG")) format = " -MNG";
    if (Contains(outputKinds, "MPEG")) format = " -MPEG1";
    // The formats people post, after the three above and in the same last-wins order.
    if (Contains(outputKinds, "MP4")) format = " -MP4";
    if (Contains(outputKinds, "WEBM")) format = " -WEBM";
    if (Contains(outputKinds, "APNG")) format = " -APNG";
    if (Contains(outputKinds, "WEBP")) format = " -WEBP";
    char parameters[256];
    std::snprintf(parameters, sizeof parameters, "-i %s%s", capture.outputPath, format);
    Open("VoridEdadide.exe", parameters);
  }
  return true;
}
