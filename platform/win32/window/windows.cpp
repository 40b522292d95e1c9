// Window classes and windows: creation and destruction with their messages, the
// default window procedure, rectangles, styles, show states and class values.
// Windows have no menus and no children; the back end mirrors each window natively.
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

#include "backend.h"
#include "dialog_model.h"
#include "handles.h"
#include "input_translation.h"
#include "message_queue.h"
#include "win32ext.h"
#include "window_model.h"

namespace win32impl {

namespace {

std::map<std::string, std::unique_ptr<WindowClass>>& Classes() {
  static std::map<std::string, std::unique_ptr<WindowClass>> classes;
  return classes;
}

std::vector<std::unique_ptr<Window>>& Windows() {
  static std::vector<std::unique_ptr<Window>> windows;
  return windows;
}

std::string ClassKey(const char* name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

WindowClass* LookupClass(LPCSTR name) {
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (auto& [key, cls] : Classes()) {
      if (cls->atom == atom) return cls.get();
    }
    return nullptr;
  }
  auto found = Classes().find(ClassKey(name));
  return found == Classes().end() ? nullptr : found->second.get();
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

LPARAM SizeParam(const Window& window) {
  if (window.minimized) return 0;
  return MAKELPARAM(Width(window.rect), Height(window.rect));
}

bool Bordered(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION; }

RECT PrimaryDisplayBounds() {
  auto displays = win32ext::Displays();
  return displays.empty() ? RECT{0, 0, 1920, 1080} : displays.front().bounds;
}

// Where CW_USEDEFAULT puts a window: centred on the primary display, never above or
// left of its origin.
RECT DefaultPlacement(int x, int y, int width, int height) {
  RECT display = PrimaryDisplayBounds();
  if (width == CW_USEDEFAULT) {
    width = Width(display) * 3 / 4;
    height = Height(display) * 3 / 4;
  }
  if (x == CW_USEDEFAULT) {
    x = display.left + std::max<LONG>(0, (Width(display) - width) / 2);
    y = display.top + std::max<LONG>(0, (Height(display) - height) / 2);
  }
  width = std::max(width, 0);
  height = std::max(height, 0);
  return {x, y, x + width, y + height};
}

// Sends a message and tells whether the window survived it.
bool SendAndCheck(HWND handle, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT* result = nullptr) {
  LRESULT r = SendMessageA(handle, message, wParam, lParam);
  if (result) *result = r;
  return LookupWindow(handle) != nullptr;
}

void SendSizeAndMove(HWND handle, UINT sizeKind) {
  Window* window = LookupWindow(handle);
  if (!window) return;
  RECT rect = window->rect;
  if (!SendAndCheck(handle, WM_SIZE, sizeKind, SizeParam(*window))) return;
  SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
}

void SetVisibleStyle(Window& window, bool visible) {
  bool was = (window.style & WS_VISIBLE) != 0;
  if (was == visible) return;
  window.style = visible ? (window.style | WS_VISIBLE) : (window.style & ~WS_VISIBLE);
  if (visible) window.needsPaint = true;
  TheBackend().SetVisible(window.nativeId, visible);
}

// The window behind a handle; for an unknown handle, null with the Win32 error set.
Window* RequireWindow(HWND handle) {
  Window* window = LookupWindow(handle);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

HWND FailWith(DWORD error) {
  SetLastError(error);
  return nullptr;
}

}  // namespace

Window* LookupWindow(HWND handle) {
  if (!handle) return nullptr;
  for (auto& window : Windows()) {
    if (window->handle == handle) return window.get();
  }
  return nullptr;
}

Window* LookupWindowByNativeId(uint32_t nativeId) {
  auto& windows = Windows();
  if (nativeId == 0) return windows.empty() ? nullptr : windows.back().get();
  for (auto& window : windows) {
    if (window->nativeId == nativeId) return window.get();
  }
  return nullptr;
}

Window* FirstWindowNeedingPaint() {
  for (auto& window : Windows()) {
    if (window->needsPaint && (window->style & WS_VISIBLE) && !window->minimized) {
      return window.get();
    }
  }
  return nullptr;
}

void ApplyShowState(Window& window, int sizeKind, bool fromBackend) {
  Backend& backend = TheBackend();
  switch (sizeKind) {
    case SIZE_MINIMIZED:
      if (window.minimized) return;
      window.minimized = true;
      if (!fromBackend) backend.SetShowState(window.nativeId, ShowState::Minimized);
      break;
    case SIZE_MAXIMIZED:
      if (window.maximized && !window.minimized) return;
      if (!window.maximized) window.restoreRect = window.rect;
      window.minimized = false;
      window.maximized = true;
      if (!fromBackend) {
        window.rect = PrimaryDisplayBounds();
        backend.SetShowState(window.nativeId, ShowState::Maximized);
      }
      break;
    default:
      if (window.minimized) {
        window.minimized = false;
      } else if (window.maximized) {
        window.maximized = false;
        window.rect = window.restoreRect;
      } else {
        return;
      }
      if (!fromBackend) {
        backend.SetShowState(window.nativeId, ShowState::Normal);
        backend.SetRect(window.nativeId, window.rect);
      }
      sizeKind = SIZE_RESTORED;
      break;
  }
  window.needsPaint = !window.minimized;
  SendMessageA(window.handle, WM_SIZE, static_cast<WPARAM>(sizeKind), SizeParam(window));
}

void ApplyUserResize(Window& window, const RECT& rect) {
  if (std::equal(&rect.left, &rect.bottom + 1, &window.rect.left)) return;
  HWND handle = window.handle;
  if (!SendAndCheck(handle, WM_ENTERSIZEMOVE, 0, 0)) return;
  Window* current = LookupWindow(handle);
  current->rect = rect;
  current->needsPaint = true;
  WPARAM kind = current->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
  if (!SendAndCheck(handle, WM_SIZE, kind, SizeParam(*current))) return;
  SendMessageA(handle, WM_EXITSIZEMOVE, 0, 0);
}

void ApplyUserMove(Window& window, LONG left, LONG top) {
  if (window.rect.left == left && window.rect.top == top) return;
  HWND handle = window.handle;
  if (!SendAndCheck(handle, WM_ENTERSIZEMOVE, 0, 0)) return;
  Window* current = LookupWindow(handle);
  LONG w = Width(current->rect), h = Height(current->rect);
  current->rect = {left, top, left + w, top + h};
  if (!SendAndCheck(handle, WM_MOVE, 0, MAKELPARAM(left, top))) return;
  SendMessageA(handle, WM_EXITSIZEMOVE, 0, 0);
}

}  // namespace win32impl

using namespace win32impl;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
      IS_INTRESOURCE(windowClass->lpszClassName) || !*windowClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Menus do not exist on this platform; a class that names one cannot be honoured.
  if (windowClass->lpszMenuName) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  std::string key = ClassKey(windowClass->lpszClassName);
  if (Classes().count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  static ATOM nextAtom = 0xC000;
  auto cls = std::make_unique<WindowClass>();
  cls->name = windowClass->lpszClassName;
  cls->info = *windowClass;
  cls->info.lpszClassName = cls->name.c_str();
  cls->atom = nextAtom++;
  ATOM atom = cls->atom;
  Classes()[key] = std::move(cls);
  return atom;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  WindowClass* cls = LookupClass(className);
  if (!cls) return FailWith(ERROR_CANNOT_FIND_WND_CLASS);
  if (menu) return FailWith(ERROR_INVALID_MENU_HANDLE);
  if (parent && !LookupWindow(parent)) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  if (style & WS_CHILD) return FailWith(ERROR_NOT_SUPPORTED);
  std::string title;
  if (windowName) {
    auto utf8 = win32ext::Cp932ToUtf8(windowName);
    if (!utf8) return FailWith(ERROR_NO_UNICODE_TRANSLATION);
    title = *utf8;
  }

  auto window = std::make_unique<Window>();
  window->handle = MakeHandle<HWND>(NextHandleValue());
  window->windowClass = cls;
  window->procedure = cls->info.lpfnWndProc;
  window->style = style;
  window->exStyle = exStyle;
  window->rect = DefaultPlacement(x, y, width, height);
  window->restoreRect = window->rect;
  window->needsPaint = (style & WS_VISIBLE) != 0;
  window->nativeId = TheBackend().CreateNativeWindow(
      {window->rect, (style & WS_VISIBLE) != 0, Bordered(style), title});
  if (window->nativeId == 0) return FailWith(ERROR_NOT_ENOUGH_MEMORY);
  HWND handle = window->handle;
  Windows().push_back(std::move(window));

  MINMAXINFO limits{};
  RECT display = PrimaryDisplayBounds();
  limits.ptMaxSize = {Width(display), Height(display)};
  limits.ptMaxTrackSize = limits.ptMaxSize;
  if (!SendAndCheck(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits))) {
    return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  }
  Window* created = LookupWindow(handle);
  created->minTrackSize = limits.ptMinTrackSize;
  TheBackend().SetMinimumSize(created->nativeId, limits.ptMinTrackSize.x,
                              limits.ptMinTrackSize.y);

