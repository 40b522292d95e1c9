// CaptureFrame on a real headless device: the writer's calls and modes, the frame
// files on disk, the messages of each failure in their order, and `finished`.
#include <gtest/gtest.h>

#include <errno.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include "device_test_support.h"
#include "frame_capture.h"
#include "movie_output.h"
#include "win32ext.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct WriterCall {
  int32_t mode;
  std::string image;
  bool imageOnDisk;
  std::string movie;
  uint32_t rate, scale;
};

std::vector<WriterCall> calls;
int32_t startResult = 1;
size_t failingCall = 0;  // the call (from 1) that fails with ENOSPC; 0: none

int32_t RecordingWriter(int32_t mode, MovieWriterParams params) {
  const char* image = params.imageFile ? params.imageFile : "";
  calls.push_back({mode, image, fs::exists(win32ext::ToSystemPath(image).value_or("")),
                   mode == kMovieStart ? params.movieFile : "", params.rate, params.scale});
  if (calls.size() == failingCall) {
    errno = ENOSPC;
    return 0;
  }
  return mode == kMovieStart ? startResult : 1;
}

class FrameCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test_.created, D3D_OK);
    calls.clear();
    startResult = 1;
    failingCall = 0;
    boxes_.clear();
    win32ext::SetMessageBoxHook([this](const win32ext::MessageBoxRecord& box) {
      boxes_.push_back(box.text);
      return IDOK;
    });
    capture_.device = test_.device;
    test_.direct3d->GetAdapterDisplayMode(0, &capture_.displayMode);
    ASSERT_EQ(test_.device->CreateOffscreenPlainSurface(capture_.displayMode.Width, capture_.displayMode.Height,
                                                        D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &capture_.surface,
                                                        nullptr),
              D3D_OK);
    GetWindowRect(test_.window, &capture_.sourceRect);
    capture_.SetOutputPath("out\\movie.avi");
    capture_.bmpfileToAvifile = RecordingWriter;
    capture_.frameNumber = 1;
  }
  void TearDown() override {
    win32ext::SetMessageBoxHook({});
    capture_.surface->Release();
    if (capture_.scaledSurface) capture_.scaledSurface->Release();
  }

  // Runs the loop's part: present, then capture, until capture says stop.
  int Record() {
    int frames = 0;
    do {
      test_.device->Present(nullptr, nullptr, nullptr, nullptr);
      ++frames;
    } while (capture_.CaptureFrame() && frames < 5000);
    return frames;
  }

  std::vector<std::string> FramesOnDisk() {
    std::vector<std::string> names;
    if (fs::exists("BMP"))
      for (const auto& entry : fs::directory_iterator("BMP")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  testsupport::TestDevice test_;
  FrameCapture capture_;
  testsupport::ScratchDir directory_{"vesk-capture"};
  testsupport::ScopedCwd cwd_{directory_.path()};
  std::vector<std::string> boxes_;
};

TEST_F(FrameCaptureTest, OneFrameRecordingStartsAndFinishesWithTwoFrames) {
  capture_.frameCount = 1;
  EXPECT_EQ(Record(), 2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].mode, kMovieStart);
  EXPECT_EQ(calls[0].movie, "out\\movie.avi");
  EXPECT_EQ(calls[0].rate, 1000000u);
  EXPECT_EQ(calls[0].scale, 100000u);
  EXPECT_EQ(calls[0].image, "BMP\\Vesk001.bmp");
  EXPECT_TRUE(calls[0].imageOnDisk);
  EXPECT_EQ(calls[1].mode, kMovieFinish);
  EXPECT_EQ(calls[1].image, "BMP\\Vesk002.bmp");
  EXPECT_TRUE(capture_.finished);
  EXPECT_EQ(capture_.frameNumber, 2) << "the last frame does not move the number";
  EXPECT_EQ(FramesOnDisk(), std::vector<std::string>{"Vesk002.bmp"});
  EXPECT_TRUE(fs::is_directory("AVI"));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FrameCaptureTest, ThreeFramesUseEachModeAndLeaveOnlyTheLastFile) {
  capture_.frameCount = 3;
  EXPECT_EQ(Record(), 3);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].mode, kMovieStart);
  EXPECT_EQ(calls[1].mode, kMovieAppend);
  EXPECT_EQ(calls[2].mode, kMovieFinish);
  EXPECT_EQ(FramesOnDisk(), std::vector<std::string>{"Vesk003.bmp"});
  EXPECT_EQ(fs::file_size("BMP/Vesk003.bmp"), 54u + 64 * 48 * 4 + 2) << "the window's area, 32 bits a pixel";
}

TEST_F(FrameCaptureTest, FrameNumbersFromOneThousandHaveFourDigits) {
  capture_.frameCount = 1001;
  capture_.frameNumber = 999;
  capture_.bmpfileToAvifile = RecordingWriter;
  // Frame 999 is not the first, so it appends; then 1000 appends and 1001 finishes.
  EXPECT_EQ(Record(), 3);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].image, "BMP\\Vesk999.bmp");
  EXPECT_EQ(calls[1].image, "BMP\\Vesk1000.bmp");
  EXPECT_EQ(calls[2].image, "BMP\\Vesk1001.bmp");
  EXPECT_EQ(FramesOnDisk(), std::vector<std::string>{"Vesk1001.bmp"});
}

TEST_F(FrameCaptureTest, UnreadableFrontBufferShowsBothMessagesAndStops) {
  capture_.surface->Release();
  test_.device->CreateOffscreenPlainSurface(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &capture_.surface, nullptr);
  capture_.frameCount = 3;
  EXPECT_EQ(Record(), 1);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"GetFrontBufferData fail", "GrabImage fail."}));
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(capture_.finished);
}

