#include "scene/zObjectsMap.h"

#include "core/zCore.h"
#include "core/zStream.h"
#include "scene/zCamera.h"

namespace zun {

void zObjectsMap::CellOf(const iMapItem& iObject, int64_t& oX, int64_t& oY) const {
    oX = CellIndex(iObject.GetX(), TileW);
    oY = CellIndex(iObject.GetY(), TileW);
}

void zObjectsMap::Render(const zCamera& iCam) {
    zCore.CurrentProc = "ObjectsMap_Render";
    if (TileW == 0) return;
    RenderCellsInView(iCam, "ObjectsMap_Render");
}

bool zObjectsMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteLong(int32_t(Cells.List.size()));
    iData.WriteString(ContentClass);
    ExportByClass(iData);
    return true;
}

bool zObjectsMap::Import(zStream& iData) {
    ImportHeaderAndGrid(iData);
    Cells.List.clear();
    int32_t n = 0;
    iData.ReadLong(n);
    iData.ReadString(ContentClass);
    ImportByClass(iData, n, "ObjectsMap_Import", "Not a map object");
    return true;
}

}  // namespace zun
