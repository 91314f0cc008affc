// The game's own frame, held pixel for pixel to pictures of it saved before
// any work for speed was done on it: the demo started as the program starts
// it, on the virtual clock, with every effect on, in the village in the rain.
// Work that makes the frame cheaper must leave every one of these pixels, and
// their alpha, as they are.
//
// After a change that is meant to change the picture, the pictures are taken
// anew by running the tests with ZUN_SAVE_FRAMES=1 (they are written into
// tests/game/pixels/frames/ of the source tree).
#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gCharTest.h"
#include "platform/Image.h"
#include "scene/zCamera.h"

namespace tarv::test {
namespace {

using namespace zun;

const std::string kPictures = std::string(ZUN_SOURCE_DIR) + "/tests/game/pixels/frames/";

// A PNG of RGBA pixels packed as tightly as plain zlib can: each row gets the
// filter that leaves it the smallest differences.
bool SavePng(const std::string& iPath, const std::vector<uint8_t>& iRgba, int32_t iW, int32_t iH) {
    const size_t stride = size_t(iW) * 4;
    std::vector<uint8_t> rows, prior(stride, 0), best, trial(stride);
    for (int32_t y = 0; y < iH; ++y) {
        const uint8_t* line = &iRgba[size_t(y) * stride];
        uint64_t bestCost = UINT64_MAX;
        uint8_t bestFilter = 0;
        for (uint8_t f = 0; f < 5; ++f) {
            uint64_t cost = 0;
            for (size_t x = 0; x < stride; ++x) {
                const int a = x >= 4 ? line[x - 4] : 0, b = prior[x], c = x >= 4 ? prior[x - 4] : 0;
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                const int predict[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
                trial[x] = uint8_t(line[x] - predict[f]);
                cost += trial[x] < 128 ? trial[x] : 256 - trial[x];
            }
            if (cost < bestCost) bestCost = cost, bestFilter = f, best = trial;
        }
        rows.push_back(bestFilter);
        rows.insert(rows.end(), best.begin(), best.end());
        prior.assign(line, line + stride);
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), 9) != Z_OK) return false;
    packed.resize(packedSize);
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto be32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) file.push_back(uint8_t(v >> s));
    };
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        be32(uint32_t(data.size()));
        const size_t from = file.size();
        file.insert(file.end(), type, type + 4);
        file.insert(file.end(), data.begin(), data.end());
        be32(uint32_t(crc32(0, &file[from], uInt(file.size() - from))));
    };
    std::vector<uint8_t> header;
    for (uint32_t v : {uint32_t(iW), uint32_t(iH)})
        for (int s = 24; s >= 0; s -= 8) header.push_back(uint8_t(v >> s));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, filtered rows, no interlace
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});
    std::ofstream out(iPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return bool(out);
}

class GameFrames : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::ifstream(std::string(ZUN_PROGRAM_DIR) + "/scripts/Game.dat")) GTEST_SKIP() << "no demo content";
        SetApplicationFolder(ZUN_PROGRAM_DIR);
        ConnectProgram(false);
        frmMain.UseVirtualClock();
        frmMain.Window = nullptr;
        // The back buffer the program gets from a desktop of this size, whatever this machine's is.
        zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
        ASSERT_TRUE(frmMain.Form_Load("")) << zCore.LogText;
        ASSERT_TRUE(frmMain.Running);
        auto& s = *gCharTest.Settings;
        for (const char* key : {"HighQualityBuffers", "EnableDeco", "ParticleSystem", "ParticleLights", "Lighting",
                                "MirrorObjects", "MirrorParticles", "Mirrors", "Shadows", "CursorShadows",
                                "LightsShadows", "SpriteShadows", "AmbientShadows", "BaseShadows", "DisableTimer"})
            s.SetByte(key, 1);
        if (gShellParts.ApplySettings) gShellParts.ApplySettings();
        ASSERT_TRUE(gCharTest.mapWater) << "not the village";
        // The first frames load pictures and fill the particle systems.
        for (int i = 0; i < 60; ++i) Tick();
    }
    void TearDown() override {
        if (frmMain.Running) frmMain.Form_Unload();
        SetApplicationFolder("");
    }

    // One frame of the running game; the camera is put where `place` says
    // after the frame's updates, just before the frame is drawn.
    static void Tick(const std::function<void(zCamera&)>& place = nullptr) {
        const auto pre = gShellParts.RenderGamePre;
        if (place) {
            gShellParts.RenderGamePre = [&] {
                place(*frmMain.Camera);
                pre();
            };
        }
        frmMain.tmrMain_Timer();
        gShellParts.RenderGamePre = pre;
        frmMain.VirtualTicks += 15;
    }

    // The view as it stands on the back buffer: R, G, B, A bytes, rows top to bottom.
    static std::vector<uint8_t> View() {
        std::vector<uint8_t> px;
        EXPECT_TRUE(zDDraw.Device && zDDraw.Device->ReadPixels(0, 0, 640, 480, px));
        return px;
    }

    // The view held to its saved picture, or saved as it when asked to.
    static void Expect(const std::string& name) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> now = View();
        ASSERT_EQ(now.size(), size_t(640 * 480 * 4));
        if (std::getenv("ZUN_SAVE_FRAMES")) {
            ASSERT_TRUE(SavePng(kPictures + name + ".png", now, 640, 480));
            return;
        }
        Image saved;
        std::string error;
        ASSERT_TRUE(LoadPngFile(kPictures + name + ".png", saved, &error)) << error;
        ASSERT_EQ(saved.Width, 640);
        ASSERT_EQ(saved.Height, 480);
        size_t differ = 0, first = 0;
        for (size_t i = 0; i < now.size(); i += 4)
            for (size_t c = 0; c < 4; ++c)
                if (now[i + c] != saved.Pixels[i + c]) {
                    if (differ++ == 0) first = i / 4;
                    break;
                }
        EXPECT_EQ(differ, 0u) << "pixels differ from the saved picture, the first at (" << first % 640 << ", "
                              << first / 640 << ")";
    }
};

TEST_F(GameFrames, TheBusiestFrameIsAsItWasAtZoomOneAndTwo) {
    Expect("busiest_zoom1");
    float zoom = 2.0f;
    frmMain.SetRenderZoom(zoom);
    Tick();
    Tick();
    Expect("busiest_zoom2");
}

// The camera moved by fractions of a pixel each frame, now and then crossing
// a whole one, while the water's tiles animate (a step in the last frame of
// each run): at zoom 1 with the map's left and top edges in view, at zoom 2
// over the pool. The first frame held at each zoom moved by fractions only.
TEST_F(GameFrames, ACameraMovingByFractionsOverAnimatedTilesAndTheMapsEdgesIsAsItWas) {
    Tick();
    Tick();
    for (int k = 0; k <= 4; ++k) {
        Tick([k](zCamera& c) {
            c.x = -90.3f + 0.35f * float(k);
            c.y = -60.2f + 0.3f * float(k);
        });
        if (k >= 3) Expect("moving_zoom1_" + std::to_string(k));
    }
    float zoom = 2.0f;
    frmMain.SetRenderZoom(zoom);
    for (int k = 0; k <= 5; ++k) {
        Tick([k](zCamera& c) {
            c.x = 316.2f + 0.3f * float(k);
            c.y = 135.7f + 0.25f * float(k);
        });
        if (k >= 4) Expect("moving_zoom2_" + std::to_string(k));
    }
}

}  // namespace
}  // namespace tarv::test
