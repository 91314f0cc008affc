#include "scene/zSpriteMap.h"

#include "core/zCore.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zVisibleCells.h"

namespace zun {

namespace {

// Sorts list[lo..hi] by ascending y with the classic middle-pivot partition.
// The two halves are disjoint, so recursing into the smaller one and looping
// on the larger gives the same order with a stack depth of log n.
void QuickSort(std::vector<zSprite*>& list, int64_t lo, int64_t hi) {
    while (lo < hi) {
        int64_t i = lo, j = hi;
        const float pivot = list[size_t((lo + hi) / 2)]->y;
        while (i <= j) {
            while (list[size_t(i)]->y < pivot && i < hi) ++i;
            while (pivot < list[size_t(j)]->y && j > lo) --j;
            if (i <= j) {
                std::swap(list[size_t(i)], list[size_t(j)]);
                ++i;
                --j;
            }
        }
        if (j - lo < hi - i) {
            if (lo < j) QuickSort(list, lo, j);
            lo = i;
        } else {
            if (i < hi) QuickSort(list, i, hi);
            hi = j;
        }
    }
}

}  // namespace

void zSpriteMap::CellOf(const zSprite& iSprite, int64_t& oX, int64_t& oY) const {
    oX = CellIndex(iSprite.x, TileW);
    oY = CellIndex(double(iSprite.y) - iSprite.Z, TileW);
}

void zSpriteMap::Render(const zCamera& iCam, float iZoom) {
    zCore.CurrentProc = "SpriteMap_Render";
    if (W == 0 || H == 0 || TileW == 0) return;
    const zVisibleCells v = VisibleCells(*this, iCam, 1, 2);
    const float zTop = MetaSingle("_z"), zBottom = MetaSingle("_z2");

    size_t n = 0;
    for (int32_t cy = v.y0; cy <= v.y1; ++cy) {
        for (int32_t cx = v.x0; cx <= v.x1; ++cx) {
            auto b = Cells.Get(cx, cy);
            if (!b) continue;
            for (const auto& s : *b) {
                if (n >= renderList_.size()) renderList_.resize(renderList_.size() + 32);
                renderList_[n++] = s.get();
            }
        }
    }
    if (n > 1) QuickSort(renderList_, 0, int64_t(n) - 1);
    for (size_t i = 0; i < n; ++i) {
        zSprite& s = *renderList_[i];
        zDDraw.RenderZ = LayerDepth(zTop, zBottom, double(s.y) - iCam.y, iCam.H);
        s.Render(iCam, iZoom);
    }
}

bool zSpriteMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteLong(int32_t(Cells.List.size()));
    for (const auto& s : Cells.List) s->Export(iData, true);
    return true;
}

bool zSpriteMap::Import(zStream& iData) {
    ImportHeaderAndGrid(iData);
    int32_t n = 0;
    iData.ReadLong(n);
    for (int32_t i = 0; i < n; ++i) {
        auto s = std::make_shared<zSprite>();
        s->Import(iData, true);
        AddImported(s);
    }
    SortAllCells();
    return true;
}

}  // namespace zun
