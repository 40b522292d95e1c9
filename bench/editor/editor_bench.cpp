// The editor's cost on a long 1920x1080 movie: opening it (reader, index, edit list),
// stepping through frames as playback does, and saving a reversed edit through
// MemoryToAvifile, against plain file I/O writing the same number of bytes.
// Run: build/bin/editor_bench [FRAMES] (default 60, about 370 MB), in a scratch folder.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "avi_writer.h"
#include "edit_model.h"
#include "frame_cache.h"
#include "movie_saver.h"
#include "writer_library.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr uint32_t kFrameBytes = kWidth * kHeight * 3;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "editor_bench: %s\n", what.c_str());
  std::exit(1);
}

void WriteSource(const std::string& path, int frames) {
  std::string error;
  auto writer = avi2::AviWriter::Create(path, {kWidth, kHeight, 10, 1, kFrameBytes}, {}, &error);
  if (!writer) Die(error);
  std::vector<uint8_t> frame(kFrameBytes);
  for (int i = 0; i < frames; ++i) {
    for (size_t p = 0; p < frame.size(); p += 4096) frame[p] = static_cast<uint8_t>(i + p);
    if (!writer->AppendFrame(frame, &error)) Die(error);
  }
  if (!writer->Finish(&error)) Die(error);
}

double PlainWrite(const std::string& path, uint64_t bytes) {
  std::vector<char> chunk(kFrameBytes, 'v');
  const Clock::time_point start = Clock::now();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (uint64_t done = 0; done < bytes; done += chunk.size())
    if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) Die("write");
  fsync(fd);
  close(fd);
  return Since(start);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 60;
  if (frames < 2) Die("FRAMES must be at least 2");
  const std::string source = "editor_bench_source.avi";
  const std::string saved = "editor_bench_saved.avi";
  WriteSource(source, frames);

  Clock::time_point start = Clock::now();
  std::string error;
  auto reader = movie::MovieReader::Open(source, &error);
  if (!reader) Die(error);
  editor::FrameCache cache(std::move(reader), 4);
  editor::EditModel edit(cache.Info().frameCount, {10, 1});
  const double opening = Since(start);

  start = Clock::now();
  for (int64_t i = 0; i < edit.Count(); ++i)
    if (!cache.Get(i, &error)) Die(error);
  const double play = Since(start) / static_cast<double>(edit.Count());

  auto library = editor::WriterLibrary::Load(&error);
  if (!library) Die(error);
  edit.ReverseRange();
  start = Clock::now();
  if (!editor::SaveMovie(cache, edit, saved, *library, nullptr, &error)) Die(error);
  const int fd = open(saved.c_str(), O_RDONLY);
  fsync(fd);
  close(fd);
  const double save = Since(start);
  const double plain = PlainWrite("editor_bench_plain.bin", uint64_t{kFrameBytes} * frames);

  const double megabytes = static_cast<double>(kFrameBytes) * frames / 1e6;
  std::printf("%d frames of %dx%d (%.0f MB)\n", frames, kWidth, kHeight, megabytes);
  std::printf("open:          %8.1f ms\n", opening * 1e3);
  std::printf("frame shown:   %8.1f ms a frame, in order\n", play * 1e3);
  std::printf("save reversed: %8.2f s  (%.0f MB/s, %.1f frames/s)\n", save, megabytes / save,
              frames / save);
  std::printf("plain write:   %8.2f s  (%.0f MB/s)\n", plain, megabytes / plain);
  for (const std::string& path : {source, saved, std::string("editor_bench_plain.bin")})
    unlink(path.c_str());
  return 0;
}
