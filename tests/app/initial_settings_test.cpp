// The initial choice of device settings, made from the enumeration of scripted
// adapters: which device and combination win for windowed and fullscreen use, which
// display mode is taken, and which of the two sets is in force at start.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app_shell.h"
#include "scripted_direct3d.h"

namespace {

bool SameMode(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
  return a.Width == b.Width && a.Height == b.Height && a.RefreshRate == b.RefreshRate && a.Format == b.Format;
}

// The scripted Direct3D object with a desktop mode for each adapter.
class DesktopDirect3D final : public IDirect3D9 {
 public:
  DesktopDirect3D(std::vector<AdapterScript> adapters, std::vector<D3DDISPLAYMODE> desktops)
      : script_(std::move(adapters)), desktops_(std::move(desktops)) {}

  ULONG AddRef() override { return script_.AddRef(); }
  ULONG Release() override { return script_.Release(); }
  UINT GetAdapterCount() override { return script_.GetAdapterCount(); }
  HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override {
    return script_.GetAdapterIdentifier(adapter, flags, identifier);
  }
  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    return script_.GetAdapterModeCount(adapter, format);
  }
  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override {
    return script_.EnumAdapterModes(adapter, format, mode, displayMode);
  }
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter >= desktops_.size() || !mode) return D3DERR_INVALIDCALL;
    *mode = desktops_[adapter];
    return D3D_OK;
  }
  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                          BOOL windowed) override {
    return script_.CheckDeviceType(adapter, type, adapterFormat, backBufferFormat, windowed);
  }
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
    return script_.CheckDeviceFormat(adapter, type, adapterFormat, usage, resourceType, checkFormat);
  }
  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                     D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) override {
    return script_.CheckDeviceMultiSampleType(adapter, type, surfaceFormat, windowed, multiSampleType,
                                              qualityLevels);
  }
  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                 D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override {
    return script_.CheckDepthStencilMatch(adapter, type, adapterFormat, renderTargetFormat, depthStencilFormat);
  }
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    return script_.GetDeviceCaps(adapter, type, caps);
  }
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override {
    return script_.CreateDevice(adapter, type, focusWindow, behaviorFlags, parameters, device);
  }

 private:
  ScriptedDirect3D script_;
  std::vector<D3DDISPLAYMODE> desktops_;
};

constexpr D3DFORMAT X8 = D3DFMT_X8R8G8B8;
constexpr D3DFORMAT A8 = D3DFMT_A8R8G8B8;
constexpr D3DFORMAT R5 = D3DFMT_R5G6B5;

// A device with hardware vertex processing, an immediate present interval, D16 and
// D24S8, without multisampling, accepting the given format pairs.
DeviceScript Device(D3DDEVTYPE type, std::vector<FormatPair> pairs) {
  DeviceScript device;
  device.type = type;
  device.devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  device.presentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE;
  device.formatPairs = std::move(pairs);
  device.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8};
  for (D3DFORMAT format : {X8, A8, R5, D3DFMT_D16, D3DFMT_D24S8})
    device.multisample.push_back({format, D3DMULTISAMPLE_NONE});
  return device;
}

class InitialSettings : public ::testing::Test {
 protected:
  // Enumerates the adapters as the shell's Create does, then chooses.
  HRESULT Choose(std::vector<AdapterScript> adapters, std::vector<D3DDISPLAYMODE> desktops) {
    direct3D_ = std::make_unique<DesktopDirect3D>(std::move(adapters), std::move(desktops));
    shell_.enumeration.direct3D = direct3D_.get();
    shell_.enumeration.usesDepthBuffer = true;
    EXPECT_EQ(shell_.enumeration.Enumerate(), S_OK);
    shell_.direct3D = direct3D_.get();
    shell_.clientRect = {0, 0, 320, 200};
    return shell_.ChooseInitialSettings();
  }
  void TearDown() override { shell_.direct3D = nullptr; }

  std::unique_ptr<DesktopDirect3D> direct3D_;  // outlives the shell's enumeration
  AppShell shell_;
  DeviceSettings& settings() { return shell_.settings; }
};

