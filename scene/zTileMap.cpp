#include "scene/zTileMap.h"

#include <algorithm>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zTileSet.h"
#include "scene/zVisibleCells.h"

namespace zun {

zTileMap::zTileMap() {
    SizeLayerGrid(setGrid_, 0, 0);
    SizeLayerGrid(tileGrid_, 0, 0);
    SizeLayerGrid(rotGrid_, 0, 0);
}

int32_t zTileMap::AddTileSet(const std::shared_ptr<zTileSet>& iTileSet) {
    if (!iTileSet) Raise(errObjectNotSet);
    if (iTileSet->TileW != TileW || iTileSet->TileW2 != TileW2) return 0;
    for (int32_t i = 1; i <= tileSetCount_; ++i)
        if (tileSets_[size_t(i)] == iTileSet) return 0;
    const uint8_t n = AddByte(tileSetCount_, 1);
    tileSets_.resize(size_t(n) + 1);
    tileSetGUIDs_.resize(size_t(n) + 1);
    tileSets_[n] = iTileSet;
    tileSetGUIDs_[n] = iTileSet->GUID;
    tileSetCount_ = n;
    return n;
}

std::shared_ptr<zTileSet> zTileMap::GetTileSet(uint8_t Index) const {
    if (Index == 0 || size_t(Index) >= tileSets_.size()) return nullptr;
    return tileSets_[Index];
}

uint8_t zTileMap::GetTileSets(std::vector<std::shared_ptr<zTileSet>>& iList) const {
    iList.assign(size_t(tileSetCount_) + 1, nullptr);
    for (int32_t i = 1; i <= tileSetCount_; ++i) iList[size_t(i)] = GetTileSet(uint8_t(i));
    return tileSetCount_;
}

void zTileMap::RemoveTileSet(uint8_t iSet) {
    if (iSet == 0 || iSet > tileSetCount_) return;
    for (int32_t cx = 0; cx < setGrid_.d1; ++cx) {
        for (int32_t cy = 0; cy < setGrid_.d2; ++cy) {
            uint8_t& s = setGrid_(cx, cy);
            if (s > iSet) {
                s -= 1;
            } else if (s == iSet) {
                s = 0;
                tileGrid_(cx, cy) = 0;
                rotGrid_(cx, cy) = 0;
            }
        }
    }
    for (int32_t i = iSet; i < tileSetCount_; ++i) {
        tileSets_[size_t(i)] = std::move(tileSets_[size_t(i) + 1]);
        tileSetGUIDs_[size_t(i)] = std::move(tileSetGUIDs_[size_t(i) + 1]);
        tileSets_[size_t(i) + 1] = nullptr;
        tileSetGUIDs_[size_t(i) + 1].clear();
    }
    tileSetCount_ -= 1;
}

uint8_t zTileMap::GetTileIndex(int32_t iX, int32_t iY) const {
    if (iX < 0 || iY < 0 || TileW == 0 || iX >= 16 || iY >= 16) return 0;
    return CByte(Int(double(iY) * (256.0 / double(TileW)) + double(iX)));
}

void zTileMap::SetTile(int32_t iX, int32_t iY, uint8_t iSet, uint8_t iTile, uint8_t iRot) {
    if (iX < 0 || iY < 0 || iX > W || iY > H || !setGrid_.InBounds(iX, iY)) return;
    setGrid_(iX, iY) = iSet;
    tileGrid_(iX, iY) = iSet != 0 ? iTile : 0;
    rotGrid_(iX, iY) = iSet != 0 ? iRot : 0;
}

void zTileMap::GetTile(int32_t iX, int32_t iY, uint8_t& oSet, uint8_t& oTile, uint8_t& oRot) const {
    if (iX < 0 || iY < 0 || iX > W || iY > H || !setGrid_.InBounds(iX, iY)) return;
    oSet = setGrid_(iX, iY);
    oTile = tileGrid_(iX, iY);
    oRot = rotGrid_(iX, iY);
}

void zTileMap::SetSize(int32_t iW, int32_t iH) {
    CheckGridSize(iW, iH);
    W = iW;
    H = iH;
    SizeLayerGrid(setGrid_, iW, iH);
    SizeLayerGrid(tileGrid_, iW, iH);
    SizeLayerGrid(rotGrid_, iW, iH);
}

void zTileMap::Resize(int32_t iW, int32_t iH) {
    if (iW == W && iH == H) return;
    const int32_t oldW = W, oldH = H;
    Grid<uint8_t> s = setGrid_, t = tileGrid_, r = rotGrid_;
    SetSize(iW, iH);
    if (oldW > 0 && oldH > 0) {
        CopyOverlap(s, setGrid_);
        CopyOverlap(t, tileGrid_);
        CopyOverlap(r, rotGrid_);
    }
}

void zTileMap::Render(const zCamera& iCam) { Draw(iCam, Cells::All); }

void zTileMap::RenderAni(const zCamera& iCam, bool iAni) { Draw(iCam, iAni ? Cells::Animated : Cells::Still); }

void zTileMap::Draw(const zCamera& iCam, Cells which) {
    zCore.CurrentProc = which == Cells::All ? "TileMap_Render" : "TileMap_RenderAni";
    if (W == 0 || H == 0 || TileW == 0) return;
    if (which == Cells::All && tileSetCount_ == 0) return;
    DrawCells(VisibleCells(*this, iCam), iCam.H, which);
}

void zTileMap::RenderCells(const zVisibleCells& iCells, int32_t iCamH) {
    zCore.CurrentProc = "TileMap_Render";
    if (W == 0 || H == 0 || TileW == 0 || tileSetCount_ == 0) return;
    zVisibleCells v = iCells;
    v.x0 = std::max(v.x0, 0);
    v.y0 = std::max(v.y0, 0);
    DrawCells(v, iCamH, Cells::All);
}

void zTileMap::DrawCells(const zVisibleCells& v, int32_t camH, Cells which) {
    const float zTop = MetaSingle("_z"), zBottom = MetaSingle("_z2");
    const bool oneDepth = zTop == zBottom;
    if (oneDepth) zDDraw.RenderZ = zTop;
    const double c = v.c;
    // The grids always match W and H (SetSize and Import see to it); the
    // bounds here only guard against a grid that was never sized.
    const int32_t x1 = std::min(v.x1, setGrid_.d1 - 1), y1 = std::min(v.y1, setGrid_.d2 - 1);
    for (int32_t cy = v.y0; cy <= y1; ++cy) {
        const int32_t sy = CLng(double(cy) * c + v.oy);
        for (int32_t cx = v.x0; cx <= x1; ++cx) {
            const uint8_t set = setGrid_(cx, cy);
            if (set == 0) continue;
            // A cell naming a set or a tile that is not there draws nothing.
            zTileSet* ts = size_t(set) < tileSets_.size() ? tileSets_[set].get() : nullptr;
            if (!ts) continue;
            const zTile* tile = ts->GetTile(tileGrid_(cx, cy));
            if (!tile) continue;
            if (which != Cells::All && (tile->FramesX > 0) != (which == Cells::Animated)) continue;
            const int32_t sx = CLng(double(cx) * c + v.ox);
            if (!oneDepth)
                zDDraw.RenderZ = LayerDepth(zTop, zBottom, double(sy) + c + double(tile->Z) * c, camH);
            const int32_t srcX = MulLong(int32_t(tile->x) + tile->AniFrameX, TileW);
            const int32_t srcY = MulLong(int32_t(tile->y) + tile->AniFrameY, TileW);
            const int32_t tw = TileW;
            zDDraw.BltDirection(ts->Texture, float(sx), float(sy), v.c, v.c, srcX, srcY, tw, tw, zDDraw.DiffuseColor,
                                rotGrid_(cx, cy), 1.0f);
        }
    }
}

void zTileMap::ExportInstances(zFile& iFile) {
    for (int32_t i = 1; i <= tileSetCount_; ++i)
        if (auto ts = GetTileSet(uint8_t(i))) iFile.AddInstance(ts);
}

void zTileMap::ImportInstances(zFile& iFile) {
    std::vector<std::shared_ptr<zTileSet>> sets(size_t(tileSetCount_) + 1);
    for (int32_t i = 1; i <= tileSetCount_; ++i) {
        const std::string& guid = size_t(i) < tileSetGUIDs_.size() ? tileSetGUIDs_[size_t(i)] : std::string();
        // Only a tile set may fill a slot; a GUID naming anything else leaves it empty.
        sets[size_t(i)] = std::dynamic_pointer_cast<zTileSet>(iFile.GetInstance(guid));
    }
    tileSets_ = std::move(sets);
    tileSetGUIDs_.resize(size_t(tileSetCount_) + 1);
}

bool zTileMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteByte(tileSetCount_);
    for (int32_t i = 1; i <= tileSetCount_; ++i) {
        auto ts = GetTileSet(uint8_t(i));
        // An unresolved slot keeps the GUID it was loaded with.
        iData.WriteString(ts ? ts->GUID
                             : size_t(i) < tileSetGUIDs_.size() ? tileSetGUIDs_[size_t(i)] : std::string());
    }
    iData.WriteArrayByte2D(setGrid_);
    iData.WriteArrayByte2D(tileGrid_);
    iData.WriteArrayByte2D(rotGrid_);
    return true;
}

bool zTileMap::Import(zStream& iData) {
    ImportHeader(iData);
    uint8_t n = 0;
    iData.ReadByte(n);
    std::vector<std::string> guids(size_t(n) + 1);
    for (int32_t i = 1; i <= n; ++i) iData.ReadString(guids[size_t(i)]);
    Grid<uint8_t> s, t, r;
    ReadLayerGrid(iData, s, W, H);
    ReadLayerGrid(iData, t, W, H);
    ReadLayerGrid(iData, r, W, H);
    tileSetCount_ = n;
    tileSetGUIDs_ = std::move(guids);
    // The sets themselves are found by ImportInstances; until then the slots
    // hold what they held, padded to the new count.
    tileSets_.resize(size_t(n) + 1);
    setGrid_ = std::move(s);
    tileGrid_ = std::move(t);
    rotGrid_ = std::move(r);
    return true;
}

}  // namespace zun
