#include "scene/zObjectsMap.h"

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zVisibleCells.h"

namespace zun {

void zObjectsMap::CellOf(const iMapItem& iObject, int64_t& oX, int64_t& oY) const {
    oX = CellIndex(iObject.GetX(), TileW);
    oY = CellIndex(iObject.GetY(), TileW);
}

void zObjectsMap::AddObject(const Ptr& iObject) {
    if (!iObject || FindObject(iObject) != 0) return;
    Cells.List.push_back(iObject);
    RegisterObject(iObject);
}

void zObjectsMap::RemoveObject(const Ptr& iObject) {
    const int32_t i = FindObject(iObject);
    if (i < 1) return;
    UnregisterObject(iObject);
    Cells.RemoveAt(i);
}

void zObjectsMap::RegisterObject(const Ptr& iObject) {
    if (!iObject) return;
    int64_t cx = 0, cy = 0;
    CellOf(*iObject, cx, cy);
    Cells.Register(iObject, cx, cy);
}

void zObjectsMap::UnregisterObject(const Ptr& iObject) {
    if (!iObject) return;
    int64_t cx = 0, cy = 0;
    CellOf(*iObject, cx, cy);
    Cells.Unregister(iObject.get(), cx, cy);
}

void zObjectsMap::Resize(int32_t iTileW, int32_t iW, int32_t iH) {
    for (const auto& o : Cells.List) UnregisterObject(o);
    SetSize(iTileW, iW, iH);
    for (const auto& o : Cells.List) RegisterObject(o);
}

void zObjectsMap::Render(const zCamera& iCam) {
    zCore.CurrentProc = "ObjectsMap_Render";
    if (TileW == 0) return;
    const zVisibleCells v = VisibleCells(*this, iCam);
    zDDraw.RenderZ = 0.0f;
    zDDraw.SetAlphaMode(1);
    // The device names itself while it works; a failure further on is the layer's.
    zCore.CurrentProc = "ObjectsMap_Render";
    for (int32_t cy = v.y0; cy <= v.y1; ++cy) {
        for (int32_t cx = v.x0; cx <= v.x1; ++cx) {
            auto b = Cells.Get(cx, cy);
            if (!b) continue;
            // An object's drawing may call out to the game; walk a copy.
            const std::vector<Ptr> objects = *b;
            for (const auto& o : objects) o->Render(iCam);
        }
    }
}

bool zObjectsMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteLong(int32_t(Cells.List.size()));
    iData.WriteString(ContentClass);
    for (const auto& o : Cells.List) {
        iClass* c = o->Class();
        auto* s = dynamic_cast<iStream*>(o.get());
        if (c == nullptr || s == nullptr) Raise(errObjectNotSet);
        iData.WriteString(c->ClassName());
        s->Export(iData);
    }
    return true;
}

bool zObjectsMap::Import(zStream& iData) {
    ImportHeaderAndGrid(iData);
    Cells.List.clear();
    int32_t n = 0;
    iData.ReadLong(n);
    iData.ReadString(ContentClass);
    for (int32_t i = 0; i < n; ++i) {
        std::string name;
        iData.ReadString(name);
        std::shared_ptr<iChunk> made = CreateClass(name, false);
        if (!made) Raise(errObjectNotSet, "Class not found: " + name);
        auto object = std::dynamic_pointer_cast<iMapItem>(made);
        if (!object) {
            Log("ERR", "ObjectsMap_Import", "Not a map object", name);
            Raise(errTypeMismatch);
        }
        made->Import(iData);
        Cells.List.push_back(object);
        RegisterObject(object);
    }
    return true;
}

}  // namespace zun