TEST_F(InitialSettings, AHalDeviceWithTheDesktopFormatIsChosenForBothUsesAndStartsWindowed) {
  const D3DDISPLAYMODE desktop{800, 600, 60, X8};
  AdapterScript adapter{"Scripted HAL adapter",
                        {{640, 480, 60, X8}, {800, 600, 60, X8}},
                        {},
                        {Device(D3DDEVTYPE_HAL, {{X8, A8}, {X8, X8}}), Device(D3DDEVTYPE_REF, {{X8, X8}})}};
  ASSERT_EQ(Choose({adapter}, {desktop}), S_OK);
  EXPECT_TRUE(settings().isWindowed);

  ASSERT_NE(settings().windowedCombination, nullptr);
  EXPECT_EQ(settings().windowedDevice->deviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(settings().windowedCombination->backBufferFormat, X8) << "the back buffer of the desktop's format";
  EXPECT_TRUE(settings().windowedCombination->isWindowed);
  EXPECT_TRUE(SameMode(settings().windowedDisplayMode, desktop));
  EXPECT_EQ(settings().windowedWidth, 320);
  EXPECT_EQ(settings().windowedHeight, 200);
  EXPECT_EQ(settings().windowedDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(settings().windowedMultisampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(settings().windowedMultisampleQuality, 0u);
  EXPECT_EQ(settings().windowedVertexProcessing, HARDWARE_VP);
  EXPECT_EQ(settings().windowedPresentInterval, UINT(D3DPRESENT_INTERVAL_IMMEDIATE));

  ASSERT_NE(settings().fullscreenCombination, nullptr);
  EXPECT_EQ(settings().fullscreenDevice->deviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(settings().fullscreenCombination->backBufferFormat, X8);
  EXPECT_FALSE(settings().fullscreenCombination->isWindowed);
  EXPECT_TRUE(SameMode(settings().fullscreenDisplayMode, desktop));
  EXPECT_EQ(settings().fullscreenDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(settings().fullscreenVertexProcessing, HARDWARE_VP);
  EXPECT_EQ(settings().fullscreenPresentInterval, UINT(D3DPRESENT_INTERVAL_DEFAULT))
      << "not the combination's first interval";
}

// A HAL device on X8R8G8B8 with D16 and D24S8 that draws 2 and 4 samples, where D24S8
// cannot take 4.
DeviceScript MultisampleDevice() {
  DeviceScript device = Device(D3DDEVTYPE_HAL, {{X8, X8}});
  for (D3DFORMAT format : {X8, D3DFMT_D16}) {
    device.multisample.push_back({format, D3DMULTISAMPLE_2_SAMPLES});
    device.multisample.push_back({format, D3DMULTISAMPLE_4_SAMPLES, 3});
    device.multisample.push_back({format, D3DMULTISAMPLE_NONMASKABLE, 4});
  }
  device.multisample.push_back({D3DFMT_D24S8, D3DMULTISAMPLE_2_SAMPLES});
  return device;
}

TEST_F(InitialSettings, SmoothEdgesTakeTheTypeAskedForOrTheNearestLowerOneSayingSo) {
  struct Case {
    DWORD asked;
    D3DFORMAT depth;  // made the first depth format of the combination
    D3DMULTISAMPLE_TYPE taken;
    std::string line;
  } cases[] = {
      {4, D3DFMT_D16, D3DMULTISAMPLE_4_SAMPLES, ""},
      {2, D3DFMT_D16, D3DMULTISAMPLE_2_SAMPLES, ""},
      {8, D3DFMT_D16, D3DMULTISAMPLE_4_SAMPLES,
       "vesk: smooth edges with 8 samples per pixel are not available on this device; using 4\n"},
      {4, D3DFMT_D24S8, D3DMULTISAMPLE_2_SAMPLES,
       "vesk: smooth edges with 4 samples per pixel are not available on this device; using 2\n"},
      {0, D3DFMT_D16, D3DMULTISAMPLE_NONE, ""},
  };
  for (const Case& c : cases) {
    DeviceScript device = MultisampleDevice();
    device.depthStencilFormats = {c.depth};
    shell_.antialiasSamples = c.asked;
    testing::internal::CaptureStderr();
    ASSERT_EQ(Choose({SimpleAdapter({device})}, {{800, 600, 60, X8}}), S_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line) << c.asked << " samples asked";
    EXPECT_EQ(settings().windowedMultisampleType, c.taken) << c.asked << " samples asked";
    EXPECT_EQ(settings().fullscreenMultisampleType, c.taken) << c.asked << " samples asked";
    EXPECT_EQ(settings().windowedMultisampleQuality, 0u);
  }
  // A device without multisampling draws without it, and says so once.
  shell_.antialiasSamples = 2;
  testing::internal::CaptureStderr();
  ASSERT_EQ(Choose({SimpleAdapter({Device(D3DDEVTYPE_HAL, {{X8, X8}})})}, {{800, 600, 60, X8}}), S_OK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vesk: smooth edges with 2 samples per pixel are not available on this device; drawing without them\n");
  EXPECT_EQ(settings().windowedMultisampleType, D3DMULTISAMPLE_NONE);
}

TEST_F(InitialSettings, StartFullscreenPutsTheFullscreenSetInForce) {
  shell_.startFullscreen = true;
  ASSERT_EQ(Choose({SimpleAdapter({Device(D3DDEVTYPE_HAL, {{X8, X8}})})}, {{800, 600, 60, X8}}), S_OK);
  EXPECT_FALSE(settings().isWindowed);
  EXPECT_NE(settings().windowedCombination, nullptr) << "the windowed set is still chosen";
}

TEST_F(InitialSettings, TheReferenceDeviceIsTakenForAWindowOnlyWhenNoHalCombinationQualifies) {
  // The HAL device renders only in R5G6B5, which is not the desktop's format.
  AdapterScript adapter{"Scripted adapter",
                        {{800, 600, 60, X8}, {800, 600, 60, R5}},
                        {},
                        {Device(D3DDEVTYPE_HAL, {{R5, R5}}), Device(D3DDEVTYPE_REF, {{X8, X8}})}};
  ASSERT_EQ(Choose({adapter}, {{800, 600, 60, X8}}), S_OK);
  EXPECT_TRUE(settings().isWindowed);
  EXPECT_EQ(settings().windowedDevice->deviceType, D3DDEVTYPE_REF);
  EXPECT_EQ(settings().windowedCombination->adapterFormat, X8);
  // Fullscreen the HAL device wins although its format is not the desktop's.
  EXPECT_EQ(settings().fullscreenDevice->deviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(settings().fullscreenCombination->adapterFormat, R5);
  EXPECT_TRUE(SameMode(settings().fullscreenDisplayMode, {800, 600, 60, R5}));
}

TEST_F(InitialSettings, WithoutAWindowedChoiceTheProgramStartsFullscreen) {
  // The desktop runs in R5G6B5, which the only device cannot render into.
  AdapterScript adapter{"Scripted adapter", {{800, 600, 60, X8}}, {}, {Device(D3DDEVTYPE_HAL, {{X8, X8}})}};
  ASSERT_EQ(Choose({adapter}, {{800, 600, 60, R5}}), S_OK);
  EXPECT_FALSE(settings().isWindowed);
  EXPECT_EQ(settings().windowedCombination, nullptr);
  ASSERT_NE(settings().fullscreenCombination, nullptr);
  EXPECT_EQ(settings().fullscreenCombination->adapterFormat, X8);
}

TEST_F(InitialSettings, AnEmptyPresentIntervalListGivesTheDefaultInterval) {
  AdapterScript adapter{"Scripted adapter", {{800, 600, 60, X8}}, {}, {Device(D3DDEVTYPE_HAL, {{X8, X8}})}};
  ASSERT_EQ(Choose({adapter}, {{800, 600, 60, X8}}), S_OK);
  settings().windowedPresentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  settings().windowedCombination->presentIntervals.Clear();
  ASSERT_TRUE(shell_.ChooseWindowedSettings(false, false));
  EXPECT_EQ(settings().windowedPresentInterval, UINT(D3DPRESENT_INTERVAL_DEFAULT));
}

TEST_F(InitialSettings, NoUsableDeviceGivesTheNoCompatibleDevicesCode) {
  AdapterScript adapter{"Scripted adapter", {{800, 600, 60, X8}}, {}, {}};
  EXPECT_EQ(Choose({adapter}, {{800, 600, 60, X8}}), HRESULT(0x82000003));
}

TEST_F(InitialSettings, AFullscreenHalCombinationOnItsAdaptersDesktopFormatBeatsAnEarlierOneThatIsNot) {
  AdapterScript first{"First adapter", {{800, 600, 60, R5}, {800, 600, 60, X8}}, {},
                      {Device(D3DDEVTYPE_HAL, {{R5, R5}})}};
  AdapterScript second{"Second adapter", {{1024, 768, 60, X8}}, {}, {Device(D3DDEVTYPE_HAL, {{X8, X8}})}};
  ASSERT_EQ(Choose({first, second}, {{800, 600, 60, X8}, {1024, 768, 60, X8}}), S_OK);
  EXPECT_EQ(settings().fullscreenAdapter->adapterOrdinal, 1u);
  EXPECT_TRUE(SameMode(settings().fullscreenDisplayMode, {1024, 768, 60, X8}));
  // Windowed, every adapter is measured against adapter 0's desktop format.
  EXPECT_EQ(settings().windowedAdapter->adapterOrdinal, 1u);
  EXPECT_TRUE(SameMode(settings().windowedDisplayMode, {800, 600, 60, X8})) << "the primary desktop's mode";
}

struct ModeCase {
  const char* name;
  D3DDISPLAYMODE desktop;
  D3DDISPLAYMODE expected;
};

class FullscreenMode : public InitialSettings, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(FullscreenMode, IsTheExactDesktopModeElseTheLastOfItsWidthElseTheFirst) {
  AdapterScript adapter{"Scripted adapter",
                        {{1024, 768, 60, X8},
                         {800, 600, 85, X8},
                         {640, 480, 60, X8},
                         {800, 600, 60, X8},
                         {800, 600, 75, X8},
                         {800, 600, 60, R5}},
                        {},
                        {Device(D3DDEVTYPE_HAL, {{X8, X8}})}};
  ASSERT_EQ(Choose({adapter}, {GetParam().desktop}), S_OK);
  EXPECT_TRUE(SameMode(settings().fullscreenDisplayMode, GetParam().expected))
      << settings().fullscreenDisplayMode.Width << "x" << settings().fullscreenDisplayMode.Height << "@"
      << settings().fullscreenDisplayMode.RefreshRate;
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, FullscreenMode,
    ::testing::Values(ModeCase{"ExactMatch", {800, 600, 75, X8}, {800, 600, 75, X8}},
                      ModeCase{"LastOfTheDesktopWidth", {800, 600, 70, X8}, {800, 600, 85, X8}},
                      ModeCase{"FirstOfTheFormat", {1280, 1024, 60, X8}, {640, 480, 60, X8}},
                      ModeCase{"InTheCombinationsFormat", {800, 600, 60, R5}, {800, 600, 60, X8}}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

}  // namespace
