// The movie writer's interface (libAVI2.so, loaded by the program as "AVI2.dll"):
// the parameter record and the two C entry points. The program and the library share
// this header; the record's layout is pinned for 64-bit builds below.
#pragma once

#include <cstddef>
#include <cstdint>

// Modes of both entry points.
enum MovieWriterMode : int32_t {
  kMovieStart = 0,   // start the movie from this frame; its size fixes the stream
  kMovieAppend = 1,  // append this frame as the next one
  kMovieFinish = 2,  // append this frame as the last one and finish the movie
};

// Passed by value. Paths are CP932 text; '\' and '/' both separate components.
// BmpfileToAvifile reads movieFile, rate and scale in mode 0 and imageFile in every
// mode; MemoryToAvifile reads the same, with imageFile holding the address of the
// frame's pixels and frameWidth, frameHeight and frameStride describing them. The
// other fields are the caller's and are left alone.
struct MovieWriterParams {
  const char* movieFile;  // the movie to write
  const char* imageFile;  // the BMP of this frame, or (memory) its first pixel
  // MemoryToAvifile only: the frame's size in pixels and the bytes from the start of
  // one row to the next. Rows run top to bottom, 3 bytes a pixel in the order B, G, R.
  uint32_t frameWidth;
  uint32_t frameHeight;
  uint32_t frameStride;
  uint32_t rate;   // frames per second = rate / scale (1000000 / 100000 = 10)
  uint32_t scale;
  uint32_t reserved28;
  uint32_t reserved32;
  uint32_t reserved36;
  uint32_t reserved40;
  uint32_t reserved44;
  uint32_t reserved48;
  uint32_t reserved52;
  uint32_t reserved56;
};

// The two file names are pointers, the thirteen 32-bit fields follow in their order;
// the fields at offsets 8, 12 and 16 of the 60-byte 32-bit record are frameWidth,
// frameHeight and frameStride, and "reservedN" is the field at offset N.
static_assert(sizeof(void*) == 8, "the record's layout is fixed for 64-bit builds");
static_assert(offsetof(MovieWriterParams, movieFile) == 0);
static_assert(offsetof(MovieWriterParams, imageFile) == 8);
static_assert(offsetof(MovieWriterParams, frameWidth) == 16);
static_assert(offsetof(MovieWriterParams, rate) == 28);
static_assert(offsetof(MovieWriterParams, scale) == 32);
static_assert(offsetof(MovieWriterParams, reserved56) == 64);
static_assert(sizeof(MovieWriterParams) == 72);

extern "C" {
// Non-zero on success, 0 on failure. A 0 from mode 0 means no movie was started; a 0
// from mode 1 or 2 means this frame was not added (the movie so far stays valid). After
// a 0, errno holds the failed system call's reason (ENOSPC for a full disk), or what it
// held before the call when the writer refused for a reason of its own. Mode 2 with a
// null imageFile finishes the movie without adding a frame. The movie file is never
// opened through a symbolic link.
int32_t BmpfileToAvifile(int32_t mode, MovieWriterParams params);
// The same for frames in memory (the program itself never calls it; the editor saves
// through it). Each entry point runs its own movie, one at a time.
int32_t MemoryToAvifile(int32_t mode, MovieWriterParams params);
}

// Function types for dlsym / GetProcAddress.
using BmpfileToAvifileFunction = int32_t (*)(int32_t, MovieWriterParams);
using MemoryToAvifileFunction = int32_t (*)(int32_t, MovieWriterParams);
