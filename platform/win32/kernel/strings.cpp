// The kernel's string helpers on CP932 text: bounded copy that never splits a
// double-byte character, byte-wise comparison and length. Unlike the originals, which
// compare by locale, lstrcmpA orders by byte value; the program only tests equality.
#include <string.h>

#include <climits>
#include <string_view>

#include "win32ext.h"
#include "windows.h"

LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int maxLength) {
  if (destination == nullptr || source == nullptr || maxLength < 1) return nullptr;
  size_t room = static_cast<size_t>(maxLength) - 1;
  size_t length = strnlen(source, room);
  if (length == room && source[length] != '\0') {
    // Truncating: look one byte past the cut so that a lead byte whose trail byte would
    // be cut off is recognised as a whole character and left out.
    length = win32ext::Cp932SafePrefix(std::string_view(source, room + 1), room);
  }
  memmove(destination, source, length);
  destination[length] = '\0';
  return destination;
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : a == nullptr ? -1 : 1;
  int order = strcmp(a, b);  // strcmp compares as unsigned char
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int lstrlenA(LPCSTR text) {
  if (text == nullptr) return 0;
  size_t length = strlen(text);
  return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}
