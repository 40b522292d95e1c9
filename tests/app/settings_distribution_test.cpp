// The entry point's hand-over of the settings record: every field reaches its
// destination converted as the program reads it, and texts are read no further than
// their fields, terminated or not.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

#include "frame_capture.h"
#include "settings_distribution.h"

namespace {

RecordingSettings Record() {
  RecordingSettings record{};
  std::strcpy(record.movieFile, "movie.avi");
  std::strcpy(record.textureFile, "earth.png");
  record.width = 320;
  record.height = 200;
  record.frameCount = 7;
  record.eyeHeight = 1;
  record.spinForward = 1;
  record.highTessellation = 1;
  std::strcpy(record.outputKinds, "non");
  return record;
}

TEST(SettingsDistribution, EveryFieldReachesItsDestinationAsTheProgramReadsIt) {
  GlobeApp app;
  RecordingSettings record = Record();
  record.eyeHeight = -1000;
  record.spinForward = -5;
  record.highTessellation = 200;
  record.chooseDevice = 3;
  ASSERT_TRUE(DistributeSettings(record, app));
  EXPECT_STREQ(frameCapture.outputPath, "movie.avi");
  EXPECT_STREQ(app.textureFile, "earth.png");
  EXPECT_EQ(frameCapture.frameCount, 7);
  EXPECT_EQ(app.creationWidth, 320);
  EXPECT_EQ(app.creationHeight, 200);
  EXPECT_STREQ(app.outputKinds, "non");
  EXPECT_EQ(app.eyeY, -1000.0f * std::bit_cast<float>(0x3D0EF7F7u)) << "below the equator plane";
  EXPECT_EQ(app.eyeZ, -3.0f);
  EXPECT_TRUE(app.spinForward) << "a negative value spins forward too";
  EXPECT_EQ(app.highTessellation, 200) << "any byte but 0 selects the fine mesh";
  EXPECT_TRUE(app.chooseDeviceAtStart);

  record.eyeHeight = 1;
  record.spinForward = 0;
  record.highTessellation = 0;
  record.chooseDevice = 0;
  ASSERT_TRUE(DistributeSettings(record, app));
  EXPECT_EQ(std::bit_cast<uint32_t>(app.eyeY), 0x3D0EF7F7u);
  EXPECT_FALSE(app.spinForward);
  EXPECT_EQ(app.highTessellation, 0);
  EXPECT_FALSE(app.chooseDeviceAtStart);
}

TEST(SettingsDistribution, UnterminatedTextsAreReadNoFurtherThanTheirFields) {
  GlobeApp app;
  RecordingSettings record = Record();
  std::memset(record.outputKinds, 'k', sizeof record.outputKinds);
  std::memset(record.textureFile, 't', sizeof record.textureFile);
  ASSERT_TRUE(DistributeSettings(record, app));
  EXPECT_EQ(std::string(app.outputKinds), std::string(18, 'k'));
  EXPECT_EQ(std::string(app.textureFile), std::string(259, 't'));

  std::memset(record.movieFile, 'm', sizeof record.movieFile);  // no terminator at all
  testing::internal::CaptureStderr();
  EXPECT_FALSE(DistributeSettings(record, app));
  std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(message, "vesk: the movie path is too long (at most 134 bytes): " + std::string(260, 'm') + "\n");
}

TEST(SettingsDistribution, TheCaptureTakesMoviePathsUpTo134Bytes) {
  GlobeApp app;
  RecordingSettings record = Record();
  std::memset(record.movieFile, 0, sizeof record.movieFile);
  std::memset(record.movieFile, 'a', 134);
  EXPECT_TRUE(DistributeSettings(record, app));
  EXPECT_EQ(std::string(frameCapture.outputPath), std::string(134, 'a'));
  record.movieFile[134] = 'a';
  EXPECT_FALSE(DistributeSettings(record, app));
  EXPECT_EQ(std::string(frameCapture.outputPath), std::string(134, 'a')) << "a refused path changes nothing";
}

TEST(SettingsDistribution, SmoothEdgesReachTheShell) {
  GlobeApp app;
  ASSERT_TRUE(DistributeSettings(Record(), app));
  EXPECT_EQ(app.antialiasSamples, 0u) << "without extras";
  RecordingExtras extras{};
  extras.size = sizeof extras;
  extras.antialias = 8;
  ASSERT_TRUE(DistributeSettings(Record(), app, extras));
  EXPECT_EQ(app.antialiasSamples, 8u);
}

TEST(SettingsDistribution, ARefusedMoviePathIsPrintedInUtf8) {
  GlobeApp app;
  RecordingSettings record = Record();
  std::memset(record.movieFile, 0, sizeof record.movieFile);
  std::string path;
  for (int i = 0; i < 70; ++i) path += "\x8B\x85";  // "球" seventy times: 140 bytes in CP932
  std::memcpy(record.movieFile, path.data(), path.size());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(DistributeSettings(record, app));
  std::string globes;
  for (int i = 0; i < 70; ++i) globes += "球";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vesk: the movie path is too long (at most 134 bytes): " + globes + "\n");
}

}  // namespace
