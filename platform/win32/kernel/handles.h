// Handle values shared by every kind of handle the layer hands out. Values are unique
// across kinds, never 0, and fit 32 bits (so a handle survives a DWORD, as USER
// handles do), which lets each function reject a handle of the wrong kind.
#pragma once

#include <cstdint>

#include "wintypes.h"

namespace win32impl {

uint32_t NextHandleValue();

template <class Handle>
Handle MakeHandle(uint32_t value) {
  return reinterpret_cast<Handle>(static_cast<uintptr_t>(value));
}

inline uint32_t HandleValue(const void* handle) {
  uintptr_t raw = reinterpret_cast<uintptr_t>(handle);
  return raw > 0xFFFFFFFFu ? 0u : static_cast<uint32_t>(raw);
}

// The program's own module (GetModuleHandleA(NULL)), at the classic image base.
inline HMODULE ProgramModuleHandle() { return MakeHandle<HMODULE>(0x400000); }

}  // namespace win32impl