TEST_F(FrameCaptureTest, UnwritableFrameFileShowsBothMessagesAndStops) {
  std::ofstream("BMP") << "a file where the directory should be";
  capture_.frameCount = 3;
  EXPECT_EQ(Record(), 1);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"D3DXSaveSurfaceToFile", "GrabImage fail."}));
  EXPECT_FALSE(capture_.finished);
}

TEST_F(FrameCaptureTest, WriterRefusingTheFirstFrameStopsAndKeepsItsFile) {
  startResult = 0;
  capture_.frameCount = 3;
  EXPECT_EQ(Record(), 1);
  EXPECT_EQ(boxes_, std::vector<std::string>{"\x8D\xEC\x90\xAC\x8E\xB8\x94\x73"});  // 作成失敗
  EXPECT_EQ(FramesOnDisk(), std::vector<std::string>{"Vesk001.bmp"});
  EXPECT_FALSE(capture_.finished);
}

// A frame the writer cannot add ends the recording: the movie is finished without it,
// the frame's file stays, and the recording is not complete.
TEST_F(FrameCaptureTest, WriterFailingOnALaterFrameFinishesTheMovieAndStops) {
  for (size_t failing : {size_t(3), size_t(4)}) {  // an append, then the last frame
    calls.clear();
    boxes_.clear();
    fs::remove_all("BMP");
    failingCall = failing;
    capture_.frameNumber = 1;
    capture_.frameCount = 4;
    EXPECT_EQ(Record(), int(failing));
    EXPECT_EQ(boxes_, std::vector<std::string>{"\x8F\x91\x8D\x9E\x8E\xB8\x94\x73"});  // 書込失敗
    EXPECT_FALSE(capture_.finished);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].mode, kMovieFinish);
    EXPECT_EQ(calls[3].image, failing == 3 ? "" : "BMP\\Vesk004.bmp") << "finished without the failed frame";
    EXPECT_EQ(FramesOnDisk(), std::vector<std::string>{"Vesk00" + std::to_string(failing) + ".bmp"});
  }
}

TEST_F(FrameCaptureTest, RealWriterMakesAMovieOfEveryFrameHandedOver) {
  ASSERT_TRUE(LoadMovieWriter(capture_));
  capture_.frameCount = 4;
  capture_.SetOutputPath("movie.avi");
  EXPECT_EQ(Record(), 4);
  EXPECT_TRUE(capture_.finished);
  std::string probe = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                      "stream=nb_read_frames,width,height,r_frame_rate -of csv=p=0 movie.avi > probe.txt";
  ASSERT_EQ(std::system(probe.c_str()), 0);
  std::ifstream in("probe.txt");
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "64,48,10/1,4");
}

// Pixel (x, y) of a 32-bit bottom-up BMP file, 0xAARRGGBB.
uint32_t BmpPixel(const std::string& file, int width, int height, int x, int y) {
  std::ifstream in(file, std::ios::binary);
  in.seekg(54 + (std::streamoff(height - 1 - y) * width + x) * 4);
  uint8_t bgra[4] = {};
  in.read(reinterpret_cast<char*>(bgra), 4);
  return uint32_t(bgra[3]) << 24 | uint32_t(bgra[2]) << 16 | uint32_t(bgra[1]) << 8 | bgra[0];
}

// A window twice its first size (as full screen makes it) shows the back buffer
// stretched over it: the frame is the whole picture at the recording's size, not its
// top-left part.
TEST_F(FrameCaptureTest, AWindowOfAnotherSizeIsScaledIntoTheRecordingsSize) {
  capture_.window = test_.window;
  RECT first = capture_.sourceRect;
  SetWindowPos(test_.window, nullptr, first.left, first.top, 128, 96, SWP_NOZORDER);
  D3DRECT right{32, 0, 64, 48};
  test_.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
  test_.device->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
  capture_.frameCount = 1;
  test_.device->Present(nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(capture_.GrabImage("frame.bmp"));
  ASSERT_EQ(fs::file_size("frame.bmp"), 54u + 64 * 48 * 4 + 2) << "the recording's size";
  for (int y : {0, 24, 47}) {
    EXPECT_EQ(BmpPixel("frame.bmp", 64, 48, 2, y) & 0xFFFFFF, 0xFF0000u) << "row " << y;
    EXPECT_EQ(BmpPixel("frame.bmp", 64, 48, 61, y) & 0xFFFFFF, 0x0000FFu) << "row " << y;
  }
  EXPECT_TRUE(boxes_.empty());

  // Back at its first size the window's area is saved as it is, pixel for pixel.
  SetWindowPos(test_.window, nullptr, first.left, first.top, 64, 48, SWP_NOZORDER);
  test_.device->Present(nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(capture_.GrabImage("again.bmp"));
  EXPECT_EQ(BmpPixel("again.bmp", 64, 48, 31, 10) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(BmpPixel("again.bmp", 64, 48, 32, 10) & 0xFFFFFF, 0x0000FFu);
}

TEST(FrameCaptureOutputPath, LongerPathsAreRefusedNotCut) {
  FrameCapture capture;
  EXPECT_TRUE(capture.SetOutputPath(std::string(134, 'a').c_str()));
  EXPECT_EQ(std::string(capture.outputPath), std::string(134, 'a'));
  EXPECT_FALSE(capture.SetOutputPath(std::string(135, 'b').c_str()));
  EXPECT_EQ(std::string(capture.outputPath), std::string(134, 'a')) << "left as it was";
}

}  // namespace
