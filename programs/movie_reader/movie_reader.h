// The one movie reader of the after-recording programs: opens an AVI through
// libavformat, says what it holds and hands out its frames as 8-bit RGB, by index.
// Opening reads the headers and the index only (libavformat indexes a movie that has
// none, such as one whose writer was stopped, by walking its chunks); when the index
// holds fewer frames than the headers, one pass over the packets counts them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace movie {

// One decoded picture: 8-bit RGB, rows top to bottom, no padding (width * 3 bytes a row).
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

struct MovieInfo {
  int width = 0;
  int height = 0;
  int rateNum = 0;  // frames per second = rateNum / rateDen
  int rateDen = 1;
  int64_t frameCount = 0;  // frames actually readable (an index-less or cut movie: counted)
  bool truncated = false;  // the file ends before what its headers promise
};

// Largest picture the reader accepts, checked before anything is allocated for it.
inline constexpr int kMaxSide = 16384;
inline constexpr int64_t kMaxPixels = int64_t{1} << 28;

class MovieReader {
 public:
  // Null with *error set ("not an AVI file", "no video stream", "size 0x0", ...).
  static std::unique_ptr<MovieReader> Open(const std::string& path, std::string* error);
  ~MovieReader();
  MovieReader(const MovieReader&) = delete;
  MovieReader& operator=(const MovieReader&) = delete;

  const MovieInfo& Info() const;
  // Random access by 0-based index; sequential reads go on from the last one without
  // seeking. Frames are numbered by their timestamps where every frame is a key frame
  // at the next timestamp (the program's own movies); otherwise (B-frames, gaps in the
  // timestamps) in the order the decoder hands them out, and going back reads again
  // from the first frame.
  bool ReadFrame(int64_t index, Frame* out, std::string* error);

  struct State;

 private:
  explicit MovieReader(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace movie
