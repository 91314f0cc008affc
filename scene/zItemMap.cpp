#include "scene/zItemMap.h"

#include "core/zCore.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zSprite.h"
#include "scene/zVisibleCells.h"

namespace zun {

double zItemMap::SortKey(const zItem& iItem) const { return iItem.Sprite ? double(iItem.Sprite->y) : 0.0; }

void zItemMap::CellOf(const zItem& iItem, int64_t& oX, int64_t& oY) const {
    const zSprite empty;
    const zSprite& s = iItem.Sprite ? *iItem.Sprite : empty;
    oX = CellIndex(s.x, TileW);
    oY = CellIndex(double(s.y) - s.Z, TileW);
}

void zItemMap::Update() {
    const std::vector<Ptr> snapshot = Cells.List;
    for (const auto& item : snapshot) item->Update();
}

void zItemMap::Render(const zCamera& iCam, float iZoom) {
    zCore.CurrentProc = "ItemMap_Render";
    if (W == 0 || H == 0 || TileW == 0) return;
    const zVisibleCells v = VisibleCells(*this, iCam, 1, 2);
    const float zTop = MetaSingle("_z"), zBottom = MetaSingle("_z2");
    const int32_t baseColor = zDDraw.DiffuseColor;
    // The colour goes back also when a draw fails half-way.
    struct RestoreColor {
        int32_t c;
        ~RestoreColor() { zDDraw.DiffuseColor = c; }
    } restore{baseColor};

    for (int32_t cy = v.y0; cy <= v.y1; ++cy) {
        for (int32_t cx = v.x0; cx <= v.x1; ++cx) {
            auto b = Cells.Get(cx, cy);
            if (!b) continue;
            for (const auto& item : *b) {
                if (!item->Visible || !item->Sprite) continue;
                zSprite& s = *item->Sprite;
                zDDraw.RenderZ = LayerDepth(zTop, zBottom, double(s.y) - iCam.y, iCam.H);
                zDDraw.DiffuseColor =
                    item->Colored ? (item->Values ? item->Values->GetLong("_color") : 0) : baseColor;
                s.Render(iCam, iZoom);
            }
        }
    }
}

bool zItemMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteLong(int32_t(Cells.List.size()));
    for (const auto& i : Cells.List) i->Export(iData);
    return true;
}

bool zItemMap::Import(zStream& iData) {
    ImportHeaderAndGrid(iData);
    int32_t n = 0;
    iData.ReadLong(n);
    for (int32_t k = 0; k < n; ++k) {
        auto item = std::make_shared<zItem>();
        item->Import(iData);
        AddImported(item);
    }
    SortAllCells();
    return true;
}

}  // namespace zun
