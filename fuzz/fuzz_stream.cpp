// Runs every stream reader over arbitrary bytes: the first byte picks the
// readers, the rest is the stream's data.
// fuzz-libs: zun_core
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/zRuntime.h"
#include "core/zStream.h"

using namespace zun;

namespace {
struct Rec {
    int32_t a;
    float b;
};

void ReadOne(zStream& s, uint8_t op) {
    switch (op % 24) {
        case 0: { uint8_t v; s.ReadByte(v); break; }
        case 1: { bool v; s.ReadBool(v); break; }
        case 2: { int16_t v; s.ReadInteger(v); break; }
        case 3: { int32_t v; s.ReadLong(v); break; }
        case 4: { float v; s.ReadSingle(v); break; }
        case 5: { double v; s.ReadDouble(v); break; }
        case 6: { double v; s.ReadDate(v); break; }
        case 7: { std::string v; s.ReadString(v); break; }
        case 8: { std::string v; s.ReadStringU(v); break; }
        case 9: { std::vector<uint8_t> v; s.ReadArray(v); break; }
        case 10: { zStream v; s.ReadStream(v); break; }
        case 11: { Grid<uint8_t> v; s.ReadArrayByte2D(v); break; }
        case 12: { Grid<int32_t> v; s.ReadArrayLong2D(v); break; }
        case 13: { Grid<int16_t> v; s.ReadArrayInteger2D(v); break; }
        case 14: { Vector2 v; s.ReadVector2(v); break; }
        case 15: { Vector3 v; s.ReadVector(v); break; }
        case 16: { Quat v; s.ReadQuat(v); break; }
        case 17: { Rec v; s.ReadType(v); break; }
        case 18: { zStream v; v.Import(s); break; }
        case 19: { int32_t p = s.Cursor; s.GetString(p); s.GetStringU(p); s.Cursor = p; break; }
        case 20: { int32_t p = s.Cursor; s.GetStream(p); s.Cursor = p; break; }
        case 21: { int32_t p = s.Cursor; s.GetLong(p); s.GetSingle(p); s.GetDate(p); s.Cursor = p; break; }
        case 22: { int32_t p = s.Cursor; s.GetByte(p); s.GetBool(p); s.GetInteger(p); s.Cursor = p; break; }
        default: { s.Cursor = s.GetLength() ? int32_t(op) % s.GetLength() : 0; break; }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1u << 16)) return 0;
    // The first bytes (up to 8) are the reader program, the rest the stream.
    size_t ops = std::min<size_t>(8, size / 2);
    zStream s(std::vector<uint8_t>(data + ops, data + size));
    for (size_t i = 0; i < 64; ++i) {
        try {
            ReadOne(s, data[i % ops] + uint8_t(i / ops));
        } catch (const RuntimeError&) {
            // A reader that cannot read fails; the next one starts where it was.
        }
        if (s.Cursor >= s.GetLength()) break;
    }
    return 0;
}
