// A byte-level writer of level files that knows the stored forms by heart and
// uses none of the layer classes (nor zStream), so that what the layers write
// can be checked against an encoding made independently of them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zun::test {

class Bytes {
public:
    std::vector<uint8_t> b;

    Bytes& Byte(uint8_t v);
    Bytes& Bool(bool v) { return Byte(v ? 1 : 0); }
    Bytes& Int16(int16_t v);
    Bytes& Long(int32_t v);
    Bytes& Single(float v);
    Bytes& String(const std::string& s);  // Long count + the bytes as they are
    Bytes& Raw(const std::vector<uint8_t>& d);
    // A 2-D byte array: Long d1, Long d2, cells with the first index fastest;
    // cell(x, y) gives each value.
    template <class F>
    Bytes& Grid(int32_t d1, int32_t d2, F cell) {
        Long(d1).Long(d2);
        for (int32_t y = 0; y < d2; ++y)
            for (int32_t x = 0; x < d1; ++x) Byte(uint8_t(cell(x, y)));
        return *this;
    }
};

using Named = std::vector<std::pair<std::string, std::string>>;

// A value-store record with only strings (and optionally bytes, longs, singles).
std::vector<uint8_t> ValuesRecord(const Named& strings = {},
                                  const std::vector<std::pair<std::string, uint8_t>>& bytes = {},
                                  const std::vector<std::pair<std::string, int32_t>>& longs = {},
                                  const std::vector<std::pair<std::string, float>>& singles = {},
                                  const std::string& templateGUID = "");
// The 32-byte layer header.
std::vector<uint8_t> Header(float x, float y, int32_t tileW, int32_t tileW2, int32_t w, int32_t h,
                            float parallax = 1.0f, float zoom = 1.0f);
std::vector<uint8_t> TexRef(const std::string& file, int32_t key = 0, bool smooth = false);

struct TileRec {
    uint8_t x = 0, y = 0, Z = 0, FramesX = 0, FramesY = 0;
    int32_t AniSpeed = 0, AniWaitX = 0, AniWaitY = 0;
    uint8_t AniFrameX = 0, AniFrameY = 0;
    int32_t AniNext = 0;
};
std::vector<uint8_t> Tile(const TileRec& t);

// One chunk record: class, version 1, GUID, flags 0, size, then the data as a
// stream field (size again and the bytes). The data is the object's own form
// followed by its meta record, which holds "__Name" when a name is given.
std::vector<uint8_t> ChunkRecord(const std::string& cls, const std::string& guid, const std::vector<uint8_t>& data,
                                 const std::string& name);
// The same with a meta record given whole.
std::vector<uint8_t> ChunkRecordMeta(const std::string& cls, const std::string& guid, const std::vector<uint8_t>& data,
                                     const std::vector<uint8_t>& meta);
// The chunk-file payload: flags 0, the count, the records.
std::vector<uint8_t> ChunkFile(const std::vector<std::vector<uint8_t>>& records);
// An unpacked data-file container around a payload.
std::vector<uint8_t> Container(const std::vector<uint8_t>& payload);

// The reference level: a 4 x 3-cell level with one tile set "TS0001" (tile
// size 32, sheet "tiles.png", one tile), a tile map "solidGround" whose cells
// all use set 1 tile 0, a collision map "mapCollision" whose column 0 has code
// 1, and a "mapValues" store; 576 bytes.
std::vector<uint8_t> ReferenceLevel();

}  // namespace zun::test
