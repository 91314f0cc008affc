// The device's life: creation, scenes and render targets, the frame clock,
// screenshots' guards and release, on the recording backend.
#include <algorithm>

#include "DeviceTestSupport.h"
#include "core/zFileSystem.h"
#include "core/zRuntime.h"

namespace zun::test {
namespace {

constexpr int32_t kWhite = int32_t(0xFFFFFFFFu);

bool HasCall(const RecordingBackend& r, const std::string& call) {
    return std::find(r.Calls.begin(), r.Calls.end(), call) != r.Calls.end();
}

TEST(DeviceSetup, CreationLogsItsStepsAndSetsStartStates) {
    zDDraw = zDDrawModule{};
    zDDraw.AdapterInfo.DesktopMode = {1280, 1024, 75, 22};
    RecordingBackend* rec = nullptr;
    zDDraw.BackendFactory = [&](const GlBackendConfig& c) {
        auto b = std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        rec = b.get();
        return b;
    };
    LogCapture log;
    ASSERT_TRUE(zDDraw.Device_Initialize());
    EXPECT_EQ(uint32_t(zDDraw.BackColor), 0xFF0080FFu);
    EXPECT_EQ(uint32_t(zDDraw.DiffuseColor), 0xFFFFFFFFu);
    EXPECT_EQ(zDDraw.TextureCount, 0);
    ASSERT_EQ(zDDraw.Textures.size(), 1u);
    EXPECT_EQ(zDDraw.Textures[0].W, 256);
    ASSERT_TRUE(zDDraw.Device_InitWindowed(nullptr, 1600, 600, 1.5f, 0, false));
    EXPECT_TRUE(log.Contains("INF\tRequestMode\t1280 x 1024 x 75 x 22"));
    EXPECT_TRUE(log.Contains("INF\tDisplaySetup\t80, 1, 0"));
    EXPECT_TRUE(log.Contains("OK\tDevice_CreateDevice"));
    EXPECT_TRUE(log.Contains("INF\tScreen size\t1600 x 600 x 1.5"));
    EXPECT_TRUE(log.Contains("OK\tDevice_InitWindowed"));
    // The back buffer is never smaller than the logical screen.
    EXPECT_EQ(rec->BackBufferWidth(), 1600);
    EXPECT_EQ(rec->BackBufferHeight(), 1024);
    EXPECT_EQ(zDDraw.ViewW, 1600);
    EXPECT_TRUE(zDDraw.State.AlphaTestEnable);
    EXPECT_EQ(zDDraw.State.AlphaFunc, Cmp::Greater);
    EXPECT_FALSE(zDDraw.State.AlphaBlendEnable);
    EXPECT_TRUE(zDDraw.State.ZEnable);
    zDDraw.Device_Release();
    zDDraw = zDDrawModule{};
}

TEST(DeviceSetup, NoBackendMeansNoDevice) {
    zDDraw = zDDrawModule{};
    zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
    zDDraw.BackendFactory = [](const GlBackendConfig&) { return std::unique_ptr<RenderBackend>(); };
    ASSERT_TRUE(zDDraw.Device_Initialize());
    EXPECT_FALSE(zDDraw.Device_InitWindowed(nullptr, 640, 480, 1, 0, false));
    zCore.Initialized = true;
    EXPECT_FALSE(zDDraw.BeginScene(0, 0));
    zCore.Initialized = false;
    zDDraw = zDDrawModule{};
}

TEST(DeviceSetup, FormatSearchesTryTheirCandidatesInOrder) {
    zDDraw = zDDrawModule{};
    EXPECT_EQ(zDDraw.FindMultiSampleType(0, 1), 0);
    EXPECT_TRUE(zDDraw.AdapterInfo.MultiSampleTried.empty());
    zDDraw.AdapterInfo.MultiSampleTypes = {2, 4, 8};
    EXPECT_EQ(zDDraw.FindMultiSampleType(0, 4), 4);
    ASSERT_FALSE(zDDraw.AdapterInfo.MultiSampleTried.empty());
    EXPECT_EQ(zDDraw.AdapterInfo.MultiSampleTried.front(), 4);
    EXPECT_EQ(zDDraw.FindStencilBufferFormat(0), 75);
    EXPECT_EQ(zDDraw.FindRenderTargetFormat(0), 21);
    LogCapture log;
    zDDraw.AdapterInfo.DepthFormats.clear();
    EXPECT_EQ(zDDraw.FindDepthBufferFormat(0), 0);
    EXPECT_TRUE(log.Contains("ERR\tNo working Depth Buffer format found"));
    zDDraw = zDDrawModule{};
}

class Device : public RecordingDevice {};

TEST_F(Device, ScenesNeedAnInitialisedFrameworkAndALiveDevice) {
    zCore.Initialized = false;
    EXPECT_FALSE(zDDraw.BeginScene(kWhite, 0));
    zCore.Initialized = true;
    EXPECT_TRUE(zDDraw.BeginScene(kWhite, 0));
    zDDraw.EndScene(true);
    EXPECT_TRUE(HasCall(*rec, "Present 640x480"));
    zDDraw.Device_Release();
    EXPECT_FALSE(zDDraw.BeginScene(kWhite, 0));
}

TEST_F(Device, ClearColourZeroKeepsThePixelsAndClearsOnlyDepth) {
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF102030u), 0));
    EXPECT_EQ(rec->Calls.back(), "Clear color=FF102030 depth=1");
    EXPECT_EQ(uint32_t(zDDraw.BackColor), 0xFF102030u);
    zDDraw.EndScene(false);
    ASSERT_TRUE(zDDraw.BeginScene(0, 0));
    EXPECT_EQ(rec->Calls.back(), "Clear depth=1");
    EXPECT_EQ(zDDraw.BackColor, 0);
}

