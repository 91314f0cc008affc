// Set-up shared by the fuzz targets that load chunk files and draw what they load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "platform/RecordingBackend.h"

namespace zun::fuzz {

// The recording backend of the device, once StartRecordingDevice has run.
inline RecordingBackend* gRec = nullptr;

// Failures of the code under test are expected; only crashes, hangs and leaks count.
template <class F>
void Try(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

// A drawing device on the recording backend, with a texture folder that does not exist.
inline void StartRecordingDevice() {
    zCore.Initialized = true;
    zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
    zDDraw.BackendFactory = [](const GlBackendConfig& c) {
        auto b = std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        gRec = b.get();
        return b;
    };
    zDDraw.Device_Initialize();
    zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false);
    zDDraw.TexturePath = "\\nonexistent-fuzz-textures\\";
}

// Reads the input as a chunk file (as a data file first when it starts with the
// container's magic) and creates and links its objects.
inline bool LoadChunkFile(const uint8_t* data, size_t size, zFile& f) {
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 4 && std::memcmp(data, "ZUN2", 4) == 0) {
        std::vector<uint8_t> payload;
        if (!LoadDataBytes(bytes, payload, "", "fuzz")) return false;
        bytes = std::move(payload);
    }
    zStream s(std::move(bytes));
    if (!f.LoadFromStream(&s)) return false;
    f.ImportFromStreams();
    return true;
}

}  // namespace zun::fuzz
