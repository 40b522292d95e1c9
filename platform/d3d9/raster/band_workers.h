// A small fork-join pool: the caller and count - 1 helper threads each run one band of
// a job and the call returns when all bands are done. Bands never share pixels.
#pragma once

#include <stdint.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace raster {

// A callable taken by reference for the length of one Run, without the allocation a
// std::function of a large lambda makes on every draw.
class BandJob {
 public:
  template <class Job>
    requires(!std::is_same_v<Job, BandJob>)
  BandJob(const Job& job)  // converts from any callable, like std::function
      : object_(&job), call_([](const void* object, uint32_t band) { (*static_cast<const Job*>(object))(band); }) {}
  void operator()(uint32_t band) const { call_(object_, band); }

 private:
  const void* object_;
  void (*call_)(const void*, uint32_t);
};

class BandWorkers {
 public:
  explicit BandWorkers(uint32_t count);
  ~BandWorkers();
  BandWorkers(const BandWorkers&) = delete;
  BandWorkers& operator=(const BandWorkers&) = delete;

  uint32_t count() const { return static_cast<uint32_t>(threads_.size()) + 1; }
  // Runs job(0) .. job(count - 1) concurrently.
  void Run(BandJob job);

 private:
  void Loop(uint32_t band);

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const BandJob* job_ = nullptr;
  uint64_t generation_ = 0;
  uint32_t pending_ = 0;
  bool stopping_ = false;
};

}  // namespace raster
