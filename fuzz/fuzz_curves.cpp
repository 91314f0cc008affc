// Reads a key-point curve and a random range from arbitrary bytes, samples
// what was read, and feeds the same bytes as numbers to the math functions
// that loop (none may hang) or divide.
// fuzz-libs: zun_core
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/zLerp.h"
#include "core/zLerpStream.h"
#include "core/zMath.h"
#include "core/zRandom.h"
#include "core/zRuntime.h"
#include "core/zStream.h"

using namespace zun;

namespace {

float FloatAt(const uint8_t* data, size_t size, size_t i) {
    float f = 0;
    if (size >= 4) std::memcpy(&f, data + (i * 4) % (size - 3), 4);
    return f;
}

void Curve(const std::vector<uint8_t>& bytes) {
    zStream s(bytes);
    zLerp c;
    try {
        c.Import(s);
    } catch (const RuntimeError&) {
        if (c.PointCount != 0 || c.ValueCount != 0) __builtin_trap();  // a failed read changes nothing
        return;
    }
    // What was read must write back to the same bytes.
    zStream out;
    c.Export(out);
    if (out.GetLength() != s.Cursor || std::memcmp(out.Bytes().data(), bytes.data(), size_t(s.Cursor)) != 0)
        __builtin_trap();
    for (float x : {-1.0f, 0.0f, 0.25f, 0.5f, 1.0f, 2.0f, 1e9f}) {
        try {
            c.GetValue(x);
            c.GetValueLinear(x);
            c.GetValueSmooth(x);
        } catch (const RuntimeError&) {
        }
    }
    try {
        c.CreateValues(64, true, false);
        c.AddPoint(0.5f, 0.5f);
        c.CreateValues(64, false, true);
        c.RemovePoint(1);
    } catch (const RuntimeError&) {
    }
}

void Random(const std::vector<uint8_t>& bytes) {
    zStream s(bytes);
    zRandom r;
    try {
        r.Import(s);
        r.GetValue();
    } catch (const RuntimeError&) {
    }
}

void Math(const uint8_t* data, size_t size) {
    auto f = [&](size_t i) { return FloatAt(data, size, i); };
    try {
        zMath::NormalizeAngle(f(0));
    } catch (const RuntimeError&) {
    }
    try {
        zMath::WrapValue(f(1), f(2), f(3), f(4));
        float v = f(5);
        zMath::MoveTowards(v, f(6), f(7), f(8), f(9));
    } catch (const RuntimeError&) {
    }
    try {
        Vector2 h1, h2;
        zMath::LineHitCircle({f(1), f(2)}, {f(3), f(4)}, {f(5), f(6)}, f(7), h1, h2);
        zMath::LineHitLine({f(1), f(2)}, {f(3), f(4)}, {f(5), f(6)}, {f(7), f(8)}, h1);
        zMath::AngleDist(f(0), f(9));
    } catch (const RuntimeError&) {
    }
    zLerpStream ls;
    int32_t t = 0;
    for (size_t i = 0; i + 5 <= size && i < 200; i += 5) {
        int32_t dt;
        std::memcpy(&dt, data + i, 4);
        try {
            if (data[i + 4] & 1)
                ls.SetTime(dt);
            else
                ls.AddPoint(int32_t(std::min<int64_t>(int64_t(t) + (dt & 0xFF), INT32_MAX)), float(data[i + 4]));
            t = ls.Time;
        } catch (const RuntimeError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    Curve(bytes);
    Random(bytes);
    Math(data, size);
    return 0;
}
