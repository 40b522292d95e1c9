// Kernel services: errors, time, files, strings, modules and libraries.
#pragma once

#include "wintypes.h"

DWORD GetLastError();
void SetLastError(DWORD error);

// number × numerator ÷ denominator in 64 bits, rounded half away from zero; -1 when
// the denominator is 0 or the result does not fit.
int MulDiv(int number, int numerator, int denominator);

// Time: the performance counter is CLOCK_MONOTONIC in nanoseconds.
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
DWORD timeGetTime();
void Sleep(DWORD milliseconds);

// Files. Paths are CP932 text; '\' and '/' both separate components.
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL DeleteFileA(LPCSTR path);
DWORD GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart);
// Only opening an existing file for reading is provided; anything else fails with
// ERROR_NOT_SUPPORTED.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);

// Strings (CP932 aware: a copy never ends in the middle of a double-byte character).
LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int maxLength);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrlenA(LPCSTR text);

// Modules and libraries. LoadLibraryA("NAME.dll") opens libNAME.so beside the
// executable, then on the normal library path.
HMODULE GetModuleHandleA(LPCSTR moduleName);
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
