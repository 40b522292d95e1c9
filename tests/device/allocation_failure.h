// Fault injection for the nothrow allocations of the code under test: this test
// program replaces the nothrow operator new so that one chosen allocation, counted
// from the moment a FailingAllocation is set up, returns null.
#pragma once

#include <stddef.h>

class FailingAllocation {
 public:
  static constexpr long kNone = -1;

  // Fails the failIndex-th nothrow allocation (0 is the first) whose size is size, or
  // of any size when size is 0; kNone fails nothing and only counts.
  explicit FailingAllocation(long failIndex, size_t size = 0);
  ~FailingAllocation();
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;

  long Seen() const;     // matching nothrow allocations asked for so far
  bool Failed() const;   // whether the chosen one was refused
};
