// Decoded frames of the opened movie, on demand: the few most recently shown are kept,
// so that stepping back and forth does not decode again, and a long movie never sits
// in memory whole.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "movie_reader.h"

namespace editor {

class FrameCache {
 public:
  FrameCache(std::unique_ptr<movie::MovieReader> reader, size_t capacity);

  const movie::MovieInfo& Info() const { return reader_->Info(); }
  // The source frame, or null with *error set. The pointer stays valid until the next
  // call.
  const movie::Frame* Get(int64_t index, std::string* error);
  // Decodes without keeping the frame (saving streams through every frame once).
  bool ReadUncached(int64_t index, movie::Frame* out, std::string* error);
  size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    int64_t index;
    movie::Frame frame;
  };
  std::unique_ptr<movie::MovieReader> reader_;
  size_t capacity_;
  std::list<Entry> entries_;  // most recently used first
};

}  // namespace editor
