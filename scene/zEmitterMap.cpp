#include "scene/zEmitterMap.h"

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zVisibleCells.h"

namespace zun {

void zEmitterMap::CellOf(const iEmitter& iEmitter, int64_t& oX, int64_t& oY) const {
    oX = CellIndex(iEmitter.GetX(), TileW);
    oY = CellIndex(iEmitter.GetY(), TileW);
}

void zEmitterMap::AddEmitter(const Ptr& iEmitter) {
    if (!iEmitter || FindEmitter(iEmitter) >= 1) return;
    Cells.List.push_back(iEmitter);
    RegisterEmitter(iEmitter);
}

void zEmitterMap::RemoveEmitter(const Ptr& iEmitter) {
    const int32_t i = FindEmitter(iEmitter);
    if (i < 1) return;
    UnregisterEmitter(iEmitter);
    Cells.RemoveAt(i);
}

void zEmitterMap::RegisterEmitter(const Ptr& iEmitter) {
    if (!iEmitter) return;
    int64_t cx = 0, cy = 0;
    CellOf(*iEmitter, cx, cy);
    Cells.Register(iEmitter, cx, cy);
}

void zEmitterMap::UnregisterEmitter(const Ptr& iEmitter) {
    if (!iEmitter) return;
    int64_t cx = 0, cy = 0;
    CellOf(*iEmitter, cx, cy);
    Cells.Unregister(iEmitter.get(), cx, cy);
}

void zEmitterMap::Resize(int32_t iTileW, int32_t iW, int32_t iH) {
    for (const auto& e : Cells.List) UnregisterEmitter(e);
    SetSize(iTileW, iW, iH);
    for (const auto& e : Cells.List) RegisterEmitter(e);
}

void zEmitterMap::Render(const zCamera& iCam) {
    zCore.CurrentProc = "EmitterMap_Render";
    if (W == 0 || H == 0 || TileW == 0) return;
    const zVisibleCells v = VisibleCells(*this, iCam);
    zDDraw.RenderZ = 0.0f;
    zDDraw.SetAlphaMode(1);
    // The device names itself while it works; a failure further on is the layer's.
    zCore.CurrentProc = "EmitterMap_Render";
    for (int32_t cy = v.y0; cy <= v.y1; ++cy) {
        for (int32_t cx = v.x0; cx <= v.x1; ++cx) {
            auto b = Cells.Get(cx, cy);
            if (!b) continue;
            const std::vector<Ptr> emitters = *b;
            for (const auto& e : emitters) e->Render(iCam);
        }
    }
}

bool zEmitterMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteLong(int32_t(Cells.List.size()));
    for (const auto& e : Cells.List) {
        iClass* c = e->Class();
        auto* s = dynamic_cast<iStream*>(e.get());
        if (c == nullptr || s == nullptr) Raise(errObjectNotSet);
        iData.WriteString(c->ClassName());
        s->Export(iData);
    }
    return true;
}

bool zEmitterMap::Import(zStream& iData) {
    ImportHeaderAndGrid(iData);
    Cells.List.clear();
    int32_t n = 0;
    iData.ReadLong(n);
    for (int32_t i = 0; i < n; ++i) {
        std::string name;
        iData.ReadString(name);
        std::shared_ptr<iChunk> made = CreateClass(name, false);
        if (!made) Raise(errObjectNotSet, "Class not found: " + name);
        auto emitter = std::dynamic_pointer_cast<iEmitter>(made);
        if (!emitter) {
            Log("ERR", "EmitterMap_Import", "Not an emitter", name);
            Raise(errTypeMismatch);
        }
        made->Import(iData);
        Cells.List.push_back(emitter);
        RegisterEmitter(emitter);
    }
    return true;
}

}  // namespace zun
