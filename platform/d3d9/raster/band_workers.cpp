// Helper threads wait for a new generation number, run their band, and the last one to
// finish wakes the caller.
#include "band_workers.h"

namespace raster {

BandWorkers::BandWorkers(uint32_t count) {
  for (uint32_t band = 1; band < count; ++band) threads_.emplace_back(&BandWorkers::Loop, this, band);
}

BandWorkers::~BandWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void BandWorkers::Run(BandJob job) {
  if (threads_.empty()) {
    job(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    pending_ = static_cast<uint32_t>(threads_.size());
    ++generation_;
  }
  wake_.notify_all();
  job(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return pending_ == 0; });
  job_ = nullptr;
}

void BandWorkers::Loop(uint32_t band) {
  uint64_t seen = 0;
  for (;;) {
    const BandJob* job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      job = job_;
    }
    (*job)(band);
    std::lock_guard<std::mutex> lock(mutex_);
    if (--pending_ == 0) done_.notify_one();
  }
}

}  // namespace raster