  CREATESTRUCTA create{param,  instance, menu,   parent,
                       height, width,    y,      x,
                       static_cast<LONG>(style), windowName, className, exStyle};
  LRESULT result = 0;
  if (!SendAndCheck(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create), &result)) {
    return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  }
  if (!result) {
    DestroyWindow(handle);
    return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  }
  if (!SendAndCheck(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create), &result)) {
    return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  }
  if (result == -1) {
    DestroyWindow(handle);
    return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  }
  SendSizeAndMove(handle, SIZE_RESTORED);
  return LookupWindow(handle) ? handle : FailWith(ERROR_INVALID_WINDOW_HANDLE);
}

BOOL DestroyWindow(HWND handle) {
  Window* window = RequireWindow(handle);
  if (!window) return FALSE;
  // A window procedure may destroy its window again while handling WM_DESTROY; the
  // handle stays valid until WM_NCDESTROY has been sent, and the second call is refused.
  static std::vector<HWND> beingDestroyed;
  if (std::find(beingDestroyed.begin(), beingDestroyed.end(), handle) != beingDestroyed.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  beingDestroyed.push_back(handle);
  SendMessageA(handle, WM_DESTROY, 0, 0);
  SendMessageA(handle, WM_NCDESTROY, 0, 0);
  beingDestroyed.erase(std::find(beingDestroyed.begin(), beingDestroyed.end(), handle));

  auto& windows = Windows();
  auto found = std::find_if(windows.begin(), windows.end(),
                            [handle](const auto& w) { return w->handle == handle; });
  TheBackend().DestroyNativeWindow((*found)->nativeId);
  windows.erase(found);
  RemoveMessagesFor(handle);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  return LookupWindow(handle) || LookupDialog(handle) || LookupControl(handle);
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = LookupWindow(handle);
  if (!window) return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageA(handle, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(handle, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(handle, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(handle, SW_RESTORE); break;
      }
      return 0;
    case WM_PAINT:
      window->needsPaint = false;
      return 0;
    case WM_NCHITTEST: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const RECT& r = window->rect;
      return (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) ? HTCLIENT
                                                                                 : HTNOWHERE;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && window->windowClass->info.hCursor) {
        SetCursor(window->windowClass->info.hCursor);
        return TRUE;
      }
      return FALSE;
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(handle, &p);
      SendMessageA(handle, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle),
                   MAKELPARAM(p.x, p.y));
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    default:
      return 0;
  }
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
  Window* window = LookupWindow(handle);
  if (!window || !rect) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = window->rect;
  return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
  Window* window = LookupWindow(handle);
  if (!window || !rect) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = window->minimized ? RECT{0, 0, 0, 0}
                            : RECT{0, 0, Width(window->rect), Height(window->rect)};
  return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD, BOOL) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

