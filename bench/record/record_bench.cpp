// Per-frame cost of recording at 640x480 and 1920x1080 on the headless desktop: the
// front-buffer read, the BMP save, the movie writer's append and the BMP's deletion,
// each timed on its own over the program's real calls; and, in the same run, plain
// file I/O writing and reading back the same number of bytes, for comparison. Each size
// starts after a sync, so that no earlier writes are still being written back.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "d3dx9.h"
#include "frame_capture.h"
#include "movie_output.h"
#include "windows.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Costs {
  double grab = 0, save = 0, append = 0, remove = 0, plainWrite = 0, plainRead = 0;
  uint64_t bytesPerFrame = 0;
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

template <class Work>
void Time(double& total, Work work) {
  Clock::time_point start = Clock::now();
  work();
  total += Seconds(start);
}

// Writes `bytes` to a new file and reads them back, as the frame files are.
void PlainFileIo(uint64_t bytes, Costs& costs) {
  std::vector<char> data(bytes, 'v');
  Time(costs.plainWrite, [&] {
    int fd = open("plain.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (write(fd, data.data(), data.size()) != ssize_t(data.size())) std::abort();
    close(fd);
  });
  Time(costs.plainRead, [&] {
    int fd = open("plain.bin", O_RDONLY);
    if (read(fd, data.data(), data.size()) != ssize_t(data.size())) std::abort();
    close(fd);
  });
  unlink("plain.bin");
}

Costs Measure(int width, int height, int frames) {
  // Dirty pages of earlier work would be written back during the measurement.
  sync();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "RecordBench";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "RecordBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                nullptr, nullptr, nullptr);
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS parameters{};
  parameters.Windowed = TRUE;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.hDeviceWindow = window;
  parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  IDirect3DDevice9* device = nullptr;
  if (!direct3d || FAILED(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                                 &parameters, &device)) ||
      !LoadMovieWriter(frameCapture))
    std::exit(1);
  frameCapture.device = device;
  direct3d->GetAdapterDisplayMode(0, &frameCapture.displayMode);
  device->CreateOffscreenPlainSurface(frameCapture.displayMode.Width, frameCapture.displayMode.Height,
                                      D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &frameCapture.surface, nullptr);
  GetWindowRect(window, &frameCapture.sourceRect);
  frameCapture.SetOutputPath("bench.avi");
  CreateDirectoryA("BMP", nullptr);
  Costs costs;
  MovieWriterParams params{"bench.avi", "BMP/bench.bmp", 0, 0, 0, 1000000, 100000, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int frame = 0; frame < frames; ++frame) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(frame, 64, 128), 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    Time(costs.grab, [&] { device->GetFrontBufferData(0, frameCapture.surface); });
    Time(costs.save, [&] {
      D3DXSaveSurfaceToFileA(params.imageFile, D3DXIFF_BMP, frameCapture.surface, nullptr, &frameCapture.sourceRect);
    });
    costs.bytesPerFrame = std::filesystem::file_size("BMP/bench.bmp");
    Time(costs.append, [&] { frameCapture.bmpfileToAvifile(frame == 0 ? kMovieStart : kMovieAppend, params); });
    Time(costs.remove, [&] { DeleteFileA(params.imageFile); });
  }
  uint64_t aviBytes = std::filesystem::file_size("bench.avi") / uint64_t(frames);
  for (int frame = 0; frame < frames; ++frame) PlainFileIo(costs.bytesPerFrame + aviBytes, costs);
  frameCapture.surface->Release();
  frameCapture.surface = nullptr;
  device->Release();
  direct3d->Release();
  DestroyWindow(window);
  std::filesystem::remove("bench.avi");
  return costs;
}

void Report(int width, int height, int frames, const Costs& c) {
  auto ms = [&](double total) { return total * 1000.0 / frames; };
  double recording = ms(c.save) + ms(c.append) + ms(c.remove);
  double plain = ms(c.plainWrite) + ms(c.plainRead);
  std::printf("%dx%d window on the 1920x1080 headless desktop, %d frames, BMP of %llu bytes per frame:\n", width,
              height, frames, static_cast<unsigned long long>(c.bytesPerFrame));
  std::printf("  front-buffer read %.3f ms, BMP save %.3f ms, writer append %.3f ms, BMP delete %.3f ms per frame\n",
              ms(c.grab), ms(c.save), ms(c.append), ms(c.remove));
  std::printf("  plain write %.3f ms + read %.3f ms of the same bytes per frame\n", ms(c.plainWrite),
              ms(c.plainRead));
  std::printf("  save + append + delete = %.3f ms, plain I/O = %.3f ms, ratio %.2f\n", recording, plain,
              recording / plain);
  std::printf("  whole per-frame path (read + save + append + delete) = %.3f ms, ratio %.2f\n",
              ms(c.grab) + recording, (ms(c.grab) + recording) / plain);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("VESK_HEADLESS", "1", 1);
  int frames = argc > 1 ? std::atoi(argv[1]) : 30;
  std::string directory = std::filesystem::temp_directory_path() / "vesk-record-bench";
  std::filesystem::create_directories(directory);
  std::filesystem::current_path(directory);
  for (auto [width, height] : {std::pair{640, 480}, std::pair{1920, 1080}}) Report(width, height, frames, Measure(width, height, frames));
  std::filesystem::current_path("/");
  std::filesystem::remove_all(directory);
  return 0;
}
