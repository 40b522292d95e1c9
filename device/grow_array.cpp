// GrowArray: block storage growing by doubling from 16 entries, with the size of the
// block checked before it is allocated so that no product of counts can wrap.
#include "grow_array.h"

#include <string.h>

#include <new>

namespace {

constexpr UINT kFirstCapacity = 16;
// A block must stay addressable by the 32-bit counts and sizes of the array.
constexpr uint64_t kMaxBlockBytes = UINT32_MAX;

}  // namespace

GrowArray::GrowArray(GrowArrayMode mode, UINT entrySize)
    : mode(mode), entrySize(mode == ByPointer ? UINT{sizeof(void*)} : entrySize) {}

GrowArray::~GrowArray() { ::operator delete(storage); }

BYTE* GrowArray::EntryAddress(UINT index) const {
  return storage + size_t{index} * entrySize;
}

HRESULT GrowArray::Grow() {
  const uint64_t newCapacity = capacity == 0 ? kFirstCapacity : uint64_t{capacity} * 2;
  if (newCapacity > kMaxBlockBytes / entrySize) return E_OUTOFMEMORY;
  const size_t bytes = static_cast<size_t>(newCapacity * entrySize);
  BYTE* block = static_cast<BYTE*>(::operator new(bytes, std::nothrow));
  if (block == nullptr) return E_OUTOFMEMORY;
  if (count > 0) memcpy(block, storage, size_t{count} * entrySize);
  ::operator delete(storage);
  storage = block;
  capacity = static_cast<UINT>(newCapacity);
  return S_OK;
}

HRESULT GrowArray::Add(void* item) {
  if (entrySize == 0) return E_FAIL;
  if (count == capacity) {
    const HRESULT grown = Grow();
    if (FAILED(grown)) return grown;
  }
  const void* source = mode == ByPointer ? static_cast<const void*>(&item) : item;
  memcpy(EntryAddress(count), source, entrySize);
  count++;
  return S_OK;
}

void* GrowArray::At(UINT index) const {
  if (index >= count) return nullptr;
  if (mode == ByValue) return EntryAddress(index);
  void* pointer;
  memcpy(&pointer, EntryAddress(index), sizeof pointer);
  return pointer;
}

bool GrowArray::Contains(const void* item) const {
  const void* wanted = mode == ByPointer ? static_cast<const void*>(&item) : item;
  for (UINT i = 0; i < count; i++) {
    if (memcmp(EntryAddress(i), wanted, entrySize) == 0) return true;
  }
  return false;
}
