// An allocator for large pixel buffers: fresh storage reads as zero without being
// written, and its pages cost nothing until first touched. Buffers of 2 MiB and more are
// mapped on their own, aligned to 2 MiB and offered transparent huge pages, so that a
// large texture costs one page fault for each 2 MiB instead of 512: for the default
// media that was most of the start-up time. Smaller buffers (and every buffer under
// AddressSanitizer, which checks heap blocks only) come from calloc.
// Elements are default-initialised (not zero-filled): a vector that grows again into
// capacity it used before holds whatever was there, so use it where every element is
// written before it is read, or where the vector is sized once.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <vector>

namespace raster {

namespace fresh {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMapLargeBuffers = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMapLargeBuffers = false;
#else
inline constexpr bool kMapLargeBuffers = true;
#endif
#else
inline constexpr bool kMapLargeBuffers = true;
#endif

inline constexpr size_t kHugePage = size_t{2} << 20;

inline bool Mapped(size_t bytes) { return kMapLargeBuffers && bytes >= kHugePage; }
inline size_t MappedLength(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// Zeroed memory of `bytes`, or null. Mapped buffers start at a 2 MiB boundary: the
// mapping is made one huge page longer and trimmed at both ends.
inline void* Allocate(size_t bytes) {
  if (!Mapped(bytes)) return calloc(bytes, 1);
  if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
  size_t length = MappedLength(bytes);
  void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  uintptr_t start = (reinterpret_cast<uintptr_t>(raw) + kHugePage - 1) & ~(kHugePage - 1);
  size_t head = start - reinterpret_cast<uintptr_t>(raw);
  if (head) munmap(raw, head);
  if (head != kHugePage) munmap(reinterpret_cast<void*>(start + length), kHugePage - head);
  madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);  // advice only: fine if refused
  return reinterpret_cast<void*>(start);
}

inline void Free(void* memory, size_t bytes) {
  if (Mapped(bytes)) {
    munmap(memory, MappedLength(bytes));
  } else {
    free(memory);
  }
}

}  // namespace fresh

template <typename T>
struct FreshAllocator {
  using value_type = T;
  FreshAllocator() = default;
  template <typename U>
  FreshAllocator(const FreshAllocator<U>&) {}
  T* allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* memory = fresh::Allocate(count * sizeof(T));
    if (!memory) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, size_t count) { fresh::Free(memory, count * sizeof(T)); }
  // Value-initialisation (resize, the size constructor) leaves the calloc'ed zeros alone.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
  }
  template <typename U>
  bool operator==(const FreshAllocator<U>&) const { return true; }
};

template <typename T>
using FreshVector = std::vector<T, FreshAllocator<T>>;

}  // namespace raster
