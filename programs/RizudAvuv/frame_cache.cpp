// A least-recently-used list: few entries, so a linear search beats a map.
#include "frame_cache.h"

#include <algorithm>

namespace editor {

FrameCache::FrameCache(std::unique_ptr<movie::MovieReader> reader, size_t capacity)
    : reader_(std::move(reader)), capacity_(std::max<size_t>(capacity, 1)) {}

const movie::Frame* FrameCache::Get(int64_t index, std::string* error) {
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [index](const Entry& entry) { return entry.index == index; });
  if (found != entries_.end()) {
    entries_.splice(entries_.begin(), entries_, found);
    return &entries_.front().frame;
  }
  Entry entry{index, {}};
  // The oldest entry's buffer is reused for the new frame.
  if (entries_.size() >= capacity_) {
    entry.frame = std::move(entries_.back().frame);
    entries_.pop_back();
  }
  if (!reader_->ReadFrame(index, &entry.frame, error)) return nullptr;
  entries_.push_front(std::move(entry));
  return &entries_.front().frame;
}

bool FrameCache::ReadUncached(int64_t index, movie::Frame* out, std::string* error) {
  return reader_->ReadFrame(index, out, error);
}

}  // namespace editor
