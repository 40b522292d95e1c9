// Icons and cursors as monochrome AND/XOR images: the system arrow, the four-way
// sizing arrow and the default application icon are built in; program icons come
// from its resource tables. Also the current cursor and the cursor's confinement.
#include <map>
#include <mutex>
#include <set>

#include "backend.h"
#include "gdi_objects.h"
#include "handles.h"
#include "input_translation.h"
#include "win32ext.h"
#include "window_model.h"

namespace win32ext {

bool MonochromeImage::AndBit(int x, int y) const {
  return (andMask[static_cast<size_t>(y * Stride() + x / 8)] >> (7 - x % 8)) & 1;
}

bool MonochromeImage::XorBit(int x, int y) const {
  return (xorMask[static_cast<size_t>(y * Stride() + x / 8)] >> (7 - x % 8)) & 1;
}

MonochromeImage ImageFromArt(const std::vector<std::string_view>& rows, int hotX, int hotY) {
  MonochromeImage image;
  image.height = static_cast<int>(rows.size());
  for (auto row : rows) image.width = std::max(image.width, static_cast<int>(row.size()));
  image.hotX = hotX;
  image.hotY = hotY;
  size_t bytes = static_cast<size_t>(image.Stride() * image.height);
  image.andMask.assign(bytes, 0xFF);  // transparent unless the art says otherwise
  image.xorMask.assign(bytes, 0x00);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
      bool andBit = true, xorBit = false;
      switch (rows[y][x]) {
        case 'X': andBit = false; xorBit = false; break;
        case '.': andBit = false; xorBit = true; break;
        case '~': andBit = true; xorBit = true; break;
        default: break;
      }
      size_t at = static_cast<size_t>(y * image.Stride() + x / 8);
      BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
      image.andMask[at] = andBit ? (image.andMask[at] | bit) : (image.andMask[at] & ~bit);
      image.xorMask[at] = xorBit ? (image.xorMask[at] | bit) : (image.xorMask[at] & ~bit);
    }
  }
  return image;
}

}  // namespace win32ext

namespace win32impl {

namespace {

using win32ext::ImageFromArt;
using win32ext::MonochromeImage;

// System cursors are 32x32; blank rows at the bottom give the full width.
std::vector<std::string_view> Pad32(std::vector<std::string_view> rows) {
  while (rows.size() < 32) rows.push_back("                                ");
  return rows;
}

const MonochromeImage& ArrowImage() {
  static const MonochromeImage image = ImageFromArt(
      Pad32({
          "X",
          "XX",
          "X.X",
          "X..X",
          "X...X",
          "X....X",
          "X.....X",
          "X......X",
          "X.......X",
          "X........X",
          "X.........X",
          "X......XXXXX",
          "X...X..X",
          "X..XX..X",
          "X.X  X..X",
          "XX   X..X",
          "X     X..X",
          "      X..X",
          "       X..X",
          "       X..X",
          "        XX",
      }),
      0, 0);
  return image;
}

const MonochromeImage& SizeAllImage() {
  static const MonochromeImage image = ImageFromArt(
      Pad32({
          "",
          "",
          "",
          "",
          "               X",
          "              X.X",
          "             X...X",
          "            X.....X",
          "           X.......X",
          "           XXXX.XXXX",
          "          X   X.X   X",
          "         XX   X.X   XX",
          "        X.X   X.X   X.X",
          "       X..XXXXX.XXXXX..X",
          "      X.................X",
          "       X..XXXXX.XXXXX..X",
          "        X.X   X.X   X.X",
          "         XX   X.X   XX",
          "          X   X.X   X",
          "           XXXX.XXXX",
          "           X.......X",
          "            X.....X",
          "             X...X",
          "              X.X",
          "               X",
      }),
      15, 14);
  return image;
}

// The application icon: a framed window.
const MonochromeImage& ApplicationImage() {
  static const MonochromeImage image = [] {
    std::vector<std::string> rows(32, std::string(32, ' '));
    for (int y = 2; y < 30; ++y) {
      for (int x = 2; x < 30; ++x) {
        bool edge = y == 2 || y == 29 || x == 2 || x == 29 || (y >= 3 && y <= 6);
        rows[y][x] = edge ? 'X' : '.';
      }
    }
    std::vector<std::string_view> views(rows.begin(), rows.end());
    return ImageFromArt(views, 0, 0);
  }();
  return image;
}

struct ImageTable {
  std::mutex mutex;
  std::map<uint32_t, const MonochromeImage*> byHandle;
  std::map<const MonochromeImage*, HICON> byImage;
  std::set<uint32_t> cursors;  // handles handed out by LoadCursorA
};

ImageTable& Images() {
  static ImageTable table;
  return table;
}

// One handle per image, as shared system icons and cursors have.
HICON HandleFor(const MonochromeImage& image) {
  ImageTable& table = Images();
  std::lock_guard lock(table.mutex);
  auto found = table.byImage.find(&image);
  if (found != table.byImage.end()) return found->second;
  HICON handle = MakeHandle<HICON>(NextHandleValue());
  table.byImage[&image] = handle;
  table.byHandle[HandleValue(handle)] = &image;
  return handle;
}

HCURSOR CursorHandleFor(const MonochromeImage& image) {
  HCURSOR handle = HandleFor(image);
  ImageTable& table = Images();
  std::lock_guard lock(table.mutex);
  table.cursors.insert(HandleValue(handle));
  return handle;
}

HCURSOR g_currentCursor = nullptr;

}  // namespace

bool IsCursorHandle(HICON handle) {
  ImageTable& table = Images();
  std::lock_guard lock(table.mutex);
  return table.cursors.count(HandleValue(handle)) > 0;
}

}  // namespace win32impl

using namespace win32impl;

const win32ext::MonochromeImage* win32ext::IconImage(HICON icon) {
  ImageTable& table = Images();
  std::lock_guard lock(table.mutex);
  auto found = table.byHandle.find(HandleValue(icon));
  return found == table.byHandle.end() ? nullptr : found->second;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (!instance) {
    if (name == IDI_APPLICATION) return HandleFor(ApplicationImage());
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const win32ext::ResourceEntry* entry = win32ext::FindResourceEntry(instance, RT_GROUP_ICON, name);
  if (!entry) return nullptr;
  return HandleFor(*static_cast<const MonochromeImage*>(entry->data));
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (!instance) {
    if (name == IDC_ARROW) return CursorHandleFor(ArrowImage());
    if (name == IDC_SIZEALL) return CursorHandleFor(SizeAllImage());
  }
  // The program has no cursor resources of its own.
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const MonochromeImage* image = nullptr;
  if (cursor) {
    image = win32ext::IconImage(cursor);
    if (!image) {
      SetLastError(ERROR_INVALID_CURSOR_HANDLE);
      return nullptr;
    }
  }
  HCURSOR previous = g_currentCursor;
  if (cursor != previous) TheBackend().SetPointerImage(image);
  g_currentCursor = cursor;
  return previous;
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *point = PointerScreenPosition();
  return TRUE;
}

BOOL ClipCursor(const RECT* rect) {
  if (rect && (rect->right < rect->left || rect->bottom < rect->top)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SetPointerClipRect(rect);
  if (Window* window = LookupWindowByNativeId(0)) {
    TheBackend().ConfinePointer(window->nativeId, rect);
  }
  return TRUE;
}
