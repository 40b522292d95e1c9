// A small fork-join pool: the caller and count - 1 helper threads each run one band of
// a job and the call returns when all bands are done. Bands never share pixels.
#pragma once

#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace raster {

class BandWorkers {
 public:
  explicit BandWorkers(uint32_t count);
  ~BandWorkers();
  BandWorkers(const BandWorkers&) = delete;
  BandWorkers& operator=(const BandWorkers&) = delete;

  uint32_t count() const { return static_cast<uint32_t>(threads_.size()) + 1; }
  // Runs job(0) .. job(count - 1) concurrently.
  void Run(const std::function<void(uint32_t band)>& job);

 private:
  void Loop(uint32_t band);

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(uint32_t)>* job_ = nullptr;
  uint64_t generation_ = 0;
  uint32_t pending_ = 0;
  bool stopping_ = false;
};

}  // namespace raster
