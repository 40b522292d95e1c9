// GrowArray: the append-only container of the device-selection code. It holds either
// fixed-size entries by value (modes, formats, conflict pairs) or bare pointers to
// records owned elsewhere. Failures are HRESULTs, never exceptions.
#pragma once

#include <stdint.h>

#include "wintypes.h"

enum GrowArrayMode : uint32_t {
  ByValue = 0,    // each entry is a copy of entrySize bytes
  ByPointer = 1,  // each entry is one pointer; the array never owns what it points to
};

class GrowArray {
 public:
  // In ByPointer mode the size argument is ignored: an entry is one pointer.
  GrowArray(GrowArrayMode mode, UINT entrySize);
  ~GrowArray();
  GrowArray(const GrowArray&) = delete;
  GrowArray& operator=(const GrowArray&) = delete;

  // Appends a copy of entrySize bytes at item (ByValue) or the pointer item itself
  // (ByPointer). E_FAIL when entrySize is 0, E_OUTOFMEMORY when the larger block
  // cannot be had; the array is unchanged on failure.
  HRESULT Add(void* item);
  // ByPointer: the stored pointer. ByValue: the entry's address, valid until an Add
  // grows the array. Null for an index at or past Count.
  void* At(UINT index) const;
  // First-match search: pointer identity (ByPointer) or equal bytes (ByValue).
  bool Contains(const void* item) const;
  UINT Count() const { return count; }
  // Empties the array but keeps its block, so refilling allocates nothing.
  void Clear() { count = 0; }

  UINT Capacity() const { return capacity; }
  UINT EntrySize() const { return entrySize; }
  GrowArrayMode Mode() const { return mode; }

 private:
  HRESULT Grow();
  BYTE* EntryAddress(UINT index) const;

  GrowArrayMode mode;
  BYTE* storage = nullptr;  // null exactly while capacity is 0
  UINT entrySize;
  UINT count = 0;
  UINT capacity = 0;
};

// Typed reads for the owners and readers of the arrays; index must be below Count.
template <class T>
T* PointerAt(const GrowArray& array, UINT index) {
  return static_cast<T*>(array.At(index));
}

template <class T>
T ValueAt(const GrowArray& array, UINT index) {
  return *static_cast<const T*>(array.At(index));
}

// Deletes every record a ByPointer array points to; the array itself stays as it is.
template <class T>
void DeletePointees(const GrowArray& array) {
  for (UINT i = 0; i < array.Count(); i++) delete PointerAt<T>(array, i);
}
