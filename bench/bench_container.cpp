// Data-file container against raw zlib on the same bytes: saving a packed file
// (ours: CRC of plain and stored bytes, compress, trailer, header) beside
// compress + crc32, and loading it beside uncompress + crc32. Both sides run in
// every iteration; "ratio" is our CPU time over zlib's.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/zDataFile.h"
#include "core/zFileSystem.h"

namespace {

// CPU time of this thread: zlib and the container are single-threaded.
struct Clock {
    using time_point = double;
    static double now() { return zun::bench::ThreadSeconds(); }
};
double Seconds(double a, double b) { return b - a; }

// A quarter random bytes, the rest repetitive records, in 4 KiB blocks.
std::vector<uint8_t> MixedData(size_t size) {
    std::vector<uint8_t> d(size);
    uint32_t x = 12345;
    const std::string text = "tile=17 layer=3 name=\"Wall corner\" alpha=255 speed=2.5;";
    for (size_t i = 0; i < size; ++i) {
        size_t block = i / 4096;
        if (block % 4 == 1) {
            x = x * 1664525u + 1013904223u;
            d[i] = uint8_t(x >> 24);
        } else {
            d[i] = uint8_t(text[(i + block) % text.size()] + (i % 4096 == 0 ? 1 : 0));
        }
    }
    return d;
}

std::vector<uint8_t> RawCompress(const std::vector<uint8_t>& plain) {
    uLongf n = compressBound(uLong(plain.size()));
    std::vector<uint8_t> out(n);
    compress(out.data(), &n, plain.data(), uLong(plain.size()));
    out.resize(n);
    return out;
}

void Report(benchmark::State& state, double ours, double zlib, size_t bytes, const char* goalName = nullptr) {
    state.counters["ours_ms"] = ours * 1000.0 / double(state.iterations());
    state.counters["zlib_ms"] = zlib * 1000.0 / double(state.iterations());
    state.counters["ratio"] = zlib > 0 ? ours / zlib : 0.0;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    if (goalName && zlib > 0)
        zun::bench::GoalTable::Get().Ratio(std::string(goalName) + " " + std::to_string(bytes >> 20) + " MB / zlib",
                                           ours / zlib, 1.05);
}

void BM_ContainerSave(benchmark::State& state) {
    const auto plain = MixedData(size_t(state.range(0)));
    double ours = 0, zlib = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::vector<uint8_t> file;
        bool ok = zun::SaveDataBytes(plain, true, "", file);
        benchmark::DoNotOptimize(ok);
        auto t1 = Clock::now();
        auto packed = RawCompress(plain);
        uLong crc = crc32(0L, plain.data(), uInt(plain.size()));
        benchmark::DoNotOptimize(packed.data());
        benchmark::DoNotOptimize(crc);
        auto t2 = Clock::now();
        ours += Seconds(t0, t1);
        zlib += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t1));
    }
    Report(state, ours, zlib, plain.size(), "container save");
}

void BM_ContainerLoad(benchmark::State& state) {
    const auto plain = MixedData(size_t(state.range(0)));
    std::vector<uint8_t> file;
    zun::SaveDataBytes(plain, true, "", file);
    const auto packed = RawCompress(plain);
    double ours = 0, zlib = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::vector<uint8_t> out;
        bool ok = zun::LoadDataBytes(file, out, "", "bench.dat");
        benchmark::DoNotOptimize(ok);
        auto t1 = Clock::now();
        std::vector<uint8_t> raw(plain.size());
        uLongf n = uLongf(raw.size());
        uncompress(raw.data(), &n, packed.data(), uLong(packed.size()));
        uLong crc = crc32(0L, raw.data(), uInt(n));
        benchmark::DoNotOptimize(crc);
        auto t2 = Clock::now();
        if (!ok || out != raw) state.SkipWithError("round trip failed");
        ours += Seconds(t0, t1);
        zlib += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t1));
    }
    Report(state, ours, zlib, plain.size(), "container load");
}

// Save and load through a real file once, beside the in-memory zlib peer.
void BM_ContainerFileSaveLoad(benchmark::State& state) {
    const auto plain = MixedData(size_t(state.range(0)));
    auto dir = std::filesystem::temp_directory_path() / "zun-bench-container";
    std::filesystem::create_directories(dir);
    const std::string name = zun::FromHostPath((dir / "bench.dat").string());
    double ours = 0, zlib = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::vector<uint8_t> data = plain, out;
        bool ok = zun::SaveDataFile(name, data, true, "") && zun::LoadDataFile(name, out, "");
        auto t1 = Clock::now();
        auto packed = RawCompress(plain);
        std::vector<uint8_t> raw(plain.size());
        uLongf n = uLongf(raw.size());
        uncompress(raw.data(), &n, packed.data(), uLong(packed.size()));
        uLong crc = crc32(crc32(0L, plain.data(), uInt(plain.size())), raw.data(), uInt(n));
        benchmark::DoNotOptimize(crc);
        auto t2 = Clock::now();
        if (!ok || out != plain) state.SkipWithError("file round trip failed");
        ours += Seconds(t0, t1);
        zlib += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t1));
    }
    Report(state, ours, zlib, plain.size());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace

BENCHMARK(BM_ContainerSave)->Arg(1 << 20)->Arg(16 << 20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContainerLoad)->Arg(1 << 20)->Arg(16 << 20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContainerFileSaveLoad)->Arg(16 << 20)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
