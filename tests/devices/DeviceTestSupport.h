// A device on the recording backend, set up as the program sets it up, for the
// logic tests of drawing, textures and fonts.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "platform/RecordingBackend.h"
#include "support/TestSupport.h"

namespace zun::test {

// Writes an RGBA PNG (rows top to bottom) to a host path.
inline void WritePng(const std::string& hostPath, int32_t w, int32_t h, const std::vector<uint8_t>& rgba) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(w);
    img.height = png_uint_32(h);
    img.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&img, hostPath.c_str(), 0, rgba.data(), 0, nullptr)) << img.message;
}

class RecordingDevice : public ::testing::Test {
protected:
    RecordingBackend* rec = nullptr;

    void SetUp() override {
        zDDraw = zDDrawModule{};
        zFont = zFontModule{};
        zCore.Initialized = true;
        zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
        zDDraw.BackendFactory = [this](const GlBackendConfig& c) {
            auto b = std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
            rec = b.get();
            return b;
        };
        ASSERT_TRUE(zDDraw.Device_Initialize());
        ASSERT_TRUE(zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false));
        ASSERT_NE(rec, nullptr);
        rec->ClearLog();
    }

    void TearDown() override {
        zDDraw.Device_Release();
        zDDraw = zDDrawModule{};
        zFont = zFontModule{};
        zCore.Initialized = false;
    }

    // A texture entry of the given image size, as a load would leave it.
    int32_t AddTexture(int32_t w, int32_t h, const std::string& name = "") {
        TextureEntry e;
        e.FileName = name;
        e.W = w;
        e.H = h;
        e.Loaded = true;
        e.Texture = rec->CreateTexture(w, h, nullptr);
        zDDraw.Textures.resize(size_t(zDDraw.TextureCount) + 1);
        zDDraw.Textures.push_back(e);
        zDDraw.TextureCount += 1;
        return zDDraw.TextureCount;
    }

    std::vector<RecordedDraw> DrawsOf(Primitive p) const {
        std::vector<RecordedDraw> out;
        for (const auto& d : rec->Draws)
            if (d.Prim == p) out.push_back(d);
        return out;
    }
};

}  // namespace zun::test
