// Services of the platform layer that have no Win32 spelling: code-page conversion,
// path translation, the program's resource tables, built-in images, back-end facts
// and the seams tests use to act as a user (message boxes, injected input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

union SDL_Event;

namespace win32ext {

// ---- Code page 932 ----------------------------------------------------------------
// CP932 text that is not well formed fails (nullopt). UTF-8 to CP932 never fails:
// characters and bytes that CP932 cannot hold are carried as escapes that Cp932ToUtf8
// turns back into the same bytes, so every file name survives the round trip.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);
// The Unicode code points of CP932 text, one a character.
std::optional<std::u32string> Cp932ToCodePoints(std::string_view cp932);
bool IsCp932LeadByte(unsigned char byte);
// Length of the longest prefix of text, at most maxBytes long, that does not end in
// the middle of a double-byte character.
size_t Cp932SafePrefix(std::string_view text, size_t maxBytes);

// ---- Paths --------------------------------------------------------------------------
// A CP932 path as the operating system takes it: UTF-8 with '/' separators.
std::optional<std::string> ToSystemPath(const char* cp932Path);
// Directory of the running executable (UTF-8, no trailing '/').
std::string ExecutableDirectory();
// Where a library file such as "libAVI2.so" is looked for, in order: beside the
// executable, in ../lib from it (the installed layout), then by its bare name on the
// normal library path.
std::vector<std::string> LibraryCandidates(const std::string& file);
// Opens the first of the candidates that loads, a module of this program's own that
// then stays loaded for the process, and returns its entry point; null with the reason
// for every candidate tried (or the missing entry point) in `problem`.
void* OpenModuleEntry(const std::vector<std::string>& candidates, const char* entry, std::string& problem);
// Why a file cannot be written at this CP932 path, as the system says it ("No such file
// or directory", "Permission denied", "not a regular file"), or empty when it can be:
// for the messages of a failed save. Creates nothing that it does not remove again. A
// symbolic link at the path, and a missing folder with the reason it cannot be made,
// are named as such.
std::string WriteProblem(const char* cp932Path);
// Whether the last component of this system path is a symbolic link (trailing '/'
// ignored). The program never writes, truncates or deletes its own files through one.
bool IsSymbolicLink(const std::string& systemPath);
// The program's folder of user settings: $XDG_CONFIG_HOME/vesk, or ~/.config/vesk when
// that is unset or relative; nullopt without either. The folder may not exist yet.
std::optional<std::string> UserConfigDirectory();
// Reads a whole user-editable file of at most maxBytes into contents. The size is checked
// before anything is read, and a file that grows meanwhile is still refused.
enum class SmallFileResult { Read, Missing, NotRegular, TooLarge, Failed };
SmallFileResult ReadSmallFile(const std::string& path, size_t maxBytes, std::string& contents);
// Writes the pieces one after another with as few system calls as the system allows,
// resuming after short writes and interruptions: at the file's position, or from
// `offset` on without moving it. False when a write fails (errno tells why).
bool WritePieces(int fd, std::span<const std::span<const uint8_t>> pieces,
                 std::optional<uint64_t> offset = std::nullopt);

// ---- Libraries ---------------------------------------------------------------------
// Why the last LoadLibraryA of this thread that failed found nothing: the loader's
// reason for every file it tried, in order, separated by "; ".
std::string LibraryLoadFailure();

// ---- Resources ------------------------------------------------------------------------
// A monochrome image in the AND/XOR layout of icons and cursors: rows top to bottom,
// one bit a pixel, most significant bit leftmost, rows padded to whole bytes.
struct MonochromeImage {
  int width = 0;
  int height = 0;
  int hotX = 0;
  int hotY = 0;
  std::vector<uint8_t> andMask;
  std::vector<uint8_t> xorMask;
  int Stride() const { return (width + 7) / 8; }
  bool AndBit(int x, int y) const;
  bool XorBit(int x, int y) const;
};
// Builds an image from rows of text: 'X' black, '.' white, ' ' transparent, '~' inverted.
MonochromeImage ImageFromArt(const std::vector<std::string_view>& rows, int hotX, int hotY);

// The program's resources are C++ tables: accelerator tables (ACCEL arrays) and icons
// (MonochromeImage), found by type and numeric id.
struct ResourceEntry {
  const char* type;  // RT_ACCELERATOR, RT_GROUP_ICON, RT_DIALOG
  WORD id;
  const void* data;
  size_t count;  // entries for tables, 1 for single objects
};
struct ResourceDirectory {
  const ResourceEntry* entries;
  size_t count;
};
// Makes the directory the resources of the program's module (GetModuleHandleA(NULL)).
void SetProgramResources(const ResourceDirectory* resources);
// Defined by the program: its resource tables. The process entry point installs them.
const ResourceDirectory& ProgramResources();
const ResourceEntry* FindResourceEntry(HINSTANCE module, const char* type, const char* name);

// A dialog template, spelled as a resource script spells one: rectangles in dialog
// units (a quarter of the font's average character width, an eighth of its height),
// controls in tab order, classes "BUTTON", "STATIC" and "COMBOBOX".
struct DialogItemTemplate {
  const char* className;
  const char* text;  // CP932; "" for none
  int id;            // -1 for controls the program never addresses
  DWORD style;
  short x, y, cx, cy;
};
struct DialogTemplate {
  DWORD style;
  short x, y, cx, cy;
  const char* caption;  // CP932
  const char* faceName;
  WORD pointSize;
  const DialogItemTemplate* items;
  size_t itemCount;
};

// The image behind an icon or cursor handle, or null for an unknown handle.
const MonochromeImage* IconImage(HICON icon);

// ---- Message boxes --------------------------------------------------------------------
struct MessageBoxRecord {
  HWND owner;
  std::string text;     // CP932 bytes as passed
  std::string caption;  // "Error" when none was passed, as Win32 shows it
  UINT type;
  std::string detail;   // the line of ReportProblem before it (UTF-8, no newline), or ""
};
// The program's own explanation of a failure (file and reason, in English): writes the
// line to standard error and keeps it for the next message box, which shows it with a
// display as secondary text under its fixed text (headless, the line is already there).
void ReportProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));
// While a hook is installed every box goes to it instead of the screen; its result is
// the box's result. An empty function removes the hook.
using MessageBoxHook = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// ---- Dialogs ----------------------------------------------------------------------------
// The user of a modal dialog, played by a test: each call acts as the user would, and
// the notifications are those the user's action gives on Windows.
class DialogUser {
 public:
  explicit DialogUser(HWND dialog) : dialog_(dialog) {}
  HWND dialog() const { return dialog_; }
  // Chooses the first item of a combo box whose text is `text` (CP932); false when
  // the control or the item does not exist or the control is disabled.
  bool Choose(int controlId, std::string_view text) const;
  // Clicks a button (a push button, or a radio button that then checks itself).
  bool Click(int controlId) const;
  // Presses a key while the dialog has the focus: VK_ESCAPE or VK_RETURN.
  bool PressKey(int virtualKey) const;
  // Clicks the close box of the caption.
  void Close() const;

