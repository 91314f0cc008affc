#include "scene/zValueSetMap.h"

#include <algorithm>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zVisibleCells.h"

namespace zun {

zValueSetMap::zValueSetMap() : sets_{std::make_shared<zValues>()} { SizeLayerGrid(grid_, 0, 0); }

int32_t zValueSetMap::CreateValueSet() {
    if (ValueSetCount >= 255) return 0;
    sets_.resize(size_t(ValueSetCount) + 1);
    sets_.push_back(std::make_shared<zValues>());
    ValueSetCount += 1;
    return ValueSetCount;
}

std::shared_ptr<zValues> zValueSetMap::GetValueSet(uint8_t Index) const {
    if (Index > ValueSetCount || size_t(Index) >= sets_.size()) return nullptr;
    return sets_[Index];
}

uint8_t zValueSetMap::GetValueSets(std::vector<std::shared_ptr<zValues>>& iList) const {
    iList.assign(size_t(ValueSetCount) + 1, nullptr);
    for (int32_t i = 1; i <= ValueSetCount; ++i) iList[size_t(i)] = GetValueSet(uint8_t(i));
    return ValueSetCount;
}

void zValueSetMap::RemoveValueSet(uint8_t iSet) {
    if (iSet == 0 || iSet > ValueSetCount) return;
    for (auto& n : grid_.data) {
        if (n == iSet) n = 0;
        else if (n > iSet) n -= 1;
    }
    if (size_t(iSet) < sets_.size()) sets_.erase(sets_.begin() + iSet);
    ValueSetCount -= 1;
}

void zValueSetMap::SetTile(int32_t iX, int32_t iY, uint8_t iSet) {
    if (iX < 0 || iY < 0 || iX > W || iY > H || !grid_.InBounds(iX, iY)) return;
    grid_(iX, iY) = iSet;
}

void zValueSetMap::GetTile(int32_t iX, int32_t iY, uint8_t& oMat) const {
    if (iX < 0 || iY < 0 || iX > W || iY > H || !grid_.InBounds(iX, iY)) return;
    oMat = grid_(iX, iY);
}

uint8_t zValueSetMap::GetTileIndex(int32_t iX, int32_t iY) const {
    if (iX < 0 || iY < 0 || iX >= 16 || iY >= 16 || TileW == 0) return 0;
    return CByte(Int(double(iY) * (256.0 / double(TileW)) + double(iX)));
}

void zValueSetMap::SetSize(int32_t iW, int32_t iH) {
    CheckGridSize(iW, iH);
    W = iW;
    H = iH;
    SizeLayerGrid(grid_, iW, iH);
}

void zValueSetMap::Resize(int32_t iW, int32_t iH) {
    if (iW == W && iH == H) return;
    const int32_t oldW = W, oldH = H;
    Grid<uint8_t> old = grid_;
    SetSize(iW, iH);
    if (oldW > 0 && oldH > 0) CopyOverlap(old, grid_);
}

void zValueSetMap::Render(const zCamera& iCam) {
    zCore.CurrentProc = "ValueSetMap_Render";
    if (W == 0 || H == 0 || TileW == 0) return;
    const zVisibleCells v = VisibleCells(*this, iCam);
    zDDraw.RenderZ = MetaSingle("_z");
    const float alpha = ToSingle(1.0 - MetaSingle("_Alpha"));
    const int32_t x1 = std::min(v.x1, grid_.d1 - 1), y1 = std::min(v.y1, grid_.d2 - 1);
    for (int32_t cy = v.y0; cy <= y1; ++cy) {
        for (int32_t cx = v.x0; cx <= x1; ++cx) {
            const uint8_t n = grid_(cx, cy);
            if (n == 0) continue;
            // A cell naming a set that does not exist has no colour to show.
            const auto set = GetValueSet(n);
            if (!set) continue;
            const int32_t color =
                ColorFromComponents(set->GetSingle("__R"), set->GetSingle("__G"), set->GetSingle("__B"), alpha);
            zDDraw.BltSurface(ToSingle(double(v.c) * cx + v.ox), ToSingle(double(v.c) * cy + v.oy), v.c, v.c, color);
        }
    }
}

bool zValueSetMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteByte(ValueSetCount);
    for (int32_t i = 0; i <= ValueSetCount; ++i) {
        // Every slot holds a record; an empty one stands in should one be missing.
        auto set = GetValueSet(uint8_t(i));
        if (!set) set = std::make_shared<zValues>();
        set->Export(iData);
    }
    iData.WriteArrayByte2D(grid_);
    return true;
}

bool zValueSetMap::Import(zStream& iData) {
    ImportHeader(iData);
    uint8_t n = 0;
    iData.ReadByte(n);
    std::vector<std::shared_ptr<zValues>> sets;
    for (int32_t i = 0; i <= n; ++i) {
        auto set = std::make_shared<zValues>();
        set->Import(iData);
        sets.push_back(std::move(set));
    }
    Grid<uint8_t> g;
    ReadLayerGrid(iData, g, W, H);
    ValueSetCount = n;
    sets_ = std::move(sets);
    grid_ = std::move(g);
    return true;
}

}  // namespace zun
