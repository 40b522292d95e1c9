// The media search: a path that opens, a last component in the current directory, the
// registry's samples path, and the bounds of every buffer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kernel_test_support.h"
#include "media_search.h"
#include "scene_test_support.h"

namespace {

namespace fs = std::filesystem;

class MediaSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories("sdk/Media");
    fs::create_directories("config/vesk");
  }
  void Register(const std::string& samplesPath) {
    scenetest::WriteFile("config/vesk/registry.ini",
                         "[HKEY_LOCAL_MACHINE\\Software\\Graphics SDK]\nSamples Path=" + samplesPath + "\n");
  }
  scenetest::TemporaryDirectory directory_;
  kernel_test::ScopedEnv config_{"XDG_CONFIG_HOME", (directory_.path() + "/config").c_str()};
  char buffer_[260] = {};
};

TEST_F(MediaSearchTest, ANameThatOpensYieldsItsFullPath) {
  scenetest::WriteFile("here.png", "x");
  EXPECT_EQ(FindMediaFile(buffer_, sizeof buffer_, "here.png"), S_OK);
  EXPECT_EQ(std::string(buffer_), directory_.path() + "/here.png");
}

TEST_F(MediaSearchTest, AMissingDirectoryFallsBackToTheLastComponentHere) {
  scenetest::WriteFile("leaf.x", "x");
  EXPECT_EQ(FindMediaFile(buffer_, sizeof buffer_, "no\\such\\dir\\leaf.x"), S_OK);
  EXPECT_EQ(std::string(buffer_), "leaf.x");
}

TEST_F(MediaSearchTest, TheSamplesPathFromTheRegistryIsSearchedLast) {
  Register(directory_.path() + "/sdk");
  scenetest::WriteFile("sdk/Media/far.jpg", "x");
  EXPECT_EQ(FindMediaFile(buffer_, sizeof buffer_, "far.jpg"), S_OK);
  EXPECT_EQ(std::string(buffer_), directory_.path() + "/sdk\\Media\\far.jpg");
  Register(directory_.path() + "/sdk\\");
  EXPECT_EQ(GetSdkMediaPath(buffer_, sizeof buffer_), S_OK);
  EXPECT_EQ(std::string(buffer_), directory_.path() + "/sdk\\\\Media\\") << "a trailing backslash doubles";
}

TEST_F(MediaSearchTest, NotFoundLeavesTheNameAsPassed) {
  Register(directory_.path() + "/sdk");
  EXPECT_EQ(FindMediaFile(buffer_, sizeof buffer_, "sub\\nowhere.png"), HRESULT(0x80070002));
  EXPECT_EQ(std::string(buffer_), "sub\\nowhere.png");
}

TEST_F(MediaSearchTest, BuffersAreBounded) {
  EXPECT_EQ(FindMediaFile(nullptr, 260, "a"), E_INVALIDARG);
  EXPECT_EQ(FindMediaFile(buffer_, 0, "a"), E_INVALIDARG);
  EXPECT_EQ(FindMediaFile(buffer_, 8, "a.png"), E_FAIL) << "the full path does not fit";
  char small[4];
  EXPECT_EQ(CopyStringBounded(small, "abcdef", sizeof small), S_OK);
  EXPECT_EQ(std::string(small), "abc");
  EXPECT_EQ(CopyStringBounded(small, nullptr, sizeof small), E_INVALIDARG);
  Register(std::string(253, 'p'));
  EXPECT_EQ(GetSdkMediaPath(buffer_, sizeof buffer_), E_INVALIDARG) << "no room for \\Media\\";
}

}  // namespace
