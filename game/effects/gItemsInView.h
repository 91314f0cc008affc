// The items of an item layer whose cells the camera shows, row by row, column
// by column, each cell's bucket in its order. A layer without columns, rows or
// cell size shows none. The shadow and mirror passes walk the items this way.
#pragma once

#include "scene/zCamera.h"
#include "scene/zItemMap.h"
#include "scene/zVisibleCells.h"

namespace tarv {

template <class Fn>
void ForEachItemInView(const zun::zItemMap& iMap, const zun::zCamera& iCam, Fn&& fn) {
    if (iMap.W == 0 || iMap.H == 0 || iMap.TileW == 0) return;
    const zun::zVisibleCells v = zun::VisibleCells(iMap, iCam);
    for (int32_t row = v.y0; row <= v.y1; ++row) {
        for (int32_t col = v.x0; col <= v.x1; ++col) {
            const auto bucket = iMap.GetTile(col, row);
            if (!bucket) continue;
            for (const auto& item : *bucket)
                if (item && item->Sprite) fn(*item);
        }
    }
}

}  // namespace tarv
