// The pixel-buffer allocator: fresh buffers read as zero, large ones start at a huge-page
// boundary, and growing across the size where the kind of memory changes keeps the data.
#include <gtest/gtest.h>

#include <cstdint>

#include "fresh_memory.h"

namespace {

using raster::FreshVector;

bool AllZero(const FreshVector<uint32_t>& v) {
  for (uint32_t x : v)
    if (x != 0) return false;
  return true;
}

TEST(FreshMemory, SmallAndLargeBuffersStartAsZeroAndLargeOnesOnAHugePage) {
  for (size_t count : {size_t{1000}, (size_t{2} << 20) / 4, (size_t{3} << 20) / 4 + 7}) {
    FreshVector<uint32_t> v(count);
    EXPECT_TRUE(AllZero(v)) << count;
    if (raster::fresh::Mapped(count * 4)) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(v.data()) % raster::fresh::kHugePage, 0u) << count;
    }
    v.back() = 0xFFFFFFFFu;  // the last element is inside the mapping
    v.front() = 1;
  }
}

TEST(FreshMemory, GrowingPastTheMappedSizeKeepsTheValues) {
  FreshVector<uint32_t> v;
  for (uint32_t i = 0; i < (3u << 20) / 4; ++i) v.push_back(i * 2654435761u);
  bool same = true;
  for (uint32_t i = 0; i < v.size(); ++i) same = same && v[i] == i * 2654435761u;
  EXPECT_TRUE(same);
  FreshVector<uint32_t>().swap(v);
  EXPECT_EQ(v.capacity(), 0u);
}

}  // namespace
