#include "support/LevelBytes.h"

#include <cstring>

#include "core/zDataFile.h"

namespace zun::test {

Bytes& Bytes::Byte(uint8_t v) {
    b.push_back(v);
    return *this;
}

Bytes& Bytes::Int16(int16_t v) {
    const uint16_t u = uint16_t(v);
    b.push_back(uint8_t(u & 0xFF));
    b.push_back(uint8_t(u >> 8));
    return *this;
}

Bytes& Bytes::Long(int32_t v) {
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t((u >> (8 * i)) & 0xFF));
    return *this;
}

Bytes& Bytes::Single(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return Long(int32_t(u));
}

Bytes& Bytes::String(const std::string& s) {
    Long(int32_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
}

Bytes& Bytes::Raw(const std::vector<uint8_t>& d) {
    b.insert(b.end(), d.begin(), d.end());
    return *this;
}

std::vector<uint8_t> ValuesRecord(const Named& strings, const std::vector<std::pair<std::string, uint8_t>>& bytes,
                                  const std::vector<std::pair<std::string, int32_t>>& longs,
                                  const std::vector<std::pair<std::string, float>>& singles,
                                  const std::string& templateGUID) {
    Bytes s;
    s.Int16(int16_t(strings.size()));
    for (auto& [n, v] : strings) s.String(n).String(v);
    s.Int16(int16_t(bytes.size()));
    for (auto& [n, v] : bytes) s.String(n).Byte(v);
    s.Int16(int16_t(longs.size()));
    for (auto& [n, v] : longs) s.String(n).Long(v);
    s.Int16(int16_t(singles.size()));
    for (auto& [n, v] : singles) s.String(n).Single(v);
    s.String(templateGUID);
    return s.b;
}

std::vector<uint8_t> Header(float x, float y, int32_t tileW, int32_t tileW2, int32_t w, int32_t h, float parallax,
                            float zoom) {
    return Bytes().Single(x).Single(y).Long(tileW).Long(tileW2).Long(w).Long(h).Single(parallax).Single(zoom).b;
}

std::vector<uint8_t> TexRef(const std::string& file, int32_t key, bool smooth) {
    return Bytes().String(file).Long(key).Bool(smooth).b;
}

std::vector<uint8_t> Tile(const TileRec& t) {
    return Bytes()
        .Byte(t.x).Byte(t.y).Byte(t.Z).Byte(t.FramesX).Byte(t.FramesY)
        .Long(t.AniSpeed).Long(t.AniWaitX).Long(t.AniWaitY)
        .Byte(t.AniFrameX).Byte(t.AniFrameY).Long(t.AniNext)
        .b;
}

std::vector<uint8_t> ChunkRecord(const std::string& cls, const std::string& guid, const std::vector<uint8_t>& data,
                                 const std::string& name) {
    return ChunkRecordMeta(cls, guid, data, name.empty() ? ValuesRecord() : ValuesRecord({{"__Name", name}}));
}

std::vector<uint8_t> ChunkRecordMeta(const std::string& cls, const std::string& guid, const std::vector<uint8_t>& data,
                                     const std::vector<uint8_t>& meta) {
    std::vector<uint8_t> d = data;
    d.insert(d.end(), meta.begin(), meta.end());
    return Bytes().String(cls).Byte(1).String(guid).Long(0).Long(int32_t(d.size())).Long(int32_t(d.size())).Raw(d).b;
}

std::vector<uint8_t> ChunkFile(const std::vector<std::vector<uint8_t>>& records) {
    Bytes p;
    p.Long(0).Long(int32_t(records.size()));
    for (auto& r : records) p.Raw(r);
    return p.b;
}

std::vector<uint8_t> Container(const std::vector<uint8_t>& payload) {
    const int32_t crc = CRC32(payload);
    const int32_t last = int32_t(payload.size()) - 1;
    Bytes c;
    c.Byte('Z').Byte('U').Byte('N').Byte('2').Long(last).Long(crc).Long(0).Long(last).Long(crc).Raw(payload);
    return c.b;
}

std::vector<uint8_t> ReferenceLevel() {
    const int32_t W = 3, H = 2, T = 32;
    Bytes ts;
    ts.Long(T).Long(T / 2).Raw(TexRef("tiles.png")).Byte(0).Raw(Tile({}));
    Bytes map;
    map.Raw(Header(0, 0, T, 16, W, H)).Byte(1).String("TS0001");
    for (int v : {1, 0, 0}) map.Grid(W + 1, H + 1, [v](int, int) { return v; });
    Bytes col;
    col.Raw(Header(0, 0, T, 16, W, H))
        .Grid(W + 1, H + 1, [](int x, int) { return x == 0 ? 1 : 0; })
        .Grid(W + 1, H + 1, [](int, int) { return 0; });
    return Container(ChunkFile({
        ChunkRecord("zTileMap", "MAP0001", map.b, "solidGround"),
        ChunkRecord("zTileSet", "TS0001", ts.b, ""),
        ChunkRecord("zCollisionMap", "COL0001", col.b, "mapCollision"),
        ChunkRecord("zValues", "VAL0001", ValuesRecord({{"class", "Level1"}, {"type", "outdoor"}}), "mapValues"),
    }));
}

}  // namespace zun::test