TEST_F(Device, RenderTargetSidesArePowersOfTwo) {
    LogCapture log;
    EXPECT_EQ(zDDraw.CreateRenderTarget(15), 0);
    EXPECT_EQ(zDDraw.TextureCount, 0);
    for (auto [size, side] : {std::pair{16, 16}, {17, 32}, {100, 128}, {512, 512}}) {
        int32_t t = zDDraw.CreateRenderTarget(size);
        ASSERT_GT(t, 0);
        EXPECT_EQ(zDDraw.Textures[size_t(t)].W, side);
        EXPECT_EQ(zDDraw.Textures[size_t(t)].H, side);
        EXPECT_TRUE(zDDraw.Textures[size_t(t)].FileName.empty());
        EXPECT_TRUE(rec->IsRenderTarget(zDDraw.Textures[size_t(t)].Texture));
    }
    EXPECT_TRUE(log.Contains("OK\tRenderTarget created:\t128 x 128"));
}

TEST_F(Device, AFailedTargetFallsBackToHalfTheSideAndKeepsItsEntry) {
    rec->FailTargetsAbove = 64;
    LogCapture log;
    int32_t t = zDDraw.CreateRenderTarget(100);
    EXPECT_EQ(t, 2);
    EXPECT_EQ(zDDraw.TextureCount, 2);
    EXPECT_EQ(zDDraw.Textures[1].W, 128);
    EXPECT_EQ(zDDraw.Textures[1].Texture, 0u);
    EXPECT_EQ(zDDraw.Textures[2].W, 64);
    EXPECT_TRUE(log.Contains("ERR\tCould not create RenderTarget\t100"));

    rec->FailTargetsAbove = 0;  // nothing can be made: down to sizes below 16
    EXPECT_EQ(zDDraw.CreateRenderTarget(40), 0);
    EXPECT_EQ(zDDraw.TextureCount, 5);  // 64, 32, 16 stay behind empty
}

