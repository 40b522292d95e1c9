// The camera path format: views written and read back as the same floats, the writer's
// temporary file renamed into place only when finished, and the limits a hand-edited
// file meets (comments, blank lines, CR LF, the frame ceiling).
#include "camera_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

bool SameView(const CameraView& a, const CameraView& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(CameraPath, ViewsReadBackAsTheSameFloatsThroughTheWriter) {
  testsupport::ScratchDir dir("camera-path");
  std::vector<CameraView> written;
  for (int i = 0; i < 50; ++i) {
    float t = float(i) * 0.7373f + 1e-7f;
    // A unit quaternion whose components have all their digits.
    D3DXQUATERNION q(std::sin(t) * 0.6f, std::cos(t) * 0.6f, 0.0f, 0.8f);
    written.push_back({t * 123.456f, q, {-t / 3.0f, t * 1e-5f, 987654.25f}, std::sin(t) * 34.9f, -3.0f});
  }
  std::string path = dir / "steered.path";
  CameraPathWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(path.c_str(), error)) << error;
  for (const CameraView& view : written) writer.Append(view);
  EXPECT_FALSE(fs::exists(path)) << "nothing under the name before it is finished";
  ASSERT_TRUE(writer.Finish(error)) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "no temporary left";

  std::vector<CameraView> read;
  ASSERT_TRUE(ReadCameraPath(path.c_str(), read, error)) << error;
  ASSERT_EQ(read.size(), written.size());
  for (size_t i = 0; i < read.size(); ++i) EXPECT_TRUE(SameView(read[i], written[i])) << "frame " << i + 1;
}

TEST(CameraPath, AnUnfinishedWriterLeavesNothingBehind) {
  testsupport::ScratchDir dir("camera-path");
  std::string error;
  {
    CameraPathWriter writer;
    ASSERT_TRUE(writer.Open((dir / "never.path").c_str(), error)) << error;
    writer.Append(CameraView{});
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(CameraPath, AHandEditedFileWithCommentsBlankLinesAndCrLfIsRead) {
  std::vector<CameraView> views;
  std::string error;
  ASSERT_TRUE(ParseCameraPath("vesk-camera-path 1\r\n# my edit\r\n\r\n  1.5\t0 0 0 1  0 0 0  2 -3 \r\n"
                              "-1 0 0.6 0 0.8 0.25 -0.5 1 0 3",
                              views, error))
      << error;
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[0].spinAngle, 1.5f);
  EXPECT_EQ(views[0].eyeY, 2.0f);
  EXPECT_EQ(views[1].orientation.y, 0.6f);
  EXPECT_EQ(views[1].pan.y, -0.5f);
  EXPECT_EQ(views[1].eyeZ, 3.0f);
}

TEST(CameraPath, EachLimitIsALineAndAReason) {
  struct Case {
    std::string text, error;
  };
  const std::string header = "vesk-camera-path 1\n";
  for (const Case& bad : {
           Case{"", "line 1: the file is empty, not a camera path"},
           Case{header, "line 1: the path ends before its first frame"},
           Case{header + "0 0 0 0 1 0 0 0 0 -3 7\n", "line 2: a frame is 10 numbers (spin, orientation x y z w, "
                                                     "pan x y z, eye y z), this line has more"},
           Case{header + "0 0 0 0 1 0 0 0 0\n", "line 2: a frame is 10 numbers (spin, orientation x y z w, "
                                                "pan x y z, eye y z), this line has 9"},
           Case{header + "0 0 0 0 1 0 0 0 0 0\n", "line 2: the eye z must be at least 0.01 away from 0"},
           Case{header + "0 0 0 0 1 0 0 0 1001 -3\n", "line 2: the eye must lie within -1000 to 1000"},
           Case{header + "2e6 0 0 0 1 0 0 0 0 -3\n", "line 2: the spin and the pan must lie within -1e6 to 1e6"},
           Case{header + "inf 0 0 0 1 0 0 0 0 -3\n", "line 2: 'inf' is not a finite number"},
           Case{header + "0x10 0 0 0 1 0 0 0 0 -3\n", "line 2: '0x10' is not a number"},
           Case{header + std::string(2000, ' ') + "\n", "line 2: longer than 1024 bytes"},
       }) {
    std::vector<CameraView> views(3);
    std::string error;
    EXPECT_FALSE(ParseCameraPath(bad.text, views, error)) << bad.error;
    EXPECT_EQ(error, bad.error);
    EXPECT_TRUE(views.empty()) << "nothing half read";
  }
  std::ostringstream full;
  full << "vesk-camera-path 1\n";
  for (size_t i = 0; i < kMaxCameraPathFrames; ++i) full << "0 0 0 0 1 0 0 0 0 -3\n";
  std::vector<CameraView> views;
  std::string error;
  EXPECT_TRUE(ParseCameraPath(full.str(), views, error)) << error;
  EXPECT_EQ(views.size(), kMaxCameraPathFrames);
}

}  // namespace
