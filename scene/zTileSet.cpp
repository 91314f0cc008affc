#include "scene/zTileSet.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zLayer.h"

namespace zun {

bool zTile::Export(zStream& iData) {
    iData.WriteByte(x);
    iData.WriteByte(y);
    iData.WriteByte(Z);
    iData.WriteByte(FramesX);
    iData.WriteByte(FramesY);
    iData.WriteLong(AniSpeed);
    iData.WriteLong(AniWaitX);
    iData.WriteLong(AniWaitY);
    iData.WriteByte(AniFrameX);
    iData.WriteByte(AniFrameY);
    iData.WriteLong(AniNext);
    return true;
}

bool zTile::Import(zStream& iData) {
    iData.ReadByte(x);
    iData.ReadByte(y);
    iData.ReadByte(Z);
    iData.ReadByte(FramesX);
    iData.ReadByte(FramesY);
    iData.ReadLong(AniSpeed);
    iData.ReadLong(AniWaitX);
    iData.ReadLong(AniWaitY);
    iData.ReadByte(AniFrameX);
    iData.ReadByte(AniFrameY);
    iData.ReadLong(AniNext);
    return true;
}

void zTile::Animate() {
    if (FramesX == 0) return;
    const int32_t f = zCore.FrameCounter;
    if (AniNext > f) return;
    int32_t next = AddLong(f, AniSpeed);
    // Counted in int: a frame offset past FramesX starts the row again, so
    // even FramesX 255 never needs a 256th value.
    int32_t fx = int32_t(AniFrameX) + 1;
    int32_t fy = AniFrameY;
    if (fx > FramesX) {
        next = AddLong(next, AniWaitX);
        fx = 0;
        fy += 1;
        if (fy > FramesY) {
            next = AddLong(next, AniWaitY);
            fx = 0;
            fy = 0;
        }
    }
    AniNext = next;
    AniFrameX = uint8_t(fx);
    AniFrameY = uint8_t(fy);
}

zTileSet::zTileSet() : tiles_(1) { Meta = std::make_shared<zValues>(); }

void zTileSet::SetTileSize(int32_t iTileW) {
    const bool first = TileW == 0;
    TileW = iTileW;
    TileW2 = CLng(double(iTileW) / 2.0);
    if (first) CreateDefaultTiles();
}

void zTileSet::CreateDefaultTiles() {
    if (TileW == 0) return;
    const int32_t n = CLng(LayerDiv(256.0, TileW));
    const int64_t last = int64_t(n) * n - 1;
    if (last > 255) return;
    TileCount = CByte(double(last));
    tiles_.assign(size_t(TileCount) + 1, zTile{});
    for (int32_t r = 0; r < n; ++r) {
        for (int32_t c = 0; c < n; ++c) {
            zTile& t = tiles_[size_t(r * n + c)];
            t.x = uint8_t(c);
            t.y = uint8_t(r);
        }
    }
}

void zTileSet::Update() {
    if (TileCount == 0) return;
    for (int32_t i = 0; i <= TileCount && size_t(i) < tiles_.size(); ++i) tiles_[size_t(i)].Animate();
}

zTile* zTileSet::GetTile(uint8_t Index) {
    if (Index > TileCount || size_t(Index) >= tiles_.size()) return nullptr;
    return &tiles_[Index];
}

bool zTileSet::Export(zStream& iData) {
    iData.WriteLong(TileW);
    iData.WriteLong(TileW2);
    ExportTextureRef(iData, Texture);
    iData.WriteByte(TileCount);
    for (int32_t i = 0; i <= TileCount; ++i) {
        // A list shorter than TileCount cannot happen through this class; a
        // missing record is written as a plain tile so the count stays true.
        zTile t = size_t(i) < tiles_.size() ? tiles_[size_t(i)] : zTile{};
        t.Export(iData);
    }
    return true;
}

bool zTileSet::Import(zStream& iData) {
    iData.ReadLong(TileW);
    iData.ReadLong(TileW2);
    ImportTextureRef(iData, Texture);
    iData.ReadByte(TileCount);
    std::vector<zTile> tiles(size_t(TileCount) + 1);
    for (auto& t : tiles) t.Import(iData);
    tiles_ = std::move(tiles);
    return true;
}

}  // namespace zun