TEST_F(Device, HugeTargetsCountAsFailedCreations) {
    rec->FailTargetsAbove = 1 << 30;  // the backend would take anything
    int32_t t = zDDraw.CreateRenderTarget(1 << 30);
    ASSERT_GT(t, 0);
    EXPECT_EQ(zDDraw.Textures[size_t(t)].W, kMaxTargetSide);
    EXPECT_EQ(zDDraw.TextureCount, 1 + 30 - 12);  // 2^30 ... 2^13 failed, 2^12 made
    EXPECT_EQ(zDDraw.CreateRenderTarget(INT32_MAX), zDDraw.TextureCount);
    EXPECT_EQ(zDDraw.Textures[size_t(zDDraw.TextureCount)].W, kMaxTargetSide);
}

TEST_F(Device, SceneIntoARenderTargetAndBack) {
    int32_t t = zDDraw.CreateRenderTarget(64);
    rec->ClearLog();
    ASSERT_TRUE(zDDraw.BeginScene(kWhite, t));
    EXPECT_TRUE(zDDraw.RenderTargetActive);
    EXPECT_EQ(zDDraw.RenderTarget, t);
    EXPECT_EQ(rec->CurrentTarget(), zDDraw.Textures[size_t(t)].Texture);
    zDDraw.EndTextureScene();
    EXPECT_FALSE(zDDraw.RenderTargetActive);
    EXPECT_EQ(rec->CurrentTarget(), 0u);
    zDDraw.EndTextureScene();  // outside a target pass: nothing
    EXPECT_EQ(rec->CurrentTarget(), 0u);
}

TEST_F(Device, ATargetWithoutTextureDrawsIntoTheBackBuffer) {
    int32_t t = zDDraw.CreateRenderTarget(64);
    zDDraw.ReleaseTextureObject(t);
    EXPECT_EQ(zDDraw.TextureCount, 1);  // the entry stays
    EXPECT_EQ(zDDraw.Textures[size_t(t)].W, 64);
    EXPECT_EQ(rec->LiveTextures(), 0u);
    ASSERT_TRUE(zDDraw.BeginScene(0, t));
    EXPECT_FALSE(zDDraw.RenderTargetActive);
    EXPECT_EQ(zDDraw.RenderTarget, t);
    EXPECT_EQ(rec->CurrentTarget(), 0u);
    zDDraw.Blt(t, 0, 0, 0, 0, 0, 0, 0, 0, kWhite, 1);  // drawn untextured
    zDDraw.EndScene(false);
    EXPECT_EQ(rec->Draws.back().Texture, 0u);
    EXPECT_THROW(zDDraw.BeginScene(0, 99), RuntimeError);
}

TEST_F(Device, BeginSceneDrawsWhatWasQueuedBeforeSwitchingTargets) {
    int32_t t = zDDraw.CreateRenderTarget(64);
    ASSERT_TRUE(zDDraw.BeginScene(kWhite, 0));
    zDDraw.BltPoint(1, 1, kWhite);
    ASSERT_TRUE(zDDraw.BeginScene(kWhite, t));  // nested: no failure
    ASSERT_EQ(rec->Draws.size(), 1u);
    EXPECT_EQ(rec->Draws[0].Target, 0u);
    zDDraw.EndScene(false);
    zDDraw.EndScene(true);
    EXPECT_EQ(zDDraw.SceneDepth, 0);
}

TEST_F(Device, ALostDeviceIsRebuiltInsteadOfSkippingFramesForEver) {
    AddTexture(8, 8);
    const int32_t rt = zDDraw.CreateRenderTarget(64);
    ASSERT_TRUE(zDDraw.BeginScene(kWhite, rt));
    zDDraw.EndTextureScene();
    std::vector<zDDrawModule::DrawArea> parts;
    int32_t cleared = 0;
    ASSERT_TRUE(zDDraw.DrawnParts(rt, parts, cleared));
    rec->NextStatus = DeviceStatus::Lost;
    EXPECT_TRUE(zDDraw.BeginScene(kWhite, 0));
    EXPECT_TRUE(HasCall(*rec, "Reset"));
    // What the target held went with the device: nothing may be taken as known.
    EXPECT_FALSE(zDDraw.DrawnParts(rt, parts, cleared));
}

