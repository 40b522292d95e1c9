// An allocator for large pixel buffers: memory comes from calloc, so fresh storage
// reads as zero without being written, and its pages cost nothing until first touched.
// Elements are default-initialised (not zero-filled): a vector that grows again into
// capacity it used before holds whatever was there, so use it where every element is
// written before it is read, or where the vector is sized once.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <new>
#include <vector>

namespace raster {

template <typename T>
struct FreshAllocator {
  using value_type = T;
  FreshAllocator() = default;
  template <typename U>
  FreshAllocator(const FreshAllocator<U>&) {}
  T* allocate(size_t count) {
    void* memory = calloc(count, sizeof(T));
    if (!memory) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, size_t) { free(memory); }
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
