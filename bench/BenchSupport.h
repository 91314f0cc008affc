// Set-up shared by the benchmarks that draw through the device on the recording
// backend, and the table of measured figures beside their goals.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

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

// CPU seconds the calling thread has used. On a shared, loaded machine the
// wall clock also counts the time a side spent waiting for a core, which can
// swing a ratio by half; single-threaded work is compared by this instead.
inline double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
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

// Figures measured against a goal ("ratio 1.80 (goal 2.0)"), printed as one
// table when the program ends, so they stand together after Google Benchmark's
// own report instead of scattered through it. A benchmark run again replaces
// its figure.
class GoalTable {
public:
    static GoalTable& Get() {
        static GoalTable table;
        return table;
    }
    // A ratio of our time over the peer's; lower is better.
    void Ratio(const std::string& what, double ratio, double goal) { Put(what, ratio, goal, "x"); }
    // Any other figure that must stay below its goal, in its unit.
    void Below(const std::string& what, double value, double goal, const char* unit) {
        Put(what, value, goal, unit);
    }
    ~GoalTable() {
        if (rows_.empty()) return;
        std::printf("\nMeasured against goals (lower is better):\n");
        for (const auto& [what, r] : rows_) {
            std::printf("  %-30s %8.2f %-3s (goal %.2f %s)  %s\n", what.c_str(), r.value, r.unit.c_str(),
                        r.goal, r.unit.c_str(), r.value <= r.goal ? "met" : "NOT MET");
        }
        std::fflush(stdout);
    }

private:
    struct Row {
        double value, goal;
        std::string unit;
    };
    void Put(const std::string& what, double value, double goal, const char* unit) {
        rows_[what] = Row{value, goal, unit};
    }
    std::map<std::string, Row> rows_;
};

}  // namespace zun::bench