LONG GetWindowLongA(HWND handle, int index) {
  Window* window = RequireWindow(handle);
  if (!window) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG>(window->exStyle);
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG SetWindowLongA(HWND handle, int index, LONG newValue) {
  Window* window = RequireWindow(handle);
  if (!window) return 0;
  DWORD value = static_cast<DWORD>(newValue);
  switch (index) {
    case GWL_STYLE: {
      LONG previous = static_cast<LONG>(window->style);
      if (value & WS_CHILD) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
      }
      bool wasBordered = Bordered(window->style);
      SetVisibleStyle(*window, (value & WS_VISIBLE) != 0);
      window->style = value;
      if (Bordered(value) != wasBordered) TheBackend().SetBordered(window->nativeId, !wasBordered);
      SetLastError(ERROR_SUCCESS);
      return previous;
    }
    case GWL_EXSTYLE: {
      LONG previous = static_cast<LONG>(window->exStyle);
      window->exStyle = value;
      SetLastError(ERROR_SUCCESS);
      return previous;
    }
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

BOOL SetWindowPos(HWND handle, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* window = RequireWindow(handle);
  if (!window) return FALSE;
  RECT old = window->rect;
  RECT rect = old;
  if (!(flags & SWP_NOMOVE)) rect = {x, y, x + Width(old), y + Height(old)};
  if (!(flags & SWP_NOSIZE)) {
    rect.right = rect.left + std::max(cx, 0);
    rect.bottom = rect.top + std::max(cy, 0);
  }
  bool moved = rect.left != old.left || rect.top != old.top;
  bool sized = Width(rect) != Width(old) || Height(rect) != Height(old);
  window->rect = rect;
  if (moved || sized) TheBackend().SetRect(window->nativeId, rect);
  if (flags & SWP_SHOWWINDOW) SetVisibleStyle(*window, true);
  if (flags & SWP_HIDEWINDOW) SetVisibleStyle(*window, false);
  if (sized) {
    window->needsPaint = true;
    if (!SendAndCheck(handle, WM_SIZE, SIZE_RESTORED, SizeParam(*window))) return TRUE;
  }
  if (moved) SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
  return TRUE;
}

BOOL ShowWindow(HWND handle, int command) {
  Window* window = RequireWindow(handle);
  if (!window) return FALSE;
  BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      SetVisibleStyle(*window, false);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      SetVisibleStyle(*window, true);
      ApplyShowState(*window, SIZE_RESTORED, false);
      break;
    case SW_SHOW:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWDEFAULT:
      SetVisibleStyle(*window, true);
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      SetVisibleStyle(*window, true);
      ApplyShowState(*window, SIZE_MINIMIZED, false);
      break;
    case SW_MAXIMIZE:
      SetVisibleStyle(*window, true);
      ApplyShowState(*window, SIZE_MAXIMIZED, false);
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      break;
  }
  return wasVisible;
}

BOOL IsIconic(HWND handle) {
  Window* window = LookupWindow(handle);
  return window && window->minimized;
}

BOOL IsZoomed(HWND handle) {
  Window* window = LookupWindow(handle);
  return window && window->maximized && !window->minimized;
}

BOOL ScreenToClient(HWND handle, LPPOINT point) {
  Window* window = LookupWindow(handle);
  if (!window || !point) return FALSE;
  point->x -= window->rect.left;
  point->y -= window->rect.top;
  return TRUE;
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
  Window* window = LookupWindow(handle);
  if (!window || !point) return FALSE;
  point->x += window->rect.left;
  point->y += window->rect.top;
  return TRUE;
}

HMENU GetMenu(HWND handle) {
  if (!LookupWindow(handle)) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

BOOL SetMenu(HWND handle, HMENU menu) {
  if (!LookupWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL DestroyMenu(HMENU) {
  SetLastError(ERROR_INVALID_MENU_HANDLE);
  return FALSE;
}

DWORD GetClassLongA(HWND handle, int index) {
  Window* window = RequireWindow(handle);
  if (!window) return 0;
  const WNDCLASSA& info = window->windowClass->info;
  switch (index) {
    case GCL_HCURSOR: return HandleValue(info.hCursor);
    case GCL_HICON: return HandleValue(info.hIcon);
    case GCL_HBRBACKGROUND: return HandleValue(info.hbrBackground);
    case GCL_STYLE: return info.style;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

DWORD SetClassLongA(HWND handle, int index, LONG newValue) {
  Window* window = RequireWindow(handle);
  if (!window) return 0;
  WNDCLASSA& info = window->windowClass->info;
  uint32_t value = static_cast<uint32_t>(newValue);
  DWORD previous = 0;
  switch (index) {
    case GCL_HCURSOR:
      previous = HandleValue(info.hCursor);
      info.hCursor = MakeHandle<HCURSOR>(value);
      break;
    case GCL_HICON:
      previous = HandleValue(info.hIcon);
      info.hIcon = MakeHandle<HICON>(value);
      break;
    case GCL_HBRBACKGROUND:
      previous = HandleValue(info.hbrBackground);
      info.hbrBackground = MakeHandle<HBRUSH>(value);
      break;
    case GCL_STYLE:
      previous = info.style;
      info.style = value;
      break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  return previous;
}

HGDIOBJ GetStockObject(int object) {
  static const uint32_t base = [] {
    uint32_t first = NextHandleValue();
    for (int i = 1; i <= NULL_BRUSH; ++i) NextHandleValue();
    return first;
  }();
  if (object < WHITE_BRUSH || object > NULL_BRUSH) return nullptr;
  return MakeHandle<HGDIOBJ>(base + 4 * static_cast<uint32_t>(object));
}

uint32_t win32ext::NativeWindowId(HWND handle) {
  Window* window = LookupWindow(handle);
  return window ? window->nativeId : 0;
}
