// The replacement nothrow operator new behind FailingAllocation. Successful requests
// go to the ordinary operator new, so they pair with the ordinary operator delete.
#include "allocation_failure.h"

#include <new>

namespace {

struct Injection {
  bool armed = false;
  long failIndex = FailingAllocation::kNone;
  size_t size = 0;
  long seen = 0;
  bool failed = false;
};

Injection injection;

}  // namespace

FailingAllocation::FailingAllocation(long failIndex, size_t size) {
  injection = {true, failIndex, size, 0, false};
}

FailingAllocation::~FailingAllocation() { injection = {}; }

long FailingAllocation::Seen() const { return injection.seen; }

bool FailingAllocation::Failed() const { return injection.failed; }

void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (injection.armed && (injection.size == 0 || injection.size == size)) {
    if (injection.seen++ == injection.failIndex) {
      injection.failed = true;
      return nullptr;
    }
  }
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
