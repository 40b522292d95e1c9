// Message boxes: the back end's modal box with the icon and buttons of the flags (GTK3
// with a display); where it shows none, "caption: text" on standard error, answered
// with the first button. A test hook can take every box instead. The line the program
// last reported on standard error goes into the next box as its secondary text.
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "backend.h"
#include "readable_text.h"
#include "win32ext.h"
#include "window_model.h"

namespace {

std::mutex g_hookMutex;
win32ext::MessageBoxHook g_hook;
std::string g_pendingDetail;  // guarded by g_hookMutex

// The reported line waiting for its box, handed over once.
std::string TakePendingDetail() {
  std::lock_guard lock(g_hookMutex);
  return std::exchange(g_pendingDetail, {});
}

using win32impl::MessageBoxButton;

std::vector<MessageBoxButton> ButtonsFor(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {{"_OK", IDOK}};
    case MB_OKCANCEL: return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE: return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
    case MB_YESNOCANCEL: return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
    case MB_YESNO: return {{"_Yes", IDYES}, {"_No", IDNO}};
    case MB_RETRYCANCEL: return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
    default: return {};
  }
}

}  // namespace

void win32ext::SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard lock(g_hookMutex);
  g_hook = std::move(hook);
}

void win32ext::ReportProblem(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line(length > 0 ? size_t(length) : 0, '\0');
  if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, arguments);
  va_end(arguments);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  while (!line.empty() && line.back() == '\n') line.pop_back();
  std::lock_guard lock(g_hookMutex);
  g_pendingDetail = std::move(line);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::vector<MessageBoxButton> buttons = ButtonsFor(type);
  if (buttons.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (owner && !win32impl::LookupWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  win32ext::MessageBoxRecord record{owner, text ? text : "", caption ? caption : "Error", type,
                                    TakePendingDetail()};
  {
    std::lock_guard lock(g_hookMutex);
    if (g_hook) return g_hook(record);
  }
  win32impl::MessageBoxRequest request{win32impl::ReadableUtf8(record.text), win32impl::ReadableUtf8(record.caption),
                                       record.detail, type, buttons};
  if (std::optional<int> answer = win32impl::TheBackend().ShowMessageBox(request)) return *answer;
  std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
  std::fflush(stderr);
  return buttons.front().id;
}
