#include "scene/zEmitterMap.h"

#include "core/zCore.h"
#include "core/zStream.h"
#include "scene/zCamera.h"

namespace zun {

void zEmitterMap::CellOf(const iEmitter& iEmitter, int64_t& oX, int64_t& oY) const {
    oX = CellIndex(iEmitter.GetX(), TileW);
    oY = CellIndex(iEmitter.GetY(), TileW);
}

void zEmitterMap::Render(const zCamera& iCam) {
    zCore.CurrentProc = "EmitterMap_Render";
    if (W == 0 || H == 0 || TileW == 0) return;
    RenderCellsInView(iCam, "EmitterMap_Render");
}

bool zEmitterMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteLong(int32_t(Cells.List.size()));
    ExportByClass(iData);
    return true;
}

bool zEmitterMap::Import(zStream& iData) {
    ImportHeaderAndGrid(iData);
    Cells.List.clear();
    int32_t n = 0;
    iData.ReadLong(n);
    ImportByClass(iData, n, "EmitterMap_Import", "Not an emitter");
    return true;
}

}  // namespace zun
