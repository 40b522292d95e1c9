// GrowArray: growth from 16 by doubling, Contains in both modes, Clear keeping the
// block, the zero entry size, refused and failed allocations, and At past Count.
#include "grow_array.h"

#include <gtest/gtest.h>
#include <stdint.h>

#include "allocation_failure.h"

namespace {

void AddValues(GrowArray& array, DWORD first, DWORD count) {
  for (DWORD value = first; value < first + count; value++) {
    ASSERT_EQ(array.Add(&value), S_OK);
  }
}

void ExpectValues(const GrowArray& array, DWORD count) {
  ASSERT_EQ(array.Count(), count);
  for (DWORD i = 0; i < count; i++) EXPECT_EQ(ValueAt<DWORD>(array, i), i) << "entry " << i;
}

struct GrowthCase {
  DWORD adds;
  UINT capacity;
};

class GrowArrayGrowth : public testing::TestWithParam<GrowthCase> {};

TEST_P(GrowArrayGrowth, CapacityDoublesFromSixteenAndKeepsEntriesInOrder) {
  GrowArray array(ByValue, sizeof(DWORD));
  AddValues(array, 0, GetParam().adds);
  EXPECT_EQ(array.Capacity(), GetParam().capacity);
  ExpectValues(array, GetParam().adds);
}

INSTANTIATE_TEST_SUITE_P(Adds, GrowArrayGrowth,
                         testing::Values(GrowthCase{0, 0}, GrowthCase{1, 16},
                                         GrowthCase{16, 16}, GrowthCase{17, 32},
                                         GrowthCase{32, 32}, GrowthCase{33, 64},
                                         GrowthCase{129, 256}));

TEST(GrowArray, FirstAddIsTheOnlyAllocationForSixteenEntries) {
  GrowArray array(ByValue, sizeof(DWORD));
  FailingAllocation counter(FailingAllocation::kNone);
  AddValues(array, 0, 16);
  EXPECT_EQ(counter.Seen(), 1);
  AddValues(array, 16, 1);
  EXPECT_EQ(counter.Seen(), 2);
}

TEST(GrowArray, ConstructionAllocatesNothing) {
  FailingAllocation counter(FailingAllocation::kNone);
  GrowArray byValue(ByValue, 16);
  GrowArray byPointer(ByPointer, 0);
  EXPECT_EQ(counter.Seen(), 0);
  EXPECT_EQ(byValue.Count(), 0u);
  EXPECT_EQ(byValue.Capacity(), 0u);
}

TEST(GrowArray, ContainsOnEmptyArrayIsFalseInBothModes) {
  GrowArray byValue(ByValue, sizeof(DWORD));
  GrowArray byPointer(ByPointer, 0);
  DWORD zero = 0;
  EXPECT_FALSE(byValue.Contains(&zero));
  EXPECT_FALSE(byPointer.Contains(&zero));
  EXPECT_FALSE(byPointer.Contains(nullptr));
}

TEST(GrowArray, ByPointerComparesIdentityNotContents) {
  GrowArray array(ByPointer, 0);
  DWORD first = 7;
  DWORD twin = 7;
  ASSERT_EQ(array.Add(&first), S_OK);
  EXPECT_TRUE(array.Contains(&first));
  EXPECT_FALSE(array.Contains(&twin));
  EXPECT_EQ(array.At(0), &first);
}

TEST(GrowArray, ByValueFindsAnAddedFormatAndNotAnother) {
  GrowArray array(ByValue, 4);
  for (uint32_t format : {22u, 24u, 23u}) ASSERT_EQ(array.Add(&format), S_OK);
  uint32_t present = 24;
  uint32_t absent = 35;
  EXPECT_TRUE(array.Contains(&present));
  EXPECT_FALSE(array.Contains(&absent));
}

TEST(GrowArray, ByValueComparesEveryByteOfTheEntry) {
  struct Pair {
    uint32_t first;
    uint32_t second;
  };
  GrowArray array(ByValue, sizeof(Pair));
  Pair stored{80, 4};
  ASSERT_EQ(array.Add(&stored), S_OK);
  Pair sameFirstHalf{80, 2};
  Pair same{80, 4};
  EXPECT_FALSE(array.Contains(&sameFirstHalf));
  EXPECT_TRUE(array.Contains(&same));
}

TEST(GrowArray, ByValueKeepsACopy) {
  GrowArray array(ByValue, sizeof(DWORD));
  DWORD value = 5;
  ASSERT_EQ(array.Add(&value), S_OK);
  value = 6;
  EXPECT_EQ(ValueAt<DWORD>(array, 0), 5u);
}

TEST(GrowArray, ClearEmptiesAndRefillsWithoutAllocating) {
  GrowArray array(ByValue, sizeof(DWORD));
  AddValues(array, 100, 20);
  array.Clear();
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(array.Capacity(), 32u);
  uint32_t old = 100;
  EXPECT_FALSE(array.Contains(&old));
  FailingAllocation counter(FailingAllocation::kNone);
  AddValues(array, 0, 32);
  EXPECT_EQ(counter.Seen(), 0);
  ExpectValues(array, 32);
}

TEST(GrowArray, ByPointerIgnoresTheSizeArgument) {
  GrowArray array(ByPointer, 0);
  EXPECT_EQ(array.EntrySize(), sizeof(void*));
  GrowArray oddSize(ByPointer, 3);
  EXPECT_EQ(oddSize.EntrySize(), sizeof(void*));
  DWORD target = 1;
  EXPECT_EQ(array.Add(&target), S_OK);
  EXPECT_EQ(array.At(0), &target);
}

TEST(GrowArray, ByValueWithZeroSizeRefusesEveryAdd) {
  GrowArray array(ByValue, 0);
  DWORD value = 1;
  FailingAllocation counter(FailingAllocation::kNone);
  EXPECT_EQ(array.Add(&value), E_FAIL);
  EXPECT_EQ(array.Add(&value), E_FAIL);
  EXPECT_EQ(counter.Seen(), 0);
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(array.Capacity(), 0u);
}

TEST(GrowArray, FailedGrowthLeavesTheArrayAsItWas) {
  GrowArray array(ByValue, sizeof(DWORD));
  AddValues(array, 0, 16);
  DWORD extra = 16;
  {
    FailingAllocation failure(0);
    EXPECT_EQ(array.Add(&extra), E_OUTOFMEMORY);
    EXPECT_TRUE(failure.Failed());
  }
  EXPECT_EQ(array.Capacity(), 16u);
  ExpectValues(array, 16);
  EXPECT_EQ(array.Add(&extra), S_OK);
  ExpectValues(array, 17);
}

TEST(GrowArray, FailedFirstAllocationKeepsTheArrayEmpty) {
  GrowArray array(ByPointer, 0);
  FailingAllocation failure(0);
  EXPECT_EQ(array.Add(&array), E_OUTOFMEMORY);
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(array.Capacity(), 0u);
  EXPECT_EQ(array.At(0), nullptr);
}

// Sixteen entries of these sizes would not fit the 32-bit sizes of the array.
class GrowArrayOversized : public testing::TestWithParam<UINT> {};

TEST_P(GrowArrayOversized, BlockIsRefusedBeforeAnyAllocation) {
  GrowArray array(ByValue, GetParam());
  BYTE item = 0;  // never read: nothing is copied when the block is refused
  FailingAllocation counter(FailingAllocation::kNone);
  EXPECT_EQ(array.Add(&item), E_OUTOFMEMORY);
  EXPECT_EQ(counter.Seen(), 0);
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(array.Capacity(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EntrySizes, GrowArrayOversized,
                         testing::Values(0x10000000u, 0x80000000u, 0xFFFFFFFFu));

TEST(GrowArray, AtPastCountIsNullEvenWithinCapacity) {
  GrowArray byValue(ByValue, sizeof(DWORD));
  GrowArray byPointer(ByPointer, 0);
  EXPECT_EQ(byValue.At(0), nullptr);
  AddValues(byValue, 0, 3);
  ASSERT_EQ(byPointer.Add(&byValue), S_OK);
  EXPECT_NE(byValue.At(2), nullptr);
  EXPECT_EQ(byValue.At(3), nullptr);
  EXPECT_EQ(byValue.At(UINT32_MAX), nullptr);
  EXPECT_EQ(byPointer.At(1), nullptr);
}

TEST(GrowArray, ByValueEntriesAreContiguous) {
  GrowArray array(ByValue, 16);
  BYTE entries[3][16] = {{1}, {2}, {3}};
  for (auto& entry : entries) ASSERT_EQ(array.Add(entry), S_OK);
  BYTE* first = static_cast<BYTE*>(array.At(0));
  EXPECT_EQ(array.At(1), first + 16);
  EXPECT_EQ(array.At(2), first + 32);
  EXPECT_EQ(first[32], 3);
}

}  // namespace
