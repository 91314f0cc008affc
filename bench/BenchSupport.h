// Set-up shared by the benchmarks that draw through the device on the recording backend.
#pragma once

#include <cstdint>
#include <memory>

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "platform/RecordingBackend.h"

namespace zun::bench {

// The recording backend of the device, once OpenRecordingDevice has run.
inline RecordingBackend* gRec = nullptr;

// A drawing device on the recording backend; an open device is kept as it is.
inline bool OpenRecordingDevice() {
    if (zDDraw.Device) return true;
    zCore.Initialized = true;
    zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
    zDDraw.BackendFactory = [](const GlBackendConfig& c) {
        auto b = std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        gRec = b.get();
        return b;
    };
    return zDDraw.Device_Initialize() && zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false);
}

// A blank square texture in the device's table; returns its handle.
inline int32_t AddBlankTexture(int32_t side) {
    TextureEntry e;
    e.W = e.H = side;
    e.Loaded = true;
    e.Texture = gRec->CreateTexture(side, side, nullptr);
    zDDraw.Textures.resize(size_t(zDDraw.TextureCount) + 1);
    zDDraw.Textures.push_back(e);
    zDDraw.TextureCount += 1;
    return zDDraw.TextureCount;
}

}  // namespace zun::bench