 private:
  HWND dialog_;
};
// While a hook is installed, DialogBoxParamA calls it whenever the dialog's queue is
// empty; it acts once and returns true, or returns false when it has nothing more to
// do, which closes the dialog as the close box would. It replaces the screen: with a
// hook the dialog is never shown. An empty function removes it.
using DialogHook = std::function<bool(const DialogUser&)>;
void SetDialogHook(DialogHook hook);

// The size in pixels of the dialog units of a font (face name resolved through
// fontconfig to a metric-compatible face, 96 pixels per inch).
struct DialogBaseUnits {
  int x;  // average width of the Latin letters
  int y;  // line height
};
DialogBaseUnits BaseUnitsOf(const char* faceName, int pointSize);

// ---- Window back ends -------------------------------------------------------------------
enum class BackendKind { Headless, Sdl };
// Chosen once, at first use: headless with VESK_HEADLESS=1, or when SDL finds no video
// device; SDL otherwise (a display, or SDL_VIDEODRIVER naming a driver).
BackendKind ActiveBackend();

struct DisplayInfo {
  std::string name;  // UTF-8
  RECT bounds;       // in desktop coordinates
  int refreshRate;   // Hz
};
std::vector<DisplayInfo> Displays();
// The same into `displays`, reusing its storage (for callers that ask every frame).
void RefreshDisplays(std::vector<DisplayInfo>& displays);

// The modes a display can be switched to (empty where the back end lists none).
struct DisplayMode {
  int width, height;
  int refreshRate;  // Hz, 0 when unknown
};
std::vector<DisplayMode> DisplayModes(int displayIndex);

// SDL's id of the window behind a handle (0 when there is none).
uint32_t NativeWindowId(HWND window);

// True when windows appear on a video device (a screen, or SDL's dummy driver); false
// headless, where nothing waits for a display's refresh.
bool WindowsShown();

// An image of 32-bit pixels whose low three bytes are B, G, R (the fourth is ignored),
// rows `width` apart.
struct ScreenImage {
  const uint32_t* pixels;
  uint32_t width, height;
};
// Copies `part` of the image into the window's client area. Headless, there is nothing
// to copy into.
void ShowInWindow(HWND window, const ScreenImage& image, const RECT& part);

// A full-colour pointer: A8R8G8B8 pixels, rows `width` apart.
struct ColorPointerImage {
  const uint32_t* pixels;
  int width, height;
  int hotX, hotY;
};
// Makes the image the pointer and shows it; returns a token for ReleaseColorPointer, or
// 0 when no such pointer can be made (always headless). Releasing the pointer in use
// brings back the default one.
uintptr_t ShowColorPointer(const ColorPointerImage& image);
void ReleaseColorPointer(uintptr_t token);
void HidePointer();
// Puts the pointer at a point of the window's client area, unless it already stands
// there (a warp to the pointer's own place would report another motion).
void WarpPointer(HWND window, int x, int y);

// Feeds an input event as the user's devices would. Headless, it queues the event for
// the next PeekMessageA/GetMessageA; with SDL, it goes through SDL_PushEvent. Either way
// it takes the same translation path as real input. Safe to call from any thread.
void InjectInput(const SDL_Event& event);

}  // namespace win32ext
