// Shared set-up of the demo content tests: the whole content built once from
// the demo's real sources into a temporary program folder, a device on the
// recording backend for the loaders, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "platform/RecordingBackend.h"
#include "support/TestSupport.h"
#include "tools/democontent/DemoBuilder.h"

namespace tarv::demo::test {

namespace fs = std::filesystem;

// The program folder the builder filled, built once for all tests.
struct BuiltContent {
    zun::test::TempDir Dir;
    bool Ok = false;
    std::vector<std::string> Problems;  // ERR and WARN lines of the build

    std::string Host(const std::string& rel) const { return Dir.Host() + rel; }

    static BuiltContent& Get() {
        static BuiltContent* built = [] {
            auto* b = new BuiltContent();
            zun::test::LogCapture log;
            b->Ok = BuildDemoContent(DEMO_SOURCE_DIR, b->Dir.Host());
            for (const std::string& l : log.Lines())
                if (l.rfind("ERR", 0) == 0 || l.rfind("WARN", 0) == 0) b->Problems.push_back(l);
            return b;
        }();
        return *built;
    }
};

inline std::vector<std::string> FilesIn(const std::string& hostDir, const std::string& ext = "") {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(hostDir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && (ext.empty() || it->path().extension() == ext))
            out.push_back(it->path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A device on the recording backend whose texture and font folders are
// those of a program folder.
class ContentDevice : public ::testing::Test {
protected:
    void SetUp() override {
        // The build uses a device of its own: it must be done before this one.
        BuiltContent::Get();
        zun::zDDraw = zun::zDDrawModule{};
        zun::zFont = zun::zFontModule{};
        zun::zCore.Initialized = true;
        zun::zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
        zun::zDDraw.BackendFactory = [](const zun::GlBackendConfig& c) {
            return std::make_unique<zun::RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        };
        ASSERT_TRUE(zun::zDDraw.Device_Initialize());
        ASSERT_TRUE(zun::zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false));
    }
    void TearDown() override {
        zun::zDDraw.Device_Release();
        zun::zDDraw = zun::zDDrawModule{};
        zun::zFont = zun::zFontModule{};
        zun::zCore.Initialized = false;
    }
    // Points the texture and font folders at a built program folder.
    void UseProgramFolder(const std::string& host) {
        zun::zDDraw.TexturePath = zun::FromHostPath(host + "img/");
        zun::zFont.FontPath = zun::FromHostPath(host + "fonts/");
    }
};

}  // namespace tarv::demo::test