TEST_F(Device, FrameRateWindows) {
    int32_t now = 100000;
    zDDraw.TickSource = [&] { return now; };
    zDDraw.UpdateFrameRate();
    EXPECT_EQ(zDDraw.FPS, 0);
    EXPECT_EQ(zCore.Ticks, 100000);
    now += 16;
    zDDraw.UpdateFrameRate();
    EXPECT_EQ(zDDraw.FPS, 62);  // one frame in 16 ms, 62.5 to even
    EXPECT_EQ(zDDraw.FPSFrames, 1);
    // The window now runs until a second has passed or 63 frames are counted.
    for (int i = 0; i < 62; ++i) {
        now += 10;
        zDDraw.UpdateFrameRate();
    }
    EXPECT_EQ(zDDraw.FPS, 62);
    EXPECT_EQ(zDDraw.FPSFrames, 63);
    now += 10;
    zDDraw.UpdateFrameRate();
    EXPECT_EQ(zDDraw.FPS, 100);  // 63 frames in 630 ms
    EXPECT_EQ(zDDraw.FPSFrames, 1);
    const int32_t frames = zCore.FrameCounter;
    now += 5000;  // a long stall closes the window at once
    zDDraw.UpdateFrameRate();
    EXPECT_EQ(zDDraw.FPS, 0);
    EXPECT_EQ(zCore.FrameCounter, frames + 1);
}

TEST_F(Device, ScreenshotNamesMayNotLeaveTheProgramFolder) {
    LogCapture log;
    RECT area;
    for (const char* bad : {"..\\evil.bmp", "sub\\shot.bmp", "a/b.bmp", "..", "C:x.bmp"}) {
        area = RECT{};
        EXPECT_FALSE(zDDraw.SaveScreenShot(zFileSystem.AppPath + bad, area, 0)) << bad;
        EXPECT_EQ(area.Right, 640);  // zero edges are written back all the same
        EXPECT_EQ(area.Bottom, 480);
    }
    EXPECT_TRUE(log.Contains("ERR\tSaveScreenShot"));
    EXPECT_FALSE(log.Contains("Screenshot saved"));
    EXPECT_FALSE(zDDraw.SaveScreenShot("shot.bmp", RECT{5000, 0, 6000, 10}, 0));  // nothing of it on the back buffer
    log.Clear();
    EXPECT_FALSE(zDDraw.SaveScreenShot("shot.ppm", RECT{}, 4));  // a code with no file type here
    EXPECT_TRUE(log.Contains("ERR\tSaveScreenShot\tUnsupported image format 4"));
}

TEST_F(Device, ReleaseFreesEveryTextureAndEmptiesTheTable) {
    AddTexture(8, 8);
    zDDraw.CreateRenderTarget(32);
    zDDraw.Blt(1, 0, 0, 1, 1, 0, 0, 0, 0, kWhite, 1);
    EXPECT_EQ(rec->LiveTextures(), 2u);
    zDDraw.Device_Release();
    EXPECT_EQ(zDDraw.TextureCount, 0);
    EXPECT_TRUE(zDDraw.Textures.empty());
    EXPECT_EQ(zDDraw.PolyBufferCount, 0);
    EXPECT_FALSE(zDDraw.Device);
    EXPECT_EQ(zDDraw.LoadTexture("x.png", false, 0, 1, 0), 0);  // still answers, and fails cleanly
}

TEST_F(Device, ScreenSizeKeepsTheViewUnlessAsked) {
    zDDraw.SetScreenSize(800, 600, 1.25f, false);
    EXPECT_EQ(zDDraw.ScreenW, 800);
    EXPECT_EQ(zDDraw.ViewW, 640);
    EXPECT_EQ(zDDraw.RenderZoom, 1.25f);
    zDDraw.SetScreenSize(800, 600, 1, true);
    EXPECT_EQ(zDDraw.ViewH, 600);
}

}  // namespace
}  // namespace zun::test
